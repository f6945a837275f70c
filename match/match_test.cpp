// Tests of the wildcard matcher: tables per feature, a comparison with a plain recursive
// model of the matching rules on many random inputs, and patterns that would overflow the
// stack or run for ages in a naive backtracker.
#include "usb_flash_detect/match.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/recursive_model.h"
#include "tests/support/random.h"

namespace {

using namespace usb_flash_detect::match;

// Printable form of a pattern, text or output: other bytes as \xNN.
std::string escaped(std::string_view bytes) {
  static const char HEX[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && c != '\\') {
      out += c;
    } else {
      out += {'\\', 'x', HEX[byte >> 4], HEX[byte & 0xF]};
    }
  }
  return out;
}

// How a failing case names itself: its pattern and text, each cut to 40 bytes when longer.
std::string caseName(std::string_view pattern, std::string_view text) {
  const auto shown = [](std::string_view bytes) {
    if (bytes.size() <= 40) return "\"" + escaped(bytes) + "\"";
    return "\"" + escaped(bytes.substr(0, 40)) + "...\" (" + std::to_string(bytes.size()) +
           " bytes)";
  };
  return "pattern " + shown(pattern) + " text " + shown(text);
}

int matchInMode(const char* pattern, const char* text, int caseSensitive) {
  return matchPatternCore(pattern, text, caseSensitive, MatchOutputList{});
}

using recursive_model::modelMatch;

// Whether the recursive model answers a row quickly: its time grows with the ways the stars
// can split. Every such row checks the model as well as the matcher.
bool modelIsQuick(std::string_view pattern, std::string_view text) {
  return std::count(pattern.begin(), pattern.end(), '*') <= 3 && text.size() <= 64;
}

// ---------------------------------------------------------------------------------------
// Matching without directives: each row gives the answer in both case modes.

struct PlainRow {
  std::string pattern;
  std::string text;
  int caseSensitive;
  int caseInsensitive;
};

void checkPlainRows(const std::vector<PlainRow>& rows) {
  for (const PlainRow& row : rows) {
    const char* pattern = row.pattern.c_str();
    const char* text = row.text.c_str();
    const std::string where = caseName(row.pattern, row.text);
    EXPECT_EQ(matchPattern(runtimePattern(pattern), text), row.caseSensitive)
        << where << " (entry)";
    EXPECT_EQ(matchInMode(pattern, text, 1), row.caseSensitive) << where << " (core)";
    EXPECT_EQ(matchInMode(pattern, text, 0), row.caseInsensitive) << where << " (insensitive)";
    const auto shaped = [&](int mode) {
      return matchShapedPattern(pattern, plainShape(pattern), text, mode);
    };
    EXPECT_EQ(shaped(1), row.caseSensitive) << where << " (shape)";
    EXPECT_EQ(shaped(0), row.caseInsensitive) << where << " (shape)";
    if (!modelIsQuick(row.pattern, row.text)) continue;
    EXPECT_EQ(modelMatch(pattern, text, 1, {}), row.caseSensitive) << where << " (model)";
    EXPECT_EQ(modelMatch(pattern, text, 0, {}), row.caseInsensitive) << where << " (model)";
  }
}

TEST(MatchPlain, Literals) {
  checkPlainRows({
      {"abc", "abc", 1, 1},
      {"abc", "abd", 0, 0},
      {"abc", "xbc", 0, 0},
      {"abc", "ab", 0, 0},
      {"ab", "abc", 0, 0},
      {"abcd", "abc", 0, 0},
      {"hello world", "hello world", 1, 1},
      {"a b", "a  b", 0, 0},
      {"abc", "ABC", 0, 1},
      {"a.b", "a.b", 1, 1},
      {"a.b", "axb", 0, 0},
  });
}

TEST(MatchPlain, QuestionMark) {
  checkPlainRows({
      {"?", "a", 1, 1},
      {"?", "", 0, 0},
      {"?", "ab", 0, 0},
      {"?", " ", 1, 1},
      {"?", "?", 1, 1},
      {"?", "*", 1, 1},
      {"?", "\xFF", 1, 1},
      {"???", "abc", 1, 1},
      {"???", "ab", 0, 0},
      {"???", "abcd", 0, 0},
      {"a?c", "abc", 1, 1},
      {"a?c", "ac", 0, 0},
      {"a?c", "abbc", 0, 0},
      {"?b", "ab", 1, 1},
      {"?b", "aB", 0, 1},
  });
}

TEST(MatchPlain, Star) {
  checkPlainRows({
      {"*", "", 1, 1},
      {"*", "abc", 1, 1},
      {"*", " ", 1, 1},
      {"**", "", 1, 1},
      {"**", "abc", 1, 1},
      {"*a", "a", 1, 1},
      {"*a", "ba", 1, 1},
      {"*a", "ab", 0, 0},
      {"*a", "", 0, 0},
      {"a*", "a", 1, 1},
      {"a*", "abc", 1, 1},
      {"a*", "ba", 0, 0},
      {"a*c", "ac", 1, 1},
      {"a*c", "abbbc", 1, 1},
      {"a*c", "abcb", 0, 0},
      {"*?", "", 0, 0},
      {"*?", "a", 1, 1},
      {"?*", "", 0, 0},
      {"?*", "abc", 1, 1},
      {"*b*", "abc", 1, 1},
      {"*b*", "ac", 0, 0},
      {"*a*", "", 0, 0},
      {"a*b*c", "axbyc", 1, 1},
      {"a*b*c", "axcyb", 0, 0},
      {"*ab", "aab", 1, 1},
      {"*aab", "aaab", 1, 1},
      {"*abc*abc", "abcabcabc", 1, 1},
      {"*abc*abc", "abcab", 0, 0},
      {"*?*?*", "a", 0, 0},
      {"*?*?*", "ab", 1, 1},
      {"*x", "*x", 1, 1},
      {"a*", "A", 0, 1},
      // The part after the last star is compared with the text's end, "?" included.
      {"*?b?", "abcd", 0, 0},
      {"*?c?", "abcd", 1, 1},
      {"*?C?", "abcd", 0, 1},
      {"a*??", "ab", 0, 0},
      {"a*??", "abc", 1, 1},
      {"ab*bc", "abc", 0, 0},
      {"ab*bc", "abbc", 1, 1},
      {"*a*bc", "bc", 0, 0},
      {"*a*bc", "abc", 1, 1},
      {"*a*bc", "bcabc", 1, 1},
      {"x*a*bc", "xbcbc", 0, 0},
      {"*b*b", "bb", 1, 1},
      {"*b*b", "b", 0, 0},
      {"*b*b", "abab", 1, 1},
      {"*bc*d", "bbcd", 1, 1},
      {"*bc*d", "bbd", 0, 0},
      // Runs of stars of every length around a word's eight bytes.
      {"*******b", "ab", 1, 1},
      {"********b", "ab", 1, 1},
      {"*********b", "ab", 1, 1},
      {"a****************b*", "ab", 1, 1},
      {"a*****************?", "a", 0, 0},
      {"?****************c", "abc", 1, 1},
  });
}

TEST(MatchPlain, CaseFoldsBitFive) {
  checkPlainRows({
      {"a", "A", 0, 1},
      {"A", "a", 0, 1},
      {"z", "Z", 0, 1},
      {"a", "b", 0, 0},
      {"aB", "Ab", 0, 1},
      {"?A", "xa", 0, 1},
      {"*B", "aab", 0, 1},
      {"@", "`", 0, 1},
      {"`", "@", 0, 1},
      {"[", "{", 0, 1},
      {"{", "[", 0, 1},
      {"\\", "|", 0, 1},
      {"|", "\\", 0, 1},
      {"]", "}", 0, 1},
      {"^", "~", 0, 1},
      {"_", "\x7F", 0, 1},
      {"!", "\x01", 0, 1},
      // Digits pair with the control bytes 0x10 to 0x19, not with letters.
      {"0", "\x10", 0, 1},
      {"\x10", "0", 0, 1},
      {"5", "\x15", 0, 1},
      {"9", "\x19", 0, 1},
      {"0", "P", 0, 0},
      {"1", "Q", 0, 0},
      {"a", "\x01", 0, 0},
      {"A", "\x01", 0, 0},
      // Bytes above 0x7F pair likewise; bit 7 is compared.
      {"\xC3", "\xC3", 1, 1},
      {"\xC3", "\xE3", 0, 1},
      {"\xE3", "\xC3", 0, 1},
      {"\x80", "\xA0", 0, 1},
      {"\xFF", "\xDF", 0, 1},
      {"\xC3", "\xC4", 0, 0},
      {"\xC3", "\x43", 0, 0},
      {"\xC3", "\x63", 0, 0},
  });
}

TEST(MatchPlain, BlankNeverMatchesTheEnd) {
  // A blank differs from the terminator only in bit 5, yet the end matches only the end.
  checkPlainRows({
      {" ", " ", 1, 1},
      {" ", "", 0, 0},
      {"", " ", 0, 0},
      {"", "  ", 0, 0},
      {"a ", "a", 0, 0},
      {"a", "a ", 0, 0},
      {"*a ", "a", 0, 0},
      {"a* ", "a", 0, 0},
      {"a*", "a ", 1, 1},
      {"? ", "a", 0, 0},
      {"?", "", 0, 0},
  });
}

TEST(MatchPlain, Edges) {
  checkPlainRows({
      {"", "", 1, 1},
      {"", "a", 0, 0},
      {"a", "", 0, 0},
      {"*", "", 1, 1},
      {"?", "", 0, 0},
      {"?", "x", 1, 1},
      {"??", "abc", 0, 0},
      {"????", "abc", 0, 0},
      {"???", "abc", 1, 1},
      {"abcdef", "abc", 0, 0},
  });
}

#define ID_ONE "USB\\VID_0BDB&PID_100E"
#define ID_TWO "USB\\VID_0FCE&PID_ADDE"

TEST(MatchPlain, DetectorPatterns) {
  checkPlainRows({
      {"*" ID_ONE, ID_ONE, 1, 1},
      {"*" ID_ONE, "Install, " ID_ONE, 1, 1},
      {"*" ID_ONE, "Install, " ID_ONE ", compatible id", 0, 0},
      {"*" ID_ONE, "install, usb\\vid_0bdb&pid_100e", 0, 1},
      {"*" ID_ONE, "", 0, 0},
      {"*" ID_ONE, ID_ONE " ", 0, 0},
      {"*" ID_ONE, "USB\\VID_0BDB&PID_100", 0, 0},
      {"*" ID_ONE, ID_ONE ID_ONE, 1, 1},
      {"*" ID_ONE, "Install, " ID_TWO, 0, 0},
      {"*" ID_ONE,
       "Install, USB\\VID_\x10"
       "BDB&PID_100E",
       0, 1},
      {"*" ID_TWO, ID_TWO, 1, 1},
      {"*" ID_TWO, "Install, " ID_TWO, 1, 1},
      {"*" ID_TWO, "Install, " ID_TWO ", compatible id", 0, 0},
      {"*" ID_TWO, "install, usb\\vid_0fce&pid_adde", 0, 1},
      {"*" ID_TWO, "Install, USB|VID_0FCE&PID_ADDE", 0, 1},
      {"*" ID_TWO, "", 0, 0},
      {"*" ID_TWO, ID_TWO "x", 0, 0},
      {"*" ID_TWO, "Install, " ID_TWO "\r", 0, 0},
      {"*" ID_TWO, "Install, " ID_ONE, 0, 0},
      {"*" ID_TWO, "SB\\VID_0FCE&PID_ADDE", 0, 0},
      {"*" ID_TWO, "USB\\VID_0FCE&PID_ADDF", 0, 0},
      {"*" ID_TWO, "xUSB\\VID_0FCE&PID_ADDE", 1, 1},
  });
}

// ---------------------------------------------------------------------------------------
// Outputs for the directive tables and the model: a bank of slots, each named by the type
// it stands for ("int", "unsigned long", "char" by reference; "char[4]" is text of 4
// bytes, "char[0]" an empty span), pre-filled so that an untouched slot and a write past
// the end both show ("~" and "OVERRUN").

constexpr std::size_t SLOT_BYTES = 64;
constexpr unsigned char GUARD = 0xA5;

struct Slot {
  alignas(16) unsigned char bytes[SLOT_BYTES];
};

template <class Number>
std::string renderNumber(const MatchOutput& output) {
  Number value;
  std::memcpy(&value, output.target, sizeof value);
  std::ostringstream out;
  out << value;
  return out.str();
}

std::string renderText(const MatchOutput& output) {
  const char* text = static_cast<const char*>(output.target);
  const void* end = std::memchr(text, 0, output.capacity);
  if (end == nullptr) return "UNTERMINATED";
  return "\"" + escaped(std::string_view(text, static_cast<const char*>(end) - text)) + "\"";
}

std::string renderChar(const MatchOutput& output) {
  return "'" + escaped(std::string_view(static_cast<const char*>(output.target), 1)) + "'";
}

struct SlotType {
  std::string_view name;
  MatchOutput shape;  // its kind and capacity, as describe() gives them
  std::string (*render)(const MatchOutput&);
};

template <class Number>
SlotType numberSlot(std::string_view name) {
  return {name, match_output::describe(static_cast<Number*>(nullptr)), renderNumber<Number>};
}

SlotType textSlot(std::string_view name, std::size_t capacity) {
  return {name, {MatchOutputKind::TEXT, nullptr, capacity}, renderText};
}

const SlotType SLOT_TYPES[] = {
    textSlot("char[32]", 32),
    textSlot("char[4]", 4),
    textSlot("char[1]", 1),
    textSlot("char[0]", 0),
    {"char", {MatchOutputKind::CHAR, nullptr, 1}, renderChar},
    numberSlot<short>("short"),
    numberSlot<int>("int"),
    numberSlot<long>("long"),
    numberSlot<long long>("long long"),
    numberSlot<unsigned short>("unsigned short"),
    numberSlot<unsigned>("unsigned"),
    numberSlot<unsigned long>("unsigned long"),
    numberSlot<unsigned long long>("unsigned long long"),
    numberSlot<float>("float"),
    numberSlot<double>("double"),
    numberSlot<long double>("long double"),
};

const SlotType& slotType(std::string_view name) {
  for (const SlotType& type : SLOT_TYPES) {
    if (type.name == name) return type;
  }
  ADD_FAILURE() << "no output type \"" << name << "\"";
  return SLOT_TYPES[0];
}

class OutputBank {
 public:
  // `types`: the outputs' type names, separated by ", ".
  explicit OutputBank(std::string_view types) {
    for (std::size_t start = 0; start < types.size();) {
      const std::size_t end = std::min(types.find(", ", start), types.size());
      types_.push_back(&slotType(types.substr(start, end - start)));
      start = end + 2;
    }
    slots_.resize(types_.size());
    for (std::size_t i = 0; i < slots_.size(); ++i) {
      outputs_.push_back(types_[i]->shape);
      outputs_[i].target = slots_[i].bytes;
      std::memset(slots_[i].bytes, GUARD, SLOT_BYTES);
      if (outputs_[i].kind == MatchOutputKind::TEXT && outputs_[i].capacity > 0) {
        std::memset(slots_[i].bytes, 0, outputs_[i].capacity);
        slots_[i].bytes[0] = '#';
      }
    }
    initial_ = slots_;
  }

  MatchOutputList list() const { return {outputs_.data(), outputs_.size()}; }

  std::vector<MatchOutputKind> kinds() const {
    std::vector<MatchOutputKind> kinds;
    for (const MatchOutput& output : outputs_) kinds.push_back(output.kind);
    return kinds;
  }

  // Whether every output is of a kind the recursive model stores into.
  bool modelled() const {
    return std::all_of(outputs_.begin(), outputs_.end(), [](const MatchOutput& output) {
      return output.kind == MatchOutputKind::TEXT || output.kind == MatchOutputKind::CHAR ||
             output.kind == MatchOutputKind::INT;
    });
  }

  // Every slot, "~" for one left as it was.
  std::string render() const {
    std::string out;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
      out += i == 0 ? "" : " ";
      out += renderSlot(i);
    }
    return out;
  }

  std::uint64_t changed() const {  // a bit for each slot no longer as it was
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < slots_.size(); ++i)
      bits |= std::uint64_t{renderSlot(i) != "~"} << i;
    return bits;
  }

 private:
  std::string renderSlot(std::size_t i) const {
    if (std::memcmp(slots_[i].bytes, initial_[i].bytes, SLOT_BYTES) == 0) return "~";
    for (std::size_t b = outputs_[i].capacity; b < SLOT_BYTES; ++b) {
      if (slots_[i].bytes[b] != GUARD) return "OVERRUN";
    }
    return types_[i]->render(outputs_[i]);
  }

  std::vector<const SlotType*> types_;
  std::vector<Slot> slots_;
  std::vector<Slot> initial_;
  std::vector<MatchOutput> outputs_;
};

// ---------------------------------------------------------------------------------------
// Directives: each row names the types of its outputs and gives every output after a
// successful match, in list order ("~" left as it was).

struct DirectiveRow {
  std::string pattern;
  std::string text;
  const char* types;
  int expected;
  std::string outputs;  // checked when the match succeeds
  int caseSensitive = 1;
};

using Matcher = int (*)(const char*, const char*, int, MatchOutputList);

void checkDirectiveRow(const DirectiveRow& row, Matcher matcher, const char* who) {
  OutputBank bank(row.types);
  const int result = matcher(row.pattern.c_str(), row.text.c_str(), row.caseSensitive, bank.list());
  const std::string where = caseName(row.pattern, row.text) + " outputs " + row.types +
                            (row.caseSensitive ? "" : " (insensitive)") + who;
  EXPECT_EQ(result, row.expected) << where;
  if (result == 1 && row.expected == 1) {
    EXPECT_EQ(bank.render(), row.outputs) << where;
  }
}

// The outputs the matcher marks stored are exactly those it changed.
void checkStoredMarks(const DirectiveRow& row) {
  OutputBank bank(row.types);
  std::uint64_t stored = 0;
  matchPatternCore(row.pattern.c_str(), row.text.c_str(), row.caseSensitive, bank.list(), &stored);
  EXPECT_EQ(stored, bank.changed()) << caseName(row.pattern, row.text) << " outputs " << row.types;
}

// Each row goes through the matcher and, where it answers quickly and stores into every
// output, the recursive model.
void checkDirectiveRows(const std::vector<DirectiveRow>& rows) {
  for (const DirectiveRow& row : rows) {
    checkDirectiveRow(row, matchPatternCore, "");
    checkStoredMarks(row);
    if (modelIsQuick(row.pattern, row.text) && OutputBank(row.types).modelled()) {
      checkDirectiveRow(row, modelMatch, " (model)");
    }
  }
}

TEST(MatchDirectives, Escapes) {
  checkDirectiveRows({
      {"%%", "%", "", 1, ""},
      {"%%", "a", "", 0, ""},
      {"%%", "%%", "", 0, ""},
      {"%%%%", "%%", "", 1, ""},
      {"a%%b", "a%b", "", 1, ""},
      {"%?", "?", "", 1, ""},
      {"%?", "a", "", 0, ""},
      {"%?", "", "", 0, ""},
      {"%*", "*", "", 1, ""},
      {"%*", "", "", 0, ""},
      {"%*", "ab", "", 0, ""},
      {"%*%*", "**", "", 1, ""},
      {"*%*", "ab*", "", 1, ""},
      {"*%*", "ab", "", 0, ""},
      {"*%%", "50%", "", 1, ""},
      // Escapes take no output.
      {"%%?%d", "%7", "int", 1, "7"},
      {"%*?%d", "*7", "int", 1, "7"},
      {"%??%d", "?7", "int", 1, "7"},
      {"*%*?%d", "x*5", "int", 1, "5"},
  });
}

TEST(MatchDirectives, CaseSwitches) {
  checkDirectiveRows({
      {"%:abc", "ABC", "", 1, ""},
      {"%:abc", "ABD", "", 0, ""},
      {"abc%:", "ABC", "", 0, ""},
      {"a%:b", "aB", "", 1, ""},
      {"a%:b", "AB", "", 0, ""},
      {"%:a%=b", "Ab", "", 1, ""},
      {"%:a%=b", "AB", "", 0, ""},
      {"%=a", "A", "", 0, "", 0},
      {"%=a", "a", "", 1, "", 0},
      {"a%=b", "Ab", "", 1, "", 0},
      {"%:", "", "", 1, ""},
      {"%=%:", "", "", 1, ""},
      {"%:", "a", "", 0, ""},
      // Stars and the trials they open inherit the mode.
      {"%:*B", "xxb", "", 1, ""},
      {"*%:B", "xxb", "", 1, ""},
      {"*%=B", "xxb", "", 0, "", 0},
      {"%:*%=B", "xxb", "", 0, ""},
      // Escapes fold too: "?" 0x3F with 0x1F, "*" 0x2A with 0x0A, "%" 0x25 with 0x05.
      {"%:%?", "\x1F", "", 1, ""},
      {"%?", "\x1F", "", 0, ""},
      {"%:%*", "\n", "", 1, ""},
      {"%*", "\n", "", 0, ""},
      {"%:%%", "\x05", "", 1, ""},
      {"%%", "\x05", "", 0, ""},
      {"%:[", "{", "", 1, ""},
      {"%:?", "", "", 0, ""},
      {"%: ", "", "", 0, ""},
  });
}

TEST(MatchDirectives, QuestionMarkCaptures) {
  checkDirectiveRows({
      {"?%s", "a", "char[32]", 1, R"("a")"},
      {"??%s", "ab", "char[32]", 1, R"("ab")"},
      {"??%s", "a ", "char[32]", 1, R"("a ")"},
      {"?x?%s", "axb", "char[32]", 1, R"("b")"},
      {"?%%?%s", "a%b", "char[32]", 1, R"("b")"},
      {"?%:?%s", "ab", "char[32]", 1, R"("ab")"},
      {"?%=?%s", "ab", "char[32]", 1, R"("ab")"},
      {"?%s?%s", "ab", "char[32], char[32]", 1, R"("a" "b")"},
      {"??%s%s", "ab", "char[32], char[32]", 1, R"("ab" "")"},
      {"a%s", "a", "char[32]", 1, R"("")"},
      {"%s", "", "char[32]", 1, R"("")"},
      {"%s", "a", "char[32]", 0, ""},
      {"a%d", "a", "int", 1, "~"},
      {"%d", "", "int", 1, "~"},
      {"?%c", "x", "char", 1, "'x'"},
      {"??%c", "xy", "char", 1, "'x'"},
      {"??%c", " y", "char", 1, "' '"},
      {"%c", "", "char", 1, "~"},
      {"a%c", "a", "char", 1, "~"},
      {"?%d", "7", "int", 1, "7"},
      {"???%d", " 42", "int", 1, "42"},
      {"???%d", "-42", "int", 1, "-42"},
      {"??%d", "4x", "int", 1, "4"},
      {"??%d", "x4", "int", 1, "~"},
      {"??%d", "  ", "int", 1, "~"},
      // A storing directive ends the capture; the next one starts empty.
      {"??%d%d", "12", "int, int", 1, "12 ~"},
      {"??%d?%d", "123", "int, int", 1, "12 3"},
  });
}

TEST(MatchDirectives, Conversions) {
  checkDirectiveRows({
      {"???%d", "123", "short", 1, "123"},
      {"???%d", "123", "long", 1, "123"},
      {"???%d", "123", "long long", 1, "123"},
      {"????%i", "0x1A", "int", 1, "26"},
      {"???%i", "010", "int", 1, "8"},
      {"???%i", "-10", "long", 1, "-10"},
      {"??%x", "ff", "unsigned", 1, "255"},
      {"??%X", "FF", "unsigned", 1, "255"},
      {"??%x", "1g", "unsigned", 1, "1"},
      {"??%o", "17", "unsigned", 1, "15"},
      {"??%u", "42", "unsigned", 1, "42"},
      {"??%u", "42", "unsigned short", 1, "42"},
      {"??%u", "42", "unsigned long", 1, "42"},
      {"??%u", "42", "unsigned long long", 1, "42"},
      {"???%f", "1.5", "float", 1, "1.5"},
      {"???%F", "2.5", "double", 1, "2.5"},
      {"???%e", "2e3", "double", 1, "2000"},
      {"???%E", "2E3", "float", 1, "2000"},
      {"????%g", "0.25", "long double", 1, "0.25"},
      {"????%G", "0.25", "float", 1, "0.25"},
      {"?????%a", "0x1p3", "double", 1, "8"},
      {"?????%A", "0X1P3", "long double", 1, "8"},
      {"??%f", "ab", "float", 1, "~"},
      {"*%s", "abc", "char[32]", 1, R"("abc")"},
      {"*%d", "42", "int", 1, "42"},
      {"*%d", "x", "int", 1, "~"},
      {"*%c", " ab", "char", 1, "' '"},
      {"*%x", "1f", "unsigned", 1, "31"},
      {"*%g", "1.25", "double", 1, "1.25"},
      // Each kind's range, to its last value; white space, signs, prefixes and bases as
      // sscanf reads them.
      {"*%d", "32767", "short", 1, "32767"},
      {"*%d", "-32768", "short", 1, "-32768"},
      {"*%d", "2147483647", "int", 1, "2147483647"},
      {"*%d", "-2147483648", "int", 1, "-2147483648"},
      {"*%i", "-2147483648", "long", 1, "-2147483648"},
      {"*%d", "9223372036854775807", "long long", 1, "9223372036854775807"},
      {"*%d", "-9223372036854775808", "long long", 1, "-9223372036854775808"},
      {"*%i", "0x7FFFFFFFFFFFFFFF", "long long", 1, "9223372036854775807"},
      {"*%i", "-0x8000000000000000", "long long", 1, "-9223372036854775808"},
      {"*%u", "65535", "unsigned short", 1, "65535"},
      {"*%x", "ffff", "unsigned short", 1, "65535"},
      {"*%u", "4294967295", "unsigned", 1, "4294967295"},
      {"*%o", "37777777777", "unsigned", 1, "4294967295"},
      {"*%X", "0XFFFFFFFF", "unsigned", 1, "4294967295"},
      {"*%u", "4294967295", "unsigned long", 1, "4294967295"},
      {"*%u", "18446744073709551615", "unsigned long long", 1, "18446744073709551615"},
      {"*%x", "0xffffffffffffffff", "unsigned long long", 1, "18446744073709551615"},
      {"*%d", "0000000000000000000000000000000042", "int", 1, "42"},
      {"*%d", " \t\n\v\f\r+7", "int", 1, "7"},
      {"*%d", "-0", "int", 1, "0"},
      {"*%d", "- 1", "int", 1, "~"},
      {"*%d", "+-1", "int", 1, "~"},
      {"*%i", "0x", "int", 1, "0"},
      {"*%i", "0xg", "int", 1, "0"},
      {"*%i", "-0x1A", "int", 1, "-26"},
      {"*%i", "08", "int", 1, "0"},
      {"*%x", "0x", "unsigned", 1, "0"},
      {"*%x", "+0x1f", "unsigned", 1, "31"},
      {"*%o", "0x1f", "unsigned", 1, "0"},
      // A minus sign negates in the unsigned type, as strtoul does.
      {"*%u", "-1", "unsigned", 1, "4294967295"},
      {"*%u", "-1", "unsigned short", 1, "65535"},
      {"*%u", "-65535", "unsigned short", 1, "1"},
      {"*%x", "-0x1", "unsigned long long", 1, "18446744073709551615"},
      // Floating numbers: every form scanf takes, and the edges of each type's range. A
      // value too small for the type becomes 0 or a denormal, as sscanf stores it.
      {"*%f", "3.4028235e38", "float", 1, "3.40282e+38"},
      {"*%f", "-3.4028235e38", "float", 1, "-3.40282e+38"},
      {"*%g", "1.7976931348623157e308", "double", 1, "1.79769e+308"},
      {"*%g", "4e-320", "double", 1, "3.99996e-320"},
      {"*%g", "1e-400", "double", 1, "0"},
      {"*%g", "-1e-400", "double", 1, "-0"},
      {"*%f", "1e-50", "float", 1, "0"},
      {"*%f", "1e-45", "float", 1, "1.4013e-45"},
      {"*%a", "0x1p-1074", "double", 1, "4.94066e-324"},
      {"*%a", "0x1p-1075", "double", 1, "0"},
      {"*%a", "0x1.8p1", "long double", 1, "3"},
      {"*%a", "-0x.8", "double", 1, "-0.5"},
      {"*%a", "0x.", "double", 1, "0"},
      {"*%a", "0X1P", "double", 1, "1"},
      {"*%e", "1e", "double", 1, "1"},
      {"*%e", "1e+", "double", 1, "1"},
      {"*%e", "1.", "double", 1, "1"},
      {"*%e", ".5", "float", 1, "0.5"},
      {"*%e", "+.5e1", "long double", 1, "5"},
      {"*%e", "0.0001e4", "double", 1, "1"},
      {"*%e", "000000000000000000000000000000000001.5", "double", 1, "1.5"},
      {"*%e", "0.00000000000000000000000000000000000000000000000000000000000000000001e68", "double",
       1, "1"},
      {"*%f", " \t-2.5", "double", 1, "-2.5"},
      {"*%f", "inf", "double", 1, "inf"},
      {"*%f", "-Infinity", "float", 1, "-inf"},
      {"*%f", "INFx", "long double", 1, "inf"},
      {"*%f", "nan", "double", 1, "nan"},
      {"*%f", "1,5", "double", 1, "1"},
      // Every digit is read, however many: zeros before the number, zeros and digits past
      // those a floating number keeps, and an exponent that makes up for a million zeros.
      {"*%d", std::string(4093, '0') + "12345", "int", 1, "12345"},
      {"*%d", std::string(5000, '0') + "1", "int", 1, "1"},
      {"*%x", std::string(5000, '0') + "ff", "unsigned", 1, "255"},
      {"*%f", std::string(5000, '0') + "1.5", "double", 1, "1.5"},
      {"*%f", "0." + std::string(5000, '0') + "1e5001", "double", 1, "1"},
      {"*%e", "1" + std::string(5000, '0') + "e-5000", "double", 1, "1"},
      {"*%g", "1." + std::string(5000, '0') + "1", "double", 1, "1"},
      {"*%e", "0." + std::string(1100000, '0') + "1e1100001", "double", 1, "1"},
      {"*%a", "0x1" + std::string(5000, '0') + "p-20000", "double", 1, "1"},
      {"*%a", "0x1." + std::string(5000, '0') + "1", "float", 1, "1"},
  });
}

// Sets LC_NUMERIC to the first installed locale that writes numbers with a decimal comma;
// false, with LC_NUMERIC set back to `previous`, when there is none.
bool useDecimalCommaLocale(const std::string& previous) {
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR",
                           "German_Germany.1252", "de-DE"}) {
    if (std::setlocale(LC_NUMERIC, name) == nullptr) continue;
    if (std::strcmp(std::localeconv()->decimal_point, ",") == 0) return true;
  }
  (void)std::setlocale(LC_NUMERIC, previous.c_str());
  return false;
}

TEST(MatchDirectives, ConversionsIgnoreTheLocale) {
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  if (!useDecimalCommaLocale(previous))
    GTEST_SKIP() << "no locale with a decimal comma is installed";
  // Numbers are read as in the C locale, whatever the process's LC_NUMERIC says.
  checkDirectiveRows({
      {"*%f", "1.5", "double", 1, "1.5"},
      {"*%f", "1,5", "double", 1, "1"},
      {"*%e", "-2.5e3", "float", 1, "-2500"},
      {"*%g", "0.125", "long double", 1, "0.125"},
      {"*%a", "0x1.8p1", "double", 1, "3"},
      {"*%d", "1,5", "int", 1, "1"},
  });
  (void)std::setlocale(LC_NUMERIC, previous.c_str());
}

TEST(MatchDirectives, HexadecimalFloatsAreRoundedCorrectly) {
  // Three quarters of the way between two subnormals: the nearer is 4194305 * 2^-149
  // (some C libraries' sscanf store 2^-127, one below, which prints the same).
  float value = 0;
  EXPECT_EQ(matchPattern("*%a", "0x1000003p-151", &value), 1);
  EXPECT_EQ(value, std::ldexp(4194305.0F, -149));
}

TEST(MatchDirectives, StarCaptures) {
  checkDirectiveRows({
      {"*%s", "hello world", "char[32]", 1, R"("hello world")"},
      {"*%s", "", "char[32]", 1, R"("")"},
      {"*%s,*", "a,b,c", "char[32]", 1, R"("a")"},
      {"*%s,*", "abc", "char[32]", 0, ""},
      {"*%s?", "abc", "char[32]", 1, R"("ab")"},
      {"*%s??", "abc", "char[32]", 1, R"("a")"},
      {"*%sb*", "abab", "char[32]", 1, R"("a")"},
      {"*%s%%*", "50%%", "char[32]", 1, R"("50")"},
      {"*%s%:B", "aab", "char[32]", 1, R"("aa")"},
      {"a*%sb", "axxb", "char[32]", 1, R"("xx")"},
      {"??*%s", "abcd", "char[32]", 1, R"("cd")"},
      {"??%s*", "abcd", "char[32]", 1, R"("ab")"},
      {"*%s*%s", "abc", "char[32], char[32]", 1, R"("" "abc")"},
      {"*%s-*%s", "a-b-c", "char[32], char[32]", 1, R"("a" "b-c")"},
      {"?%s*%s", "abc", "char[32], char[32]", 1, R"("a" "bc")"},
      {"?%d*%s", "7abc", "int, char[32]", 1, R"(7 "abc")"},
      {"*%s?%d", "ab3", "char[32], int", 1, R"("ab" 3)"},
      {"*%d*%d", "1 2", "int, int", 1, "~ 1"},
      {"*%d ??%d", "12 34", "int, int", 1, "12 34"},
      {"*%d %d", "12 34", "int, int", 0, ""},
      {"*%dx", "12x", "int", 1, "12"},
      {"*%d%%", "50%", "int", 1, "50"},
      {"*%s%:b", "aaB", "char[32]", 1, R"("aa")"},
      {"*%s%?", "ab?", "char[32]", 1, R"("ab")"},
      {"*%s?%s", "abc", "char[32], char[32]", 1, R"("ab" "c")"},
      {"*%s?%sx", "abc", "char[32], char[32]", 0, ""},
      {"*%s?%d", "ab", "char[32]", 1, R"("a")"},
      {"x*%s,", "xab,", "char[32]", 1, R"("ab")"},
      {"x*%s,", "xab", "char[32]", 0, ""},
      // A mode switch or escape after a star is matched in the trials, which start with an
      // empty capture of their own.
      {"*%:%s", "abc", "char[32]", 1, R"("")"},
      {"*%*%s", "a*", "char[32]", 1, R"("")"},
      {"*%=%d", "12", "int", 1, "~"},
  });
}

TEST(MatchDirectives, FailedTrialsLeaveTheirWrites) {
  // The star tries its splits in increasing order; each trial runs the directives after
  // it, and a later trial whose capture does not scan leaves the earlier value.
  checkDirectiveRows({
      {"*?%d", "12a", "int", 1, "2"},
      {"*?%d", "123", "int", 1, "3"},
      {"*?%d?", "1ab", "int", 1, "1"},
      {"*?%s", "abc", "char[32]", 1, R"("c")"},
      {"*?%c", "abc", "char", 1, "'c'"},
      {"*?%sx", "abx", "char[32]", 1, R"("b")"},
      {"*??%d", "1a2", "int", 1, "1"},
      {"*?%d?%d", "1a2", "int, int", 1, "1 2"},
  });
}

TEST(MatchDirectives, OutputsThatDoNotFitStayUntouched) {
  checkDirectiveRows({
      {"?%d", "5", "float", 1, "~"},
      {"?%d", "5", "double", 1, "~"},
      {"?%d", "5", "unsigned", 1, "~"},
      {"?%d", "5", "char[32]", 1, "~"},
      {"?%d", "5", "char", 1, "~"},
      {"?%f", "5", "int", 1, "~"},
      {"?%f", "5", "char[32]", 1, "~"},
      {"?%s", "5", "char", 1, "~"},
      {"?%s", "5", "int", 1, "~"},
      {"?%c", "5", "int", 1, "~"},
      {"?%x", "5", "int", 1, "~"},
      {"?%u", "5", "long long", 1, "~"},
      {"?%i", "5", "unsigned long long", 1, "~"},
      {"*%s", "abc", "char", 1, "~"},
      {"*%d", "12", "double", 1, "~"},
      // The misfit still takes its place in the list.
      {"?%d?%d", "12", "float, int", 1, "~ 2"},
      {"?%s?%s", "ab", "char, char[32]", 1, R"(~ "b")"},
      {"*%f,*%d", "1,2", "int, int", 1, "~ 2"},
      // A number beyond its output's range leaves it untouched, like one that does not
      // scan; it is never cut down to fit.
      {"*%d", "32768", "short", 1, "~"},
      {"*%d", "70000", "short", 1, "~"},
      {"*%d", "-32769", "short", 1, "~"},
      {"*%d", "2147483648", "int", 1, "~"},
      {"*%d", "-2147483649", "int", 1, "~"},
      {"*%d", "99999999999999999999", "int", 1, "~"},
      {"*%i", "0x100000000", "int", 1, "~"},
      {"*%d", "99999999999999999999", "long", 1, "~"},
      {"*%d", "9223372036854775808", "long long", 1, "~"},
      {"*%d", "-9223372036854775809", "long long", 1, "~"},
      {"*%i", "-0x8000000000000001", "long long", 1, "~"},
      {"*%u", "65536", "unsigned short", 1, "~"},
      {"*%u", "-65536", "unsigned short", 1, "~"},
      {"*%x", "10000", "unsigned short", 1, "~"},
      {"*%u", "4294967296", "unsigned", 1, "~"},
      {"*%o", "40000000000", "unsigned", 1, "~"},
      {"*%u", "18446744073709551616", "unsigned long", 1, "~"},
      {"*%u", "18446744073709551616", "unsigned long long", 1, "~"},
      {"*%x", "0x10000000000000000", "unsigned long long", 1, "~"},
      {"*%u", "-18446744073709551616", "unsigned long long", 1, "~"},
      {"*%d", "000000000000000000000000000000000000000000000000000000000099999999999", "int", 1,
       "~"},
      {"*%f", "3.5e38", "float", 1, "~"},
      {"*%f", "-1e39", "float", 1, "~"},
      {"*%g", "1e309", "double", 1, "~"},
      {"*%g", "-1.8e308", "double", 1, "~"},
      {"*%a", "0x1p1024", "double", 1, "~"},
      {"*%e", "1e999999999999999999999", "double", 1, "~"},
      {"*%e", "1e5000", "long double", 1, "~"},
      // Digits past those kept that could round either way: 1 + 2^-53, halfway between two
      // doubles, then 4,041 zeros and a 1.
      {"*%f",
       "1.00000000000000011102230246251565404236316680908203125" + std::string(4041, '0') + "1",
       "double", 1, "~"},
      // Not numbers at all.
      {"*%f", "infinit", "double", 1, "~"},
      {"*%f", "in", "double", 1, "~"},
      {"*%f", ".", "double", 1, "~"},
      {"*%f", "-.e1", "double", 1, "~"},
      {"*%a", "0x", "double", 1, "~"},
      {"*%a", "0xp1", "double", 1, "~"},
      {"*%d", "-", "int", 1, "~"},
      {"*%x", "g", "unsigned", 1, "~"},
  });
}

TEST(MatchDirectives, UnknownConversionsStayUntouched) {
  checkDirectiveRows({
      {"?%q", "5", "int", 1, "~"},
      {"?%n", "5", "int", 1, "~"},
      {"?%p", "5", "unsigned long long", 1, "~"},
      {"?%[", "5", "char[32]", 1, "~"},
      {"?%l", "5", "long", 1, "~"},
      {"?%h", "5", "short", 1, "~"},
      {"?%0", "5", "int", 1, "~"},
      {"?% ", "5", "int", 1, "~"},
      {"?%\xC3", "5", "char[32]", 1, "~"},
      // Each takes its place in the list, also after a star.
      {"?%q?%d", "a5", "int, int", 1, "~ 5"},
      {"*%q,?%d", "x,5", "int, int", 1, "~ 5"},
      {"?%ld", "5d", "long, int", 1, "~ ~"},
  });
}

TEST(MatchDirectives, SurplusDirectivesStoreNothing) {
  checkDirectiveRows({
      {"?%d?%d", "12", "int", 1, "1"},
      {"?%s", "a", "", 1, ""},
      {"*%s", "abc", "", 1, ""},
      {"*%s*%s", "ab", "char[32]", 1, R"("")"},
      {"*%s,*%s,*%s", "a,b,c", "char[32]", 1, R"("a")"},
      {"?%d?%s?%c", "1bc", "int, char[32]", 1, R"(1 "b")"},
  });
}

TEST(MatchDirectives, TextIsCutToFit) {
  checkDirectiveRows({
      {"*%s", "abcdef", "char[4]", 1, R"("abc")"},
      {"*%s", "abc", "char[4]", 1, R"("abc")"},
      {"*%s", "ab", "char[4]", 1, R"("ab")"},
      {"??????%s", "abcdef", "char[4]", 1, R"("abc")"},
      {"*%s", "abcdef", "char[1]", 1, R"("")"},
      {"*%s", "abcdef", "char[0]", 1, "~"},
      {"?%c", "x", "char[0]", 1, "~"},
      {"?%c", "x", "char[1]", 1, "UNTERMINATED"},
      {"*%s", "0123456789012345678901234567890123456789", "char[32]", 1,
       R"("0123456789012345678901234567890")"},
      {"*%s,*%s", "abcdef,ghijkl", "char[4], char[4]", 1, R"("abc" "ghi")"},
  });
}

TEST(MatchDirectives, CharIntoTextWritesOneByteOnly) {
  char buffer[4] = {'#', '#', '#', '\0'};
  EXPECT_EQ(matchPattern("?%c", "x", buffer), 1);
  EXPECT_EQ(std::string(buffer), "x##");
}

TEST(MatchDirectives, LoneFinalPercentIsLiteral) {
  checkDirectiveRows({
      {"%", "%", "", 1, ""},
      {"%", "", "", 0, ""},
      {"%", "a", "", 0, ""},
      {"a%", "a%", "", 1, ""},
      {"a%", "a", "", 0, ""},
      {"%%%", "%%", "", 1, ""},
      {"*%", "abc%", "", 1, ""},
      {"*%", "%", "", 1, ""},
      {"*%", "abc", "", 0, ""},
      {"*%", "", "", 0, ""},
      {"%:%", "\x05", "", 1, ""},
      {"?%", "a%", "int", 1, "~"},
      {"?%d%", "5%", "int", 1, "5"},
  });
}

// What a pattern written as a constant is refused for at compile time, with outputs of
// these types; the first fault in the pattern's order is the one named.
TEST(MatchDirectives, ConstantPatternsAreCheckedAgainstTheirOutputs) {
  const struct {
    const char* pattern;
    const char* types;
    PatternFault fault;
  } rows[] = {
      {"", "", PatternFault::NONE},
      {"*%s,*v?%d", "char[32], int", PatternFault::NONE},
      {"%%%?%*%:%=", "", PatternFault::NONE},
      {"?%c?%c", "char[4], char", PatternFault::NONE},
      {"*%x*%i*%g", "unsigned short, long long, long double", PatternFault::NONE},
      {"*%x", "int", PatternFault::DIRECTIVE_NOT_TAKEN},
      {"*%u", "int", PatternFault::DIRECTIVE_NOT_TAKEN},
      {"*%d", "unsigned", PatternFault::DIRECTIVE_NOT_TAKEN},
      {"*%f", "long", PatternFault::DIRECTIVE_NOT_TAKEN},
      {"*%d", "double", PatternFault::DIRECTIVE_NOT_TAKEN},
      {"*%s", "char", PatternFault::DIRECTIVE_NOT_TAKEN},
      {"?%c", "int", PatternFault::DIRECTIVE_NOT_TAKEN},
      {"?%q", "int", PatternFault::DIRECTIVE_NOT_TAKEN},
      {"?%d?%x", "int, int", PatternFault::DIRECTIVE_NOT_TAKEN},
      {"*%d,*%d", "int", PatternFault::MORE_DIRECTIVES_THAN_OUTPUTS},
      {"?%s", "", PatternFault::MORE_DIRECTIVES_THAN_OUTPUTS},
      {"*%d", "int, int", PatternFault::MORE_OUTPUTS_THAN_DIRECTIVES},
      {"*%%d", "int", PatternFault::MORE_OUTPUTS_THAN_DIRECTIVES},
      {"%", "", PatternFault::LONE_FINAL_PERCENT},
      {"*%", "", PatternFault::LONE_FINAL_PERCENT},
      {"%%%", "", PatternFault::LONE_FINAL_PERCENT},
      {"?%d%", "int", PatternFault::LONE_FINAL_PERCENT},
      {"?%x%", "int", PatternFault::DIRECTIVE_NOT_TAKEN},
  };
  for (const auto& row : rows) {
    const std::vector<MatchOutputKind> kinds = OutputBank(row.types).kinds();
    EXPECT_EQ(findPatternFault(row.pattern, kinds), row.fault)
        << "pattern \"" << row.pattern << "\" outputs " << row.types;
  }
}

// Outputs the entry refuses at compile time: a bare char* (neither "one character" nor a
// size) and a temporary char (what it stored would be lost).
template <class... Outputs>
concept EntryTakes = requires(Outputs&&... outputs) {
  matchPattern(runtimePattern(""), "", std::forward<Outputs>(outputs)...);
};
static_assert(EntryTakes<char&, char (&)[4], std::span<char>, int*, double*>);
static_assert(!EntryTakes<char*>);
static_assert(!EntryTakes<char*&>);
static_assert(!EntryTakes<const char*>);
static_assert(!EntryTakes<char>);
static_assert(!EntryTakes<const char&>);
static_assert(!EntryTakes<int&>);

TEST(MatchDirectives, EntryTakesTypedOutputs) {
  int number = -1;
  char text[8] = "#";
  char letter = '#';
  double real = -1.0;
  EXPECT_EQ(matchPattern("??%d, *%s, ?%c, *%f", "42, abc, x, 0.5", &number, text, letter, &real),
            1);
  EXPECT_EQ(number, 42);
  EXPECT_STREQ(text, "abc");
  EXPECT_EQ(letter, 'x');
  EXPECT_EQ(real, 0.5);
  StoredOutputs stored;
  EXPECT_EQ(matchPattern(stored, "*%d,?%c", "x,7", &number, letter), 1);
  EXPECT_EQ(stored.count(), 1);
  EXPECT_TRUE(stored.has(1));

  // An array is text of its whole size, cut to fit: never a single char.
  struct {
    char text[4];
    char guard[4];
  } small = {{'#', '#', '#', '#'}, {'#', '#', '#', '\0'}};
  EXPECT_EQ(matchPattern("*%s", "abcdef", small.text), 1);
  EXPECT_STREQ(small.text, "abc");
  EXPECT_STREQ(small.guard, "###");

  std::vector<char> wide(16, '#');
  std::span<char> view(wide);
  EXPECT_EQ(matchPattern("*%s", "wxyz", view), 1);
  EXPECT_STREQ(wide.data(), "wxyz");

  // An output may be the text's own buffer: the capture moves within it.
  char shared[16] = "abcdef";
  EXPECT_EQ(matchPattern("a*%s", shared, std::span<char>(shared, 16)), 1);
  EXPECT_STREQ(shared, "bcdef");
  std::memcpy(shared, "abcdef", sizeof "abcdef");
  EXPECT_EQ(matchPattern("a*%s", shared, std::span<char>(shared + 2, 14)), 1);
  EXPECT_STREQ(shared, "abbcdef");
  std::memcpy(shared, "xy42", sizeof "xy42");
  EXPECT_EQ(matchPattern("??*%s", shared, shared), 1);
  EXPECT_STREQ(shared, "42");
}

TEST(MatchDirectives, OutputsSharingStorageKeepTheMatchersOrder) {
  // Outputs must not share storage. Where they do, a star's output is stored once the next
  // star is reached, before that star's own: the recursive search stores them the other
  // way round, and leaves 1 and "abc".
  int number = -1;
  EXPECT_EQ(matchPattern("*%d,*%d", "1,2", &number, &number), 1);
  EXPECT_EQ(number, 2);
  char buffer[8] = "#";
  EXPECT_EQ(
      matchPattern("*%s,*%s", "abc,de", std::span<char>(buffer), std::span<char>(buffer + 2, 6)),
      1);
  EXPECT_STREQ(buffer, "abde");
}

// ---------------------------------------------------------------------------------------
// The model: the plain recursive search the matcher must agree with.

using Random = support::Random;

// Fewer than `most` pieces drawn at random, each after `separator`.
template <std::size_t N>
std::string randomRun(Random& random, const char* const (&pieces)[N], std::size_t most,
                      const char* separator = "") {
  std::string run;
  for (std::size_t count = random.below(most); count > 0; --count) {
    run += separator;
    run += random.pick(pieces);
  }
  return run;
}

// Single elements, and the pairs that capture something, more often.
const char* const PATTERN_PIECES[] = {
    "a",   "b",    "A",   "1",   "2",   " ",   "0",   "?",    "?",     "*",     "*",   "%s",
    "%d",  "%c",   "%i",  "%:",  "%=",  "%%",  "%?",  "%*",   "%",     "%q",    "%f",  "?%s",
    "*%s", "??%d", "*%d", "?%c", "*%c", "?%i", "*ab", "*a?B", "*b a*", "*1a2b", "?ba?"};

const char* const TEXT_CHARS[] = {"a", "b", "A", "1", "2", " ", "0",  "a",
                                  "1", "2", " ", "%", "?", "*", "ab", "Ab"};

const char* const OUTPUT_TYPES[] = {"char[32]", "int",  "char",    "char[32]",
                                    "int",      "char", "char[4]", "char[1]"};

// A text the pattern is likely to match: each element spelled out, a star as up to three
// random characters, letters now and then in the other case.
std::string textFromPattern(Random& random, const std::string& pattern) {
  std::string text;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '?') {
      text += random.pick(TEXT_CHARS);
    } else if (c == '*') {
      text += randomRun(random, TEXT_CHARS, 4);
    } else if (c == '%' && i + 1 < pattern.size()) {
      const char second = pattern[++i];
      if (second == '%' || second == '?' || second == '*') text += second;
    } else {
      text += random.below(4) == 0 ? static_cast<char>(c ^ 0x20) : c;
    }
  }
  return text.size() > 20 ? text.substr(0, 20) : text;
}

TEST(MatchModel, AgreesWithRecursiveSearchOnRandomInputs) {
  constexpr int CASES = 200000;
  constexpr int MAX_REPORTED = 10;
  Random random(20240611);
  int failures = 0;
  for (int i = 0; i < CASES && failures < MAX_REPORTED; ++i) {
    const std::string pattern = randomRun(random, PATTERN_PIECES, 9);
    const std::string text =
        random.below(2) ? randomRun(random, TEXT_CHARS, 16) : textFromPattern(random, pattern);
    std::string types = random.pick(OUTPUT_TYPES);
    types += randomRun(random, OUTPUT_TYPES, 4, ", ");  // one to four outputs
    const int caseSensitive = static_cast<int>(random.below(2));
    OutputBank expected(types);
    OutputBank actual(types);
    const int want = modelMatch(pattern.c_str(), text.c_str(), caseSensitive, expected.list());
    const int got = matchPatternCore(pattern.c_str(), text.c_str(), caseSensitive, actual.list());
    const auto shaped = [&](auto entry) {  // the entries for a pattern's shape
      return entry(pattern.c_str(), plainShape(pattern.c_str()), text.c_str(), caseSensitive);
    };
    const bool shapesAgree = shaped(matchPlainCore) == want && shaped(matchShapedPattern) == want;
    if (got == want && shapesAgree && (want == 0 || actual.render() == expected.render())) continue;
    ++failures;
    ADD_FAILURE() << "case " << i << ": " << caseName(pattern, text) << " outputs " << types
                  << " mode " << caseSensitive << "\n  expected " << want << " ["
                  << expected.render() << "]\n  got      " << got << " [" << actual.render() << "]";
  }
}

// ---------------------------------------------------------------------------------------
// Many stars and patterns that make a naive backtracker blow its stack or its time.

std::string repeated(std::string_view piece, std::size_t count) {
  std::string out;
  out.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i) out += piece;
  return out;
}

TEST(MatchPathological, ManyStars) {
  for (const std::size_t stars : {std::size_t{10000}, std::size_t{100000}}) {
    const std::string many = repeated("*", stars);
    checkPlainRows({
        {many, "", 1, 1},
        {many, "abc", 1, 1},
        {many, repeated("x", 1000), 1, 1},
        {many + "b", "aaaa", 0, 0},
        {many + "b", "aab", 1, 1},
        {many + "?", "", 0, 0},
        {many + "?", "a", 1, 1},
        {"a" + many + "a", "a", 0, 0},
        {"a" + many + "a", "aa", 1, 1},
        {many + "%:B", "aab", 1, 1},
        {many + "%%", "50%", 1, 1},
        {many + "%", "50%", 1, 1},
        {many + "%", "50", 0, 0},
    });
  }
}

TEST(MatchPathological, ManyStarsWithCaptures) {
  const std::string many = repeated("*", 100000);
  checkDirectiveRows({
      {many + "%s", "hello", "char[32]", 1, R"("hello")"},
      {many + "%d", "123", "int", 1, "123"},
      {repeated("*%s", 10000), "abc", "char[4], char[4]", 1, R"("" "")"},
      {repeated("*%s,", 10000) + "*", "a,b,c", "char[4], char[4]", 0, ""},
      {repeated("*%s,", 3) + "*", "a,b,c,d", "char[4], char[4]", 1, R"("a" "b")"},
  });
}

TEST(MatchPathological, StarRunsAgainstRepeatedLetters) {
  for (const std::size_t n :
       {std::size_t{1}, std::size_t{10}, std::size_t{100}, std::size_t{1000}}) {
    for (const std::size_t m : {std::size_t{10}, std::size_t{1000}}) {
      const std::string stars = repeated("a*", n);
      const std::string letters = repeated("a", m);
      const int fits = n <= m ? 1 : 0;
      checkPlainRows({
          {stars + "b", letters, 0, 0},
          {stars + "b", letters + "b", fits, fits},
          {repeated("*a", n) + "*b", letters, 0, 0},
          {repeated("*a", n) + "*b", letters + "b", fits, fits},
          {repeated("*a", n), letters, fits, fits},
      });
    }
  }
}

TEST(MatchPathological, AlternatingStarsAndQuestionMarks) {
  const std::size_t n = 2000;
  const std::string pattern = repeated("*?", n);
  checkPlainRows({
      {pattern, repeated("x", n), 1, 1},
      {pattern, repeated("x", n - 1), 0, 0},
      {pattern + "*", repeated("x", n + 500), 1, 1},
      {repeated("?*", n) + "y", repeated("x", 3 * n), 0, 0},
      {repeated("*-", 30) + "x", repeated("a-", 200), 0, 0},
      {repeated("*-", 30) + "x", repeated("a-", 200) + "x", 1, 1},
      {repeated("-*", 20) + "-12-*", "-" + repeated("ab-", 40) + "12-end", 1, 1},
  });
}

TEST(MatchPathological, LongTexts) {
  const std::string longText = repeated("a", 100000);
  checkPlainRows({
      {"*", longText, 1, 1},
      {"*b", longText, 0, 0},
      {"*a", longText, 1, 1},
      {"a*a", longText, 1, 1},
      {repeated("?", 100000), longText, 1, 1},
      {repeated("?", 99999), longText, 0, 0},
      {"*" ID_ONE, longText + ID_ONE, 1, 1},
  });

  checkDirectiveRows({
      {"*%s", longText, "char[32]", 1, '"' + repeated("a", 31) + '"'},
      {"*,%d", longText + ",77", "int", 0, ""},
      {"*,?%d", longText + ",7", "int", 1, "7"},
  });

  std::vector<char> whole(longText.size() + 1, '#');
  EXPECT_EQ(matchPattern("*%s", longText.c_str(), std::span<char>(whole)), 1);
  EXPECT_EQ(std::string(whole.data()), longText);

  std::vector<char> runs(5001, '#');
  const std::string pattern = repeated("?", 5000) + "%s";
  EXPECT_EQ(matchPattern(runtimePattern(pattern.c_str()), longText.substr(0, 5000).c_str(),
                         std::span<char>(runs)),
            1);
  EXPECT_EQ(std::string(runs.data()), longText.substr(0, 5000));
}

}  // namespace
