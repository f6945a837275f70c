// Lookups whose answers were measured on the Windows profile reader under Wine by the
// parity harness, each with the bytes Windows gave, so that they stay checked without
// Wine: first the lookups on which the POSIX INF reader was seen to disagree, then edge
// cases beyond the shared case file on which it agreed, and last the one deliberate
// difference. parity.wine.cases asks the Windows reader every row again, so the table
// cannot drift from it. minimize_case.py cuts a file down to the few bytes that show a
// new disagreement.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "windows_text/inf_reader.h"
#include "tests/utf16_text.h"

namespace {

using namespace std::string_view_literals;

constexpr std::size_t CAPACITY = 260;
constexpr std::size_t GUARD_SIZE = 16;
constexpr char GUARD_BYTE = '\x5A';
// The longest section or key name the Windows reader takes, in bytes before trimming.
constexpr std::size_t LONGEST_NAME = 32766;

struct ParityCase {
  std::string name;
  std::string fileBytes;
  std::string section;
  std::string key;
  std::string expected;
};

void PrintTo(const ParityCase& row, std::ostream* out) {
  *out << row.name;
}

using test_text::utf16;
using test_text::utf16le;
using test_text::utf8WithMark;

// Section and key names from LONGEST_NAME + 1 bytes on do not reach the Windows reader
// whole: such a section finds nothing, and such a key is taken as the empty name, which
// finds a line "=value". Nothing in the tool passes a name that long.
std::vector<ParityCase> disagreements() {
  const std::string longKey(LONGEST_NAME + 1, 'k');
  const std::string padded = "k" + std::string(LONGEST_NAME, ' ');
  return {
      {"key_of_32767_bytes", "[A]\r\n" + longKey + "=v\r\n", "A", longKey, ""},
      {"section_of_32767_bytes", "[" + longKey + "]\r\nz=v\r\n", longKey, "z", ""},
      {"key_padded_to_32767_bytes", "[A]\r\nk=v\r\n", "A", padded, ""},
      {"section_padded_to_32767_bytes", "[A]\r\nk=v\r\n", "A" + padded.substr(1), "k", ""},
      {"key_of_32767_bytes_in_utf16",
       utf16le(u"[A]\r\n" + std::u16string(LONGEST_NAME + 1, u'k') + u"=v\r\n"), "A", longKey, ""},
      {"key_of_32767_bytes_finds_the_empty_key", "[A]\r\n=empty\r\nk=v\r\n", "A", longKey, "empty"},
      {"key_of_65536_bytes_finds_the_empty_key", "[A]\r\n\t=empty\r\n", "A",
       std::string(65536, 'k'), "empty"},
      {"key_padded_to_32767_bytes_finds_the_empty_key", "[A]\r\nk=v\r\n=empty\r\n", "A", padded,
       "empty"},
      {"section_of_32767_bytes_is_not_the_empty_section", "k=top\r\n=top\r\n[A]\r\nk=v\r\n",
       std::string(LONGEST_NAME + 1, 'A'), "k", ""},
      {"long_section_and_key", "=top\r\n[A]\r\n=empty\r\n", std::string(LONGEST_NAME + 1, 'A'),
       longKey, ""},
  };
}

std::vector<ParityCase> longNamesThatFit() {
  const std::string longKey(LONGEST_NAME, 'k');
  return {
      {"key_of_32766_bytes", "[A]\r\n" + longKey + "=v\r\n", "A", longKey, "v"},
      {"section_of_32766_bytes", "[" + longKey + "]\r\nz=v\r\n", longKey, "z", "v"},
      {"key_padded_to_32766_bytes", "[A]\r\nk=v\r\n", "A", "k" + std::string(LONGEST_NAME - 1, ' '),
       "v"},
  };
}

// Decoded files: which characters fold, which count as blanks, what comes back for
// characters code page 1252 lacks and for invalid sequences.
std::vector<ParityCase> decodedText() {
  return {
      {"utf16_latin1_letter_does_not_fold", utf16le(u"[A]\r\n\u00e9k=1\r\n"), "A", "\xC9k", ""},
      {"utf16_latin1_letter_in_its_case", utf16le(u"[A]\r\n\u00e9k=1\r\n"), "A", "\xE9k", "1"},
      {"utf16_s_caron_does_not_fold", utf16le(u"[A]\r\n\u0160=1\r\n"), "A", "\x9A", ""},
      {"utf16_s_caron_in_its_case", utf16le(u"[A]\r\n\u0160=1\r\n"), "A", "\x8A", "1"},
      {"utf16_kelvin_sign_is_not_k", utf16le(u"[A]\r\n\u212Ak=1\r\n"), "A", "Kk", ""},
      {"utf16_kelvin_sign_is_not_question_mark", utf16le(u"[A]\r\n\u212Ak=1\r\n"), "A", "?k", ""},
      {"utf16_dotted_capital_i_is_not_i", utf16le(u"[A]\r\n\u0130=1\r\n"), "A", "I", ""},
      {"utf16_lone_high_surrogate", utf16le(u"[A]\r\nv=a\xD800\x62\r\n"), "A", "v", "a?b"},
      {"utf16_lone_low_surrogate", utf16le(u"[A]\r\nv=a\xDC00\x62\r\n"), "A", "v", "a?b"},
      {"utf16_noncharacter", utf16le(u"[A]\r\nv=a\uFFFFb\r\n"), "A", "v", "a?b"},
      {"utf16_ideographic_space_is_no_blank", utf16le(u"[A]\r\n\u3000v\u3000=\u3000x\u3000\r\n"),
       "A", "v", ""},
      {"utf16_ideographic_space_comes_back_as_blank", utf16le(u"[A]\r\nv=\u3000x\u3000\r\n"), "A",
       "v", " x "},
      {"utf16_no_break_space_is_kept", utf16le(u"[A]\r\nv=x\u00A0\r\n"), "A", "v", "x\xA0"},
      {"utf16_next_line_ends_no_line", utf16le(u"[A]\r\nv=x\u0085y\r\n"), "A", "v", "x?y"},
      {"utf16_line_separator_ends_no_line", utf16le(u"[A]\r\na=1\u2028b=2\r\n"), "A", "a", "1?b=2"},
      {"utf16_line_separator_starts_no_key", utf16le(u"[A]\r\na=1\u2028b=2\r\n"), "A", "b", ""},
      {"utf16_byte_order_mark_inside_a_value", utf16le(u"[A]\r\nv=\uFEFFx\r\n"), "A", "v", "?x"},
      {"utf16_c1_controls_keep_their_bytes", utf16le(u"[A]\r\nk=\u0081\u008D\u0090\r\n"), "A", "k",
       "\x81\x8D\x90"},
      {"utf16be_nul_inside_a_header", utf16(u"[A\0x]\r\nk=v\r\n"sv, true), "A", "k", "v"},
      {"utf8_overlong_nul", utf8WithMark("[A]\r\nv=a\xC0\x80\x62\r\n"), "A", "v", "a??b"},
      {"utf8_encoded_surrogate", utf8WithMark("[A]\r\nv=a\xED\xA0\x80\x62\r\n"), "A", "v", "a??b"},
      {"utf8_beyond_the_last_code_point", utf8WithMark("[A]\r\nv=a\xF4\x90\x80\x80\x62\r\n"), "A",
       "v", "a???b"},
      {"utf8_five_byte_form", utf8WithMark("[A]\r\nv=a\xF8\x88\x80\x80\x80\x62\r\n"), "A", "v",
       "a?????b"},
      {"utf8_cut_four_byte_form", utf8WithMark("[A]\r\nv=a\xF0\x9F\x98\x62\r\n"), "A", "v", "a?b"},
      {"utf8_cut_form_at_a_line_end", utf8WithMark("[A]\r\nv=a\xE2\x80\r\nw=2\r\n"), "A", "v",
       "a?"},
      {"utf8_lone_continuation_bytes", utf8WithMark("[A]\r\nv=a\x80\x80\x62\r\n"), "A", "v",
       "a??b"},
  };
}

std::vector<ParityCase> singleByteText() {
  return {
      {"s_caron_does_not_fold", "[A]\r\n\x8Ak=1\r\n", "A", "\x9Ak", ""},
      {"bytes_1252_leaves_undefined", "[A]\r\n\x81k=\x81\x8D\x8F\x90\x9D\r\n", "A", "\x81k",
       "\x81\x8D\x8F\x90\x9D"},
      {"key_with_an_equals_sign", "[A]\r\nk=v\r\n", "A", "k=", ""},
      {"lf_cr_line_ends", "[A]\n\ra=1\n\rb=2", "A", "b", "2"},
  };
}

// Hands the reader one byte per read, so that no row depends on where a read ends.
struct ByteByByte {
  std::string_view bytes;
  std::size_t offset = 0;
};

std::size_t readOneByte(void* context, unsigned char* buffer, std::size_t capacity) {
  auto* source = static_cast<ByteByByte*>(context);
  if (capacity == 0 || source->offset == source->bytes.size()) return 0;
  buffer[0] = static_cast<unsigned char>(source->bytes[source->offset++]);
  return 1;
}

// The answer, from a buffer whose bytes past the capacity are watched.
std::string checkedAnswer(std::size_t length, const std::string& buffer) {
  EXPECT_LT(length, CAPACITY);
  EXPECT_EQ(buffer[length], '\0') << "no terminator at the returned length";
  EXPECT_EQ(buffer.substr(CAPACITY), std::string(GUARD_SIZE, GUARD_BYTE))
      << "a write past the capacity";
  return buffer.substr(0, length);
}

std::string lookUpInMemory(const ParityCase& row) {
  std::string buffer(CAPACITY + GUARD_SIZE, GUARD_BYTE);
  const std::size_t length = inf::lookupProfileStringInMemory(
      row.fileBytes.data(), row.fileBytes.size(), row.section.c_str(), row.key.c_str(),
      buffer.data(), CAPACITY);
  return checkedAnswer(length, buffer);
}

std::string lookUpByteByByte(const ParityCase& row) {
  std::string buffer(CAPACITY + GUARD_SIZE, GUARD_BYTE);
  ByteByByte source{row.fileBytes};
  const std::size_t length = inf::lookupProfileString({readOneByte, &source}, row.section.c_str(),
                                                      row.key.c_str(), buffer.data(), CAPACITY);
  return checkedAnswer(length, buffer);
}

std::string toHex(std::string_view bytes) {
  constexpr char DIGITS[] = "0123456789abcdef";
  std::string hex;
  for (const char c : bytes) {
    hex += DIGITS[static_cast<unsigned char>(c) >> 4];
    hex += DIGITS[static_cast<unsigned char>(c) & 0x0F];
  }
  return hex;
}

// With PARITY_CASES_DUMP naming a folder, a row's file goes there and its lookup, with the
// answer expected from Windows, to rows.txt: parity.wine.cases asks Windows the same.
void dumpForWindows(const ParityCase& row, std::string_view windowsAnswer) {
  const char* folder = std::getenv("PARITY_CASES_DUMP");
  if (folder == nullptr) return;
  const std::string path = std::string(folder) + "/" + row.name + ".inf";
  std::ofstream(path, std::ios::binary) << row.fileBytes;
  std::ofstream(std::string(folder) + "/rows.txt", std::ios::binary | std::ios::app)
      << toHex(path) << '\t' << toHex(row.section) << '\t' << toHex(row.key) << '\t'
      << toHex(windowsAnswer) << '\n';
}

class ParityCaseTest : public ::testing::TestWithParam<ParityCase> {};

TEST_P(ParityCaseTest, AnswersAsWindowsDoes) {
  const ParityCase& row = GetParam();
  dumpForWindows(row, row.expected);
  EXPECT_EQ(lookUpInMemory(row), row.expected);
  EXPECT_EQ(lookUpByteByByte(row), row.expected);
}

std::string rowName(const ::testing::TestParamInfo<ParityCase>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Disagreement, ParityCaseTest, ::testing::ValuesIn(disagreements()),
                         rowName);
INSTANTIATE_TEST_SUITE_P(LongName, ParityCaseTest, ::testing::ValuesIn(longNamesThatFit()),
                         rowName);
INSTANTIATE_TEST_SUITE_P(DecodedText, ParityCaseTest, ::testing::ValuesIn(decodedText()), rowName);
INSTANTIATE_TEST_SUITE_P(SingleByteText, ParityCaseTest, ::testing::ValuesIn(singleByteText()),
                         rowName);

// The one deliberate difference: 259 bytes between quotes fill the buffer exactly and come
// back whole, in every encoding and with either quote mark. Windows returns 258 of them.
TEST(ParityPinnedDifference, QuotedValueFillingTheBufferComesBackWhole) {
  const std::string inner = std::string(258, 'x') + "E";
  const std::u16string wideInner = std::u16string(258, u'x') + u"E";
  const ParityCase rows[] = {
      {"pinned_double_quotes", "[L]\r\nq=\"" + inner + "\"\r\n", "L", "q", inner},
      {"pinned_single_quotes", "[L]\r\nq='" + inner + "'\r\n", "L", "q", inner},
      {"pinned_quotes_in_utf16", utf16le(u"[L]\r\nq=\"" + wideInner + u"\"\r\n"), "L", "q", inner},
  };
  for (const ParityCase& row : rows) {
    dumpForWindows(row, std::string_view(inner).substr(0, 258));
    EXPECT_EQ(lookUpInMemory(row), inner) << row.name;
    EXPECT_EQ(lookUpByteByByte(row), inner) << row.name;
  }
}

}  // namespace
