#include "windows_text/inf_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/bytes_as_text.h"
#include "tests/support/inf_text.h"
#include "tests/support/reader_harness.h"

namespace {

using namespace std::string_literals;

constexpr std::size_t CAPACITY = 260;
using support::ChunkedSource;

// Runs one lookup into a guarded buffer and checks the contract that holds for every
// answer: a terminator at the returned length, within the capacity, and nothing written
// outside it. Returns the answer's bytes.
std::string lookupChecked(const std::string& file, const char* section, const char* key,
                          std::size_t capacity = CAPACITY, std::size_t chunk = 0) {
  ChunkedSource source{file, chunk};
  const support::GuardedAnswer answer = support::guardedAnswer(capacity, [&](char* destination) {
    return chunk == 0 ? inf::lookupProfileStringInMemory(file.data(), file.size(), section, key,
                                                         destination, capacity)
                      : inf::lookupProfileString({ChunkedSource::read, &source}, section, key,
                                                 destination, capacity);
  });
  EXPECT_FALSE(answer.overrun) << "written outside the capacity";
  if (capacity == 0) {
    EXPECT_EQ(answer.length, 0u);
    return {};
  }
  EXPECT_LT(answer.length, capacity);
  EXPECT_TRUE(answer.terminated) << "no terminator at the returned length";
  return answer.text;
}

using support::escapeBytes;
using support::utf16;
using support::utf16le;
using support::utf8WithMark;

std::string repeated(std::size_t count, char byte) {
  return std::string(count, byte);
}

// What the Windows profile reader (under Wine) answers a row. Every row was measured on it,
// and parity.wine.cases asks it every measured row again, so that the table cannot drift.
enum class Windows {
  SAME,            // the row's expected answer
  ONE_BYTE_SHORT,  // all but its last byte: the one deliberate difference, a quoted value
                   // whose inner text fills the buffer exactly
  NOT_ASKED,       // not measured
};

struct Row {
  const char* what;
  std::string file;
  std::string section;
  std::string key;
  std::string expected;
  Windows windows = Windows::SAME;
};

constexpr Windows PINNED = Windows::ONE_BYTE_SHORT;

// With INF_READER_ROWS_FOR_WINDOWS naming a folder, each measured row's file goes there,
// and its lookup with the answer Windows gives to rows.txt (hex path, section, key and
// answer, tab-separated), for parity.wine.cases to ask Windows the same.
void writeForWindows(const Row& row) {
  static int written = 0;
  const char* folder = std::getenv("INF_READER_ROWS_FOR_WINDOWS");
  if (folder == nullptr || row.windows == Windows::NOT_ASKED) return;
  const std::string path = std::string(folder) + "/row-" + std::to_string(++written) + ".inf";
  std::ofstream(path, std::ios::binary) << row.file;
  const std::size_t answered = row.expected.size() - (row.windows == PINNED ? 1 : 0);
  std::ofstream(std::string(folder) + "/rows.txt", std::ios::binary | std::ios::app)
      << support::toHex(path) << '\t' << support::toHex(row.section) << '\t'
      << support::toHex(row.key) << '\t' << support::toHex(row.expected.substr(0, answered))
      << '\n';
}

// Checks every row, with the file read whole or `chunk` bytes at a time.
void checkRows(const std::vector<Row>& rows, std::size_t chunk = 0) {
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.what) + ": [" + escapeBytes(row.section) + "] " +
                 escapeBytes(row.key) + " in " + escapeBytes(row.file) + ", read size " +
                 std::to_string(chunk));
    EXPECT_EQ(
        escapeBytes(lookupChecked(row.file, row.section.c_str(), row.key.c_str(), CAPACITY, chunk)),
        escapeBytes(row.expected));
    if (chunk == 0) writeForWindows(row);
  }
}

// What the detector relies on.
const std::vector<Row> RELIED_ON = {
    {"value after =", "[Version]\r\nDriverVer = 06/21/2006,1.0\r\n", "Version", "DriverVer",
     "06/21/2006,1.0"},
    {"first section wins", "[Strings]\r\nA=1\r\n[strings]\r\nA=2\r\nB=3\r\n", "Strings", "A", "1"},
    {"later section ignored", "[Strings]\r\nA=1\r\n[STRINGS]\r\nB=3\r\n", "Strings", "B", ""},
    {"first key wins, empty", "[S]\r\nk=\r\nk=2\r\n", "S", "k", ""},
    {"first key wins, no =", "[S]\r\nk\r\nk=2\r\n", "S", "k", ""},
    {"first key wins, case", "[S]\r\nKEY=1\r\nkey=2\r\n", "S", "key", "1"},
    {"ASCII folding", "[MaNuFaCtUrEr]\r\n%MFGNAME%=x\r\n", "manufacturer", "%mfgname%", "x"},
    {"no folding past ASCII", "[S]\r\n\xC9=1\r\n", "S", "\xE9", ""},
    {"@ is not `", "[S]\r\n@=1\r\n", "S", "`", ""},
    {"[ is not {", "[S]\r\n[a=1\r\n", "S", "{a", ""},
    {"percent literal", "[M]\r\n%DeviceDesc%=Inst,USB\\VID_1\r\n", "M", "%DeviceDesc%",
     "Inst,USB\\VID_1"},
    {"percent needed", "[M]\r\n%DeviceDesc%=x\r\n", "M", "DeviceDesc", ""},
    {"quotes dropped", "[S]\r\nP=\"Provider, Inc.\"\r\n", "S", "P", "Provider, Inc."},
    {"single quotes dropped", "[S]\r\nP=' a '\r\n", "S", "P", " a "},
    {"mixed quotes kept", "[S]\r\nP='a\"\r\n", "S", "P", "'a\""},
    {"quote and comment kept", "[S]\r\nP=\"a\" ; c\r\n", "S", "P", "\"a\" ; c"},
    {"one quote pair only", "[S]\r\nP=\"\"a\"\"\r\n", "S", "P", "\"a\""},
    {"lone quote", "[S]\r\nP=\"\r\n", "S", "P", "\""},
    {"empty quotes", "[S]\r\nP=''\r\n", "S", "P", ""},
    {"cut at 259", "[S]\r\nv=" + repeated(300, 'v') + "\r\n", "S", "v", repeated(259, 'v')},
    {"exactly 259", "[S]\r\nv=" + repeated(259, 'v') + "\r\n", "S", "v", repeated(259, 'v')},
    {"quoted 259 whole", "[S]\r\nv=\"" + repeated(259, 'q') + "\"\r\n", "S", "v",
     repeated(259, 'q'), PINNED},
    {"double-quoted 259 whole", "[L]\r\nq=\"" + repeated(258, 'x') + "E\"\r\n", "L", "q",
     repeated(258, 'x') + "E", PINNED},
    {"single-quoted 259 whole", "[L]\r\nq='" + repeated(258, 'x') + "E'\r\n", "L", "q",
     repeated(258, 'x') + "E", PINNED},
    {"quoted 259 whole in UTF-16", utf16le(u"[L]\r\nq=\"" + std::u16string(258, u'x') + u"E\"\r\n"),
     "L", "q", repeated(258, 'x') + "E", PINNED},
    {"quoted 260 cut", "[S]\r\nv=\"" + repeated(260, 'q') + "\"\r\n", "S", "v", repeated(259, 'q')},
    {"quoted 258 whole", "[S]\r\nv=\"" + repeated(258, 'q') + "\"\r\n", "S", "v",
     repeated(258, 'q')},
    {"cut keeps a blank", "[S]\r\nv=" + repeated(258, 'a') + "  b\r\n", "S", "v",
     repeated(258, 'a') + " "},
    {"lines before a header", "%D%=x\r\n[M]\r\n%D%=y\r\n", "", "%D%", "x"},
    {"[] unreachable", "[A]\r\n[]\r\nk=1\r\n", "", "k", ""},
    {"empty key", "[Strings]\r\n;c\r\nnoeq\r\n=x\r\n", "Strings", "", "x"},
    {"; line is an entry", "[S]\r\n;k=1\r\n", "S", ";k", "1"},
    {"; line is not k", "[S]\r\n;k=1\r\n", "S", "k", ""},
    {"no trailing comment", "[S]\r\nk=1 ; c\r\n", "S", "k", "1 ; c"},
    {"text after header", "[Version] ; c\r\nk=1\r\n", "Version", "k", "1"},
    {"name to last ]", "[S] ; [x]\r\nk=1\r\n", "S] ; [x", "k", "1"},
    {"blanks in header", "\t[ S ]\x0b\r\nk=1\r\n", "S", "k", "1"},
    {"[ line without ]", "[A]\r\n[x=3\r\nk=1\r\n", "A", "k", "1"},
    {"[ entry found", "[A]\r\n[x=3\r\n", "A", "[x", "3"},
    {"[ line with ] is a header", "[A]\r\n[x=3]\r\nk=1\r\n", "A", "k", ""},
    {"] in the value: a header", "[A]\r\n[x=3]\r\n", "A", "[x", ""},
    {"] late in the value", "[A]\r\n[x=\"" + repeated(400, 'v') + "\"]\r\n", "A", "[x", ""},
    {"] after a NUL", "[A]\r\n[x=v\0]\r\n"s, "A", "[x", ""},
    {"] after a NUL in name", "[A]\r\n[x\0]=v\r\n"s, "A", "[x", ""},
    {"[x]=3 is a header", "[A]\r\n[x]=3\r\n", "A", "[x]", ""},
    {"header ends section", "[A]\r\n[B]\r\nk=1\r\n", "A", "k", ""},
    {"x[C] no header", "[A]\r\nx[C]\r\nk=1\r\n", "A", "k", "1"},
    {"blank set", "[S]\r\n\x0b\x0c\x1a\t k \t=\t\x1a v \x0c\r\n", "S", "k", "v"},
    {"A0 is no blank", "[S]\r\n\xA0k=1\r\n", "S", "k", ""},
    {"lookup names trimmed", "[S]\r\nk=1\r\n", " \tS\x1a", "\x0b k\x0c", "1"},
    {"inner blanks exact", "[S]\r\na b=1\r\n", "S", "a\tb", ""},
    {"CR alone", "[S]\rk=1\rm=2\r", "S", "m", "2"},
    {"LF alone", "[S]\nk=1\nm=2\n", "S", "m", "2"},
    {"CR CR LF", "[S]\r\r\nk=1\r\r\nm=2", "S", "m", "2"},
    {"no final line end", "[S]\r\nk=1", "S", "k", "1"},
    {"backslash stays", "[S]\r\nk=a\\\r\nm=n\r\n", "S", "k", "a\\"},
    {"first = splits", "[S]\r\nk = a = b\r\n", "S", "k", "a = b"},
    {"Ctrl-Z is no end", "[S]\r\nk=1\x1a\r\nm=2\r\n", "S", "m", "2"},
};

TEST(InfReaderTable, WhatTheDetectorReliesOn) {
  checkRows(RELIED_ON);
}

// Bytes no INF file should hold; the answers are the measured ones.
const std::vector<Row> BAD_INPUT = {
    {"NUL ends value", "[S]\r\nk=1 \0x\r\n"s, "S", "k", "1 "},
    {"NUL ends name", "[S]\r\nk\0x=v\r\n"s, "S", "k", "v"},
    {"NUL after blank in name", "[S]\r\ns \0x=5\r\n"s, "S", "s", ""},
    {"NUL line shadows =x", "[S]\r\n\0\r\n=x\r\n"s, "S", "", ""},
    {"blank line does not", "[S]\r\n \t \r\n=x\r\n", "S", "", "x"},
    {"NUL in header", "[H\0x]\r\nh=3\r\n"s, "H", "h", "3"},
    {"NUL after blank in header", "[H \0x]\r\nh=3\r\n"s, "H", "h", ""},
    {"NUL line is no header", "[A]\r\n\0[B]\r\nc=4\r\n"s, "A", "c", "4"},
    {"blank before NUL", "[S]\r\nq=\"a\" \0x\r\n"s, "S", "q", "\"a\" "},
    {"quote before NUL", "[S]\r\nr=\"a\0\"\r\n"s, "S", "r", "\"a"},
    {"NUL value", "[S]\r\nk=\0\r\n"s, "S", "k", ""},
    {"NUL-only file", "\0\0\0\0"s, "", "", ""},
    {"empty file", "", "", "", ""},
    {"only UTF-8 BOM", "\xEF\xBB\xBF", "", "", ""},
    {"only UTF-16LE BOM", "\xFF\xFE", "", "", ""},
    {"only UTF-16BE BOM", "\xFE\xFF", "", "", ""},
    {"FF alone is a byte", "\xFF=1\r\n", "", "\xFF", "1"},
    {"FE alone is a byte", "\xFE=1\r\n", "", "\xFE", "1"},
    {"part of a UTF-8 BOM", "\xEF\xBB=1\r\n", "", "\xEF\xBB", "1"},
    {"UTF-16 without BOM", utf16(u"[A]\r\nk=v\r\n", false, false), "A", "k", ""},
    {"UTF-16LE odd length", "\xFF\xFE[\0A\0]\0\r\0\n\0z\0=\0e\0n\0d\0A"s, "A", "z", "endA"},
    {"UTF-16BE odd length", utf16(u"[A]\r\nz=end", true) + "A", "A", "z", "endA"},
    {"UTF-16 odd byte E9", utf16le(u"[A]\r\nz=end") + "\xE9", "A", "z", "end\xE9"},
    {"UTF-16 BOM and one byte",
     "\xFF\xFE=\0"s
     "1",
     "", "", "1"},
    {"long key", "[S]\r\n" + repeated(300, 'K') + "=long\r\n", "S", repeated(300, 'k'), "long"},
    {"long key, one short", "[S]\r\n" + repeated(300, 'K') + "=long\r\n", "S", repeated(299, 'k'),
     ""},
    {"long section", "[" + repeated(400, 's') + "]\r\nk=v\r\n", repeated(400, 'S'), "k", "v"},
    {"long quoted value", "[S]\r\nv=\"" + repeated(1000, 'q') + "\"\r\n", "S", "v",
     repeated(259, 'q')},
    {"long header skipped", "[" + repeated(100000, 'x') + "]\r\n[A]\r\nk=v\r\n", "A", "k", "v"},
    {"brackets everywhere", repeated(100000, '[') + "\r\n[A]\r\nk=v\r\n", "A", "k", "v"},
    {"blank brackets", "[A]\r\nk=v\r\n" + std::string(50000, ' ') + "[ [ [ [\r\n", "A", "k", "v"},
    {"S caron does not fold", "[A]\r\n\x8Ak=1\r\n", "A", "\x9Ak", ""},
    {"bytes 1252 leaves undefined", "[A]\r\n\x81k=\x81\x8D\x8F\x90\x9D\r\n", "A", "\x81k",
     "\x81\x8D\x8F\x90\x9D"},
    {"key with an equals sign", "[A]\r\nk=v\r\n", "A", "k=", ""},
    {"LF CR line ends", "[A]\n\ra=1\n\rb=2", "A", "b", "2"},
};

TEST(InfReaderTable, BadInput) {
  checkRows(BAD_INPUT);
}

// Decoded files: parsed in UTF-16 code units, names widened from 1252, answers narrowed.
const std::vector<Row> ENCODINGS = {
    {"UTF-16LE", utf16le(u"[Version]\r\nProvider=caf\u00e9 \u2013 \u4e2d \u0100\r\n"), "Version",
     "Provider", "caf\xE9 \x96 ? A"},
    {"UTF-16BE", utf16(u"[Version]\r\nK\u00e9y=v\r\n", true), "Version", "K\xE9y", "v"},
    {"UTF-8 BOM", "\xEF\xBB\xBF[Version]\r\nK\xC3\xA9y=caf\xC3\xA9\r\n", "Version", "K\xE9y",
     "caf\xE9"},
    {"UTF-8 without BOM", "[V]\r\nK\xC3\xA9y=1\r\n", "V", "K\xE9y", ""},
    {"1252 name widened", utf16le(u"[A]\r\n\u20ac=1\r\n"), "A", "\x80", "1"},
    {"undefined 1252 byte", utf16le(u"[A]\r\n\u0081=1\r\n"), "A", "\x81", "1"},
    {"best fit not a name", utf16le(u"[A]\r\n\u0100b=1\r\n"), "A", "Ab", ""},
    {"folding ASCII only", utf16le(u"[A]\r\n\u0160=1\r\n"), "A", "\x9A", ""},
    {"outside the BMP", utf16le(u"[A]\r\ns=a\U0001F600b\r\n"), "A", "s", "a??b"},
    {"lone surrogates",
     utf16le(u"[A]\r\ns=a\xD800\xDC00\xDC00\xD800"
             u"b\r\n"),
     "A", "s", "a????b"},
    {"U+0000 ends value", utf16le(u"[A]\r\nk=a\0b\r\n"s), "A", "k", "a"},
    {"fullwidth quotes stay", utf16le(u"[A]\r\nk=\uff02v\uff02\r\n"), "A", "k", "\"v\""},
    {"fullwidth = no separator", utf16le(u"[A]\r\nk\uff1dv\r\n"), "A", "k", ""},
    {"fullwidth [ no header", utf16le(u"[A]\r\n\uff3bB]\r\nh=1\r\n"), "A", "h", "1"},
    {"U+2000 no blank", utf16le(u"[A]\r\nk=\u2000v\r\n"), "A", "k", " v"},
    {"U+3000 no blank", utf16le(u"[A]\r\n\u3000k=v\r\n"), "A", "k", ""},
    {"U+FEFF no blank", utf16le(u"\ufeff[A]\r\nk=v\r\n"), "A", "k", ""},
    {"U+2028 no line end", utf16le(u"[A]\r\nk=a\u2028m=b\r\n"), "A", "m", ""},
    // Units that hold the byte of "[", LF or CR without being one.
    {"U+5B00 is no [", utf16le(u"[A]\r\n\u5b00B]\r\nh=1\r\n"), "A", "h", "1"},
    {"U+5B00 is no [ (BE)", utf16(u"[A]\r\n\u5b00B]\r\nh=1\r\n", true), "A", "h", "1"},
    {"U+015B is no [", utf16le(u"[A]\r\n\u015bB]\r\nh=1\r\n"), "A", "h", "1"},
    {"U+0A00 and U+0D00 no line end", utf16le(u"[A]\r\nk=a\u0a00\u0d00m=b\r\n"), "A", "m", ""},
    {"U+0A0D no line end (BE)", utf16(u"[A]\r\nk=a\u0a0dm=b\r\n", true), "A", "m", ""},
    {"[ after U+5B5B", utf16le(u"\u5b5b\r\n[A]\r\nk=v\r\n"), "A", "k", "v"},
    {"UTF-8 lone continuation", "\xEF\xBB\xBF[A]\r\nk=a\x80\x80z\r\n", "A", "k", "a??z"},
    {"UTF-8 bad lead", "\xEF\xBB\xBF[A]\r\nk=a\xC0\x80\xF5\xFFz\r\n", "A", "k", "a????z"},
    {"UTF-8 overlong 3", "\xEF\xBB\xBF[A]\r\nk=a\xE0\x80\x80z\r\n", "A", "k", "a??z"},
    {"UTF-8 overlong cut", "\xEF\xBB\xBF[A]\r\nk=a\xE0\x9Fz\r\n", "A", "k", "a?z"},
    {"UTF-8 surrogate", "\xEF\xBB\xBF[A]\r\nk=a\xED\xA0\x80z\r\n", "A", "k", "a??z"},
    {"UTF-8 past 10FFFF", "\xEF\xBB\xBF[A]\r\nk=a\xF4\x90\x80\x80z\r\n", "A", "k", "a???z"},
    {"UTF-8 last before the surrogates", "\xEF\xBB\xBF[A]\r\nk=a\xED\x9F\xBFz\r\n", "A", "k",
     "a?z"},
    {"UTF-8 last code point", "\xEF\xBB\xBF[A]\r\nk=a\xF4\x8F\xBF\xBFz\r\n", "A", "k", "a??z"},
    {"UTF-8 4 bytes", "\xEF\xBB\xBF[A]\r\nk=a\xF0\x9F\x98\x80z\r\n", "A", "k", "a??z"},
    {"UTF-8 broken by ASCII", "\xEF\xBB\xBF[A]\r\nk=\xE2(\xA1\xF0\x90(\xBCz\r\n", "A", "k",
     "?(?"
     "?(?z"},
    {"UTF-8 broken by lead", "\xEF\xBB\xBF[A]\r\nk=\xE0\xA0\xC3\xA9z\r\n", "A", "k", "?\xE9z"},
    {"UTF-8 cut at the end",
     "\xEF\xBB\xBF[A]\r\nk=\xF0"
     "ab",
     "A", "k", "?"},
    {"UTF-8 cut at the end 2", "\xEF\xBB\xBF[A]\r\nk=a\xE1\x80\r", "A", "k", "a?"},
    {"UTF-8 room at the end",
     "\xEF\xBB\xBF[A]\r\nk=a\xE0"
     "bc",
     "A", "k", "a?bc"},
    {"UTF-8 fault before CRLF", "\xEF\xBB\xBF[A]\r\nk=a\xF0\r\nm=1\r\n", "A", "m", "1"},
    {"UTF-8 U+0080", "\xEF\xBB\xBF[A]\r\nk=\xC2\x80\r\n", "A", "k", "?"},
    {"UTF-8 second BOM", "\xEF\xBB\xBF\xEF\xBB\xBF[A]\r\nk=1\r\n", "A", "k", ""},
    // Which characters fold, which count as blanks, what comes back for characters code
    // page 1252 lacks and for invalid sequences.
    {"UTF-16 Latin-1 letter does not fold", utf16le(u"[A]\r\n\u00e9k=1\r\n"), "A", "\xC9k", ""},
    {"UTF-16 Latin-1 letter in its case", utf16le(u"[A]\r\n\u00e9k=1\r\n"), "A", "\xE9k", "1"},
    {"UTF-16 S caron does not fold", utf16le(u"[A]\r\n\u0160=1\r\n"), "A", "\x9A", ""},
    {"UTF-16 S caron in its case", utf16le(u"[A]\r\n\u0160=1\r\n"), "A", "\x8A", "1"},
    {"UTF-16 Kelvin sign is not K", utf16le(u"[A]\r\n\u212Ak=1\r\n"), "A", "Kk", ""},
    {"UTF-16 Kelvin sign is not ?", utf16le(u"[A]\r\n\u212Ak=1\r\n"), "A", "?k", ""},
    {"UTF-16 dotted capital I is not I", utf16le(u"[A]\r\n\u0130=1\r\n"), "A", "I", ""},
    {"UTF-16 lone high surrogate", utf16le(u"[A]\r\nv=a\xD800\x62\r\n"), "A", "v", "a?b"},
    {"UTF-16 lone low surrogate", utf16le(u"[A]\r\nv=a\xDC00\x62\r\n"), "A", "v", "a?b"},
    {"UTF-16 noncharacter", utf16le(u"[A]\r\nv=a\uFFFFb\r\n"), "A", "v", "a?b"},
    {"UTF-16 ideographic space is no blank", utf16le(u"[A]\r\n\u3000v\u3000=\u3000x\u3000\r\n"),
     "A", "v", ""},
    {"UTF-16 ideographic space comes back as blank", utf16le(u"[A]\r\nv=\u3000x\u3000\r\n"), "A",
     "v", " x "},
    {"UTF-16 no-break space is kept", utf16le(u"[A]\r\nv=x\u00A0\r\n"), "A", "v", "x\xA0"},
    {"UTF-16 next line ends no line", utf16le(u"[A]\r\nv=x\u0085y\r\n"), "A", "v", "x?y"},
    {"UTF-16 line separator ends no line", utf16le(u"[A]\r\na=1\u2028b=2\r\n"), "A", "a", "1?b=2"},
    {"UTF-16 line separator starts no key", utf16le(u"[A]\r\na=1\u2028b=2\r\n"), "A", "b", ""},
    {"UTF-16 byte-order mark inside a value", utf16le(u"[A]\r\nv=\uFEFFx\r\n"), "A", "v", "?x"},
    {"UTF-16 C1 controls keep their bytes", utf16le(u"[A]\r\nk=\u0081\u008D\u0090\r\n"), "A", "k",
     "\x81\x8D\x90"},
    {"UTF-16BE NUL inside a header", utf16(u"[A\0x]\r\nk=v\r\n"s, true), "A", "k", "v"},
    {"UTF-8 overlong NUL", utf8WithMark("[A]\r\nv=a\xC0\x80\x62\r\n"), "A", "v", "a??b"},
    {"UTF-8 encoded surrogate", utf8WithMark("[A]\r\nv=a\xED\xA0\x80\x62\r\n"), "A", "v", "a??b"},
    {"UTF-8 beyond the last code point", utf8WithMark("[A]\r\nv=a\xF4\x90\x80\x80\x62\r\n"), "A",
     "v", "a???b"},
    {"UTF-8 five-byte form", utf8WithMark("[A]\r\nv=a\xF8\x88\x80\x80\x80\x62\r\n"), "A", "v",
     "a?????b"},
    {"UTF-8 cut four-byte form", utf8WithMark("[A]\r\nv=a\xF0\x9F\x98\x62\r\n"), "A", "v", "a?b"},
    {"UTF-8 cut form at a line end", utf8WithMark("[A]\r\nv=a\xE2\x80\r\nw=2\r\n"), "A", "v", "a?"},
    {"UTF-8 lone continuation bytes", utf8WithMark("[A]\r\nv=a\x80\x80\x62\r\n"), "A", "v", "a??b"},
};

TEST(InfReaderTable, Encodings) {
  checkRows(ENCODINGS);
}

// The longest section or key name the Windows reader takes, in bytes before trimming.
constexpr std::size_t LONGEST_NAME = 32766;
const std::string LONGEST(LONGEST_NAME, 'k');
const std::string TOO_LONG(LONGEST_NAME + 1, 'k');
const std::string PADDED_TOO_LONG = "k" + std::string(LONGEST_NAME, ' ');

// Names from LONGEST_NAME + 1 bytes on do not reach the Windows reader whole: such a
// section finds nothing, and such a key is taken as the empty name, which finds a line
// "=value". Nothing in the tool passes a name that long.
const std::vector<Row> LONG_NAMES = {
    {"key of 32766 bytes", "[A]\r\n" + LONGEST + "=v\r\n", "A", LONGEST, "v"},
    {"section of 32766 bytes", "[" + LONGEST + "]\r\nz=v\r\n", LONGEST, "z", "v"},
    {"key padded to 32766 bytes", "[A]\r\nk=v\r\n", "A", "k" + std::string(LONGEST_NAME - 1, ' '),
     "v"},
    {"key of 32767 bytes", "[A]\r\n" + TOO_LONG + "=v\r\n", "A", TOO_LONG, ""},
    {"section of 32767 bytes", "[" + TOO_LONG + "]\r\nz=v\r\n", TOO_LONG, "z", ""},
    {"key padded to 32767 bytes", "[A]\r\nk=v\r\n", "A", PADDED_TOO_LONG, ""},
    {"section padded to 32767 bytes", "[A]\r\nk=v\r\n", "A" + PADDED_TOO_LONG.substr(1), "k", ""},
    {"key of 32767 bytes in UTF-16",
     utf16le(u"[A]\r\n" + std::u16string(LONGEST_NAME + 1, u'k') + u"=v\r\n"), "A", TOO_LONG, ""},
    {"key of 32767 bytes finds the empty key", "[A]\r\n=empty\r\nk=v\r\n", "A", TOO_LONG, "empty"},
    {"key of 65536 bytes finds the empty key", "[A]\r\n\t=empty\r\n", "A", std::string(65536, 'k'),
     "empty"},
    {"key padded to 32767 bytes finds the empty key", "[A]\r\nk=v\r\n=empty\r\n", "A",
     PADDED_TOO_LONG, "empty"},
    {"section of 32767 bytes is not the empty section", "k=top\r\n=top\r\n[A]\r\nk=v\r\n",
     std::string(LONGEST_NAME + 1, 'A'), "k", ""},
    {"long section and key", "=top\r\n[A]\r\n=empty\r\n", std::string(LONGEST_NAME + 1, 'A'),
     TOO_LONG, ""},
};

TEST(InfReaderTable, LongNames) {
  checkRows(LONG_NAMES);
}

// Every row must give the same answer however the source splits the bytes: line ends,
// CR LF pairs, byte-order marks, UTF-8 sequences and UTF-16 units split across reads.
TEST(InfReaderChunks, EveryRowAnyReadSize) {
  for (const std::vector<Row>* rows : {&RELIED_ON, &BAD_INPUT, &ENCODINGS, &LONG_NAMES}) {
    for (std::size_t chunk : {1, 2, 3, 5}) checkRows(*rows, chunk);
  }
}

// The reader's own buffer boundary: the line end, a CR LF pair, a header, a name or a
// quote falls on each side of it in turn.
TEST(InfReaderChunks, AcrossTheReadBuffer) {
  const std::size_t boundary = std::size_t{64} * 1024;
  for (std::size_t pad = boundary - 40; pad < boundary + 8; ++pad) {
    std::string lead = "[Z]\r\np=" + repeated(pad - 7, 'p') + "\r";
    SCOPED_TRACE("padding " + std::to_string(pad));
    EXPECT_EQ(lookupChecked(lead + "\n[A]\r\nkey = \"v\" \r\n", "A", "key"), "v");
    EXPECT_EQ(lookupChecked(lead + "[A]\rkey\r\n", "A", "key"), "");
    EXPECT_EQ(lookupChecked(lead + "\n[A]\r\nkey\r\nkey=2", "A", "key"), "");
    EXPECT_EQ(lookupChecked(lead + "\n \t[A] \r\nkey=1", "A", "key"), "1");
    EXPECT_EQ(lookupChecked(lead + "\n[A]\r\nkey=" + repeated(300, 'w'), "A", "key"),
              repeated(259, 'w'));
  }
}

TEST(InfReaderChunks, DecodedAcrossTheReadBuffer) {
  for (std::size_t pad = 32 * 1024 - 30; pad < 32 * 1024 + 4; ++pad) {
    SCOPED_TRACE("UTF-16 padding " + std::to_string(pad));
    std::u16string lead = u"[Z]\r\np=" + std::u16string(pad, u'p') + u"\r\n";
    EXPECT_EQ(lookupChecked(utf16le(lead + u"[A]\r\nk=\u00e9\U0001F600\r\n"), "A", "k"), "\xE9??");
    EXPECT_EQ(lookupChecked(utf16(lead + u"[A]\r\nk=\u00e9\U0001F600\r\n", true), "A", "k"),
              "\xE9??");
  }
  for (std::size_t pad = 64 * 1024 - 40; pad < 64 * 1024 + 4; ++pad) {
    SCOPED_TRACE("UTF-8 padding " + std::to_string(pad));
    std::string lead = "\xEF\xBB\xBF[Z]\r\np=" + repeated(pad, 'p') + "\r\n";
    EXPECT_EQ(lookupChecked(lead + "[A]\r\nk=\xC3\xA9\xF0\x9F\x98\x80\xE0\x80\x80\r\n", "A", "k"),
              "\xE9????");
    EXPECT_EQ(lookupChecked(lead + "[A]\r\nk=x\xF0\x9F\x98", "A", "k"), "x?");
  }
}

// Lines of 10 MB read with the same fixed buffers; the next line is still found.
TEST(InfReaderLongLines, TenMegabytes) {
  const std::string big(std::size_t{10} * 1024 * 1024, 'y');
  std::string file = "[L]\r\nbig=" + big + "\r\nafter=ok\r\n" + big + "=x\r\nlast=1\r\n";
  EXPECT_EQ(lookupChecked(file, "L", "big"), repeated(259, 'y'));
  EXPECT_EQ(lookupChecked(file, "L", "after"), "ok");
  EXPECT_EQ(lookupChecked(file, "L", "last"), "1");
  std::string quoted = "[L]\r\nq=\"" + big + "\"\r\n";
  EXPECT_EQ(lookupChecked(quoted, "L", "q"), repeated(259, 'y'));
  std::string header = "[" + big + "]\r\n[L]\r\nk=v\r\n";
  EXPECT_EQ(lookupChecked(header, "L", "k"), "v");
  std::string crOnly = "[L]\r";
  for (int i = 0; i < 200000; ++i) crOnly += "k" + std::to_string(i) + "=v\r";
  EXPECT_EQ(lookupChecked(crOnly + "last=1\r", "L", "last"), "1");
}

// Produces "[A]\r\nx=", then `length` bytes of "y", then "\r\nk=v\r\n" without holding them.
struct GeneratedLongLine {
  std::size_t length;
  std::size_t offset = 0;
};

std::size_t readGenerated(void* context, unsigned char* buffer, std::size_t capacity) {
  auto* line = static_cast<GeneratedLongLine*>(context);
  const std::string head = "[A]\r\nx=", tail = "\r\nk=v\r\n";
  const std::size_t size = head.size() + line->length + tail.size();
  std::size_t count = std::min(capacity, size - line->offset);
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t at = line->offset + i;
    if (at >= head.size() && at < head.size() + line->length) {
      std::size_t run = std::min(count - i, head.size() + line->length - at);
      std::memset(buffer + i, 'y', run);
      i += run - 1;
    } else {
      buffer[i] = at < head.size() ? head[at] : tail[at - head.size() - line->length];
    }
  }
  line->offset += count;
  return count;
}

TEST(InfReaderLongLines, TwoHundredMegabytesStreamed) {
  GeneratedLongLine line{std::size_t{200} * 1024 * 1024};
  char value[CAPACITY];
  EXPECT_EQ(inf::lookupProfileString({readGenerated, &line}, "A", "k", value, CAPACITY), 1u);
  EXPECT_STREQ(value, "v");
}

// Reading stops once the answer is known.
TEST(InfReaderReads, StopsAtTheAnswer) {
  const std::string filler = repeated(std::size_t{1024} * 1024, 'f');
  std::string found = "[A]\r\nk=v\r\n" + filler;
  ChunkedSource source{found, 4096};
  char value[CAPACITY];
  EXPECT_EQ(inf::lookupProfileString({ChunkedSource::read, &source}, "A", "k", value, CAPACITY),
            1u);
  EXPECT_EQ(source.reads, 1u);

  std::string ended = "[A]\r\nx=1\r\n[B]\r\n" + filler + "\r\n[A]\r\nk=v\r\n";
  source = ChunkedSource{ended, 4096};
  EXPECT_EQ(inf::lookupProfileString({ChunkedSource::read, &source}, "A", "k", value, CAPACITY),
            0u);
  EXPECT_EQ(source.reads, 1u);

  std::string leading = "k=1\r\n[A]\r\n" + filler;
  source = ChunkedSource{leading, 4096};
  EXPECT_EQ(inf::lookupProfileString({ChunkedSource::read, &source}, "", "m", value, CAPACITY), 0u);
  EXPECT_EQ(source.reads, 1u);
}

// Small capacities, and nothing written past the capacity whatever the value.
TEST(InfReaderCapacity, CutsAndGuards) {
  const std::string file = "[Z]\r\np=abc\r\nq0=\"\"\r\nq3=\"abc\"\r\nmix='abc\"\r\nnul=ab\0c\r\n"s;
  struct Case {
    const char* key;
    std::size_t capacity;
    const char* expected;
  };
  const Case cases[] = {
      {"p", 0, ""},         {"p", 1, ""},     {"p", 2, "a"},    {"p", 3, "ab"},   {"p", 4, "abc"},
      {"q0", 1, ""},        {"q0", 2, ""},    {"q3", 1, ""},    {"q3", 2, "a"},   {"q3", 3, "ab"},
      {"q3", 4, "abc"},     {"q3", 5, "abc"}, {"mix", 1, ""},   {"mix", 2, "'"},  {"mix", 3, "'a"},
      {"mix", 6, "'abc\""}, {"nul", 2, "a"},  {"nul", 3, "ab"}, {"nul", 9, "ab"}, {"none", 1, ""},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(std::string(row.key) + " at capacity " + std::to_string(row.capacity));
    EXPECT_EQ(lookupChecked(file, "Z", row.key, row.capacity), row.expected);
  }
}

TEST(InfReaderCapacity, ZeroWritesNothing) {
  char value = 'x';
  EXPECT_EQ(inf::lookupProfileStringInMemory("[A]\r\nk=v", 8, "A", "k", &value, 0), 0u);
  EXPECT_EQ(value, 'x');
}

// The key is taken in full before the value is written over it.
TEST(InfReaderSameBuffer, KeyAndDestination) {
  const std::string file =
      "[Strings]\r\nP=Provider Text\r\nLongKeyName12345=the value is longer than the key\r\n"
      "[x=\"" +
      repeated(300, 'q') + "\"\r\n";
  struct Case {
    const char* key;
    std::string expected;
  };
  const Case cases[] = {{"P", "Provider Text"},
                        {"LongKeyName12345", "the value is longer than the key"},
                        {"  P  ", "Provider Text"},
                        {"[x", repeated(259, 'q')},
                        {"Missing", ""}};
  for (const Case& row : cases) {
    const support::GuardedAnswer answer = support::guardedAnswer(CAPACITY, [&](char* buffer) {
      (void)std::snprintf(buffer, CAPACITY, "%s", row.key);
      return inf::lookupProfileStringInMemory(file.data(), file.size(), "Strings", buffer, buffer,
                                              CAPACITY);
    });
    EXPECT_EQ(answer.text, row.expected) << row.key;
    EXPECT_TRUE(answer.terminated);
    EXPECT_FALSE(answer.overrun);
  }
}

TEST(InfReaderNames, NullNamesGiveEmpty) {
  char value[8] = "x";
  EXPECT_EQ(inf::lookupProfileStringInMemory("[A]\r\nk=v", 8, nullptr, "k", value, 8), 0u);
  EXPECT_STREQ(value, "");
  value[0] = 'x';
  EXPECT_EQ(inf::lookupProfileStringInMemory("[A]\r\nk=v", 8, "A", nullptr, value, 8), 0u);
  EXPECT_STREQ(value, "");
}

// Every lookup of a few names on `file`: the same answer read byte by byte, and cut short
// in a small buffer.
void checkAnyReadSize(const std::string& file) {
  const char* const names[] = {"a", "A", "", "b", "[a", "a]"};
  for (const char* section : names) {
    for (const char* key : names) {
      std::string whole = lookupChecked(file, section, key);
      EXPECT_EQ(lookupChecked(file, section, key, CAPACITY, 1), whole) << escapeBytes(file);
      EXPECT_EQ(lookupChecked(file, section, key, 7, 3), whole.substr(0, 6));
    }
  }
}

// Random bytes drawn mostly from the characters that matter, behind each byte-order mark:
// no crash, the contract holds, and the answer does not depend on how the bytes are read.
TEST(InfReaderRandom, ContractAndReadSizeIndependence) {
  const std::string alphabet = "[]=\r\n \t\x0b\x1a\0\"';aAbB\xFF\xFE\xEF\xBB\xBF\xC3\xA9\xF0\x80"s;
  const char* const marks[] = {"", "\xFF\xFE", "\xFE\xFF", "\xEF\xBB\xBF"};
  std::mt19937 random(12345);
  for (int round = 0; round < 160; ++round) {
    std::string file = marks[round % 4];
    std::size_t length = 1 + random() % 600;
    for (std::size_t i = 0; i < length; ++i) {
      file += random() % 4 == 0 ? static_cast<char>(random() % 256)
                                : alphabet[random() % alphabet.size()];
    }
    checkAnyReadSize(file);
  }
}

// --- The measured cases -------------------------------------------------------------------

struct CaseLookup {
  std::string section, key, defaultText;
  bool nullSection = false, nullKey = false, same = false, wide = false;
  std::size_t capacity = CAPACITY;
  long expectedLength = -1;
  std::string expected;
};

struct ProfileCase {
  std::string name, file, encoding, kind;
  std::vector<CaseLookup> lookups;
};

// The escapes of the cases file: \\ \t \n \r \s \xHH, and in file lines \{N*TEXT}.
std::string unescape(const std::string& text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      bytes += text[i];
      continue;
    }
    char kind = text[++i];
    std::string byte;
    if (kind == 'x' && support::fromHex(text.substr(i + 1, 2), byte)) {
      bytes += byte;
      i += 2;
    } else if (kind == '{') {
      std::size_t star = text.find('*', i), close = text.find('}', i);
      std::size_t count = std::stoul(text.substr(i + 1, star - i - 1));
      std::string unit = unescape(text.substr(star + 1, close - star - 1));
      for (std::size_t n = 0; n < count; ++n) bytes += unit;
      i = close;
    } else {
      const std::string from = "tnrs\\", to = "\t\n\r \\";
      std::size_t at = from.find(kind);
      bytes += at == std::string::npos ? kind : to[at];
    }
  }
  return bytes;
}

std::string encodeFile(const std::string& text, const std::string& encoding) {
  if (encoding.empty()) return text;
  if (encoding == "utf-8-bom") return "\xEF\xBB\xBF" + text;
  const bool bigEndian = encoding.find("be") != std::string::npos;
  const bool withMark = encoding.find("bom") != std::string::npos;
  const support::Encoding stored = support::utf16Encoding(bigEndian, withMark);
  return std::string(support::byteOrderMark(stored)) +
         support::encodeText(support::decodeUtf8(text), stored);
}

std::string trimField(const std::string& field) {
  std::size_t begin = field.find_first_not_of(" \t"), end = field.find_last_not_of(" \t");
  return begin == std::string::npos ? "" : field.substr(begin, end - begin + 1);
}

CaseLookup parseGet(const std::string& text) {
  std::vector<std::string> fields;
  std::stringstream stream(text);
  for (std::string field; std::getline(stream, field, '|');) fields.push_back(trimField(field));
  if (!text.empty() && text.back() == '|') fields.push_back("");
  CaseLookup lookup;
  lookup.nullSection = fields.at(0) == "\\N";
  lookup.nullKey = fields.size() > 1 && fields[1] == "\\N";
  lookup.section = unescape(fields.at(0));
  lookup.key = fields.size() > 1 ? unescape(fields[1]) : "";
  for (std::size_t i = 2; i < fields.size(); ++i) {
    const std::string& option = fields[i];
    if (option.rfind("cap=", 0) == 0) lookup.capacity = std::stoul(option.substr(4));
    if (option.rfind("def=", 0) == 0) lookup.defaultText = unescape(option.substr(4));
    lookup.same = lookup.same || option == "same";
    lookup.wide = lookup.wide || option == "wide";
  }
  return lookup;
}

void parseWant(const std::string& text, CaseLookup& lookup) {
  std::stringstream stream(text);
  for (std::string field; stream >> field;) {
    if (field.rfind("ret=", 0) == 0) lookup.expectedLength = std::stol(field.substr(4));
    if (field.rfind("out=", 0) == 0 && !support::fromHex(field.substr(4), lookup.expected)) {
      ADD_FAILURE() << "not hex: " << field;
    }
  }
}

void parseLine(const std::string& word, const std::string& rest, std::vector<ProfileCase>& cases) {
  if (word == "case") cases.push_back({rest, "", "", "", {}});
  if (cases.empty()) return;
  ProfileCase& current = cases.back();
  if (word == "file") current.file += unescape(rest);
  if (word == "encode") current.encoding = rest;
  if (word == "kind") current.kind = rest;
  if (word == "get") current.lookups.push_back(parseGet(rest));
  if (word == "want" && !current.lookups.empty()) parseWant(rest, current.lookups.back());
}

std::vector<ProfileCase> readCases(std::istream& input) {
  std::vector<ProfileCase> cases;
  for (std::string line; std::getline(input, line);) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::size_t space = line.find(' ');
    std::string word = line.substr(0, space);
    parseLine(word, space == std::string::npos ? "" : line.substr(space + 1), cases);
  }
  for (ProfileCase& profileCase : cases) {
    profileCase.file = encodeFile(profileCase.file, profileCase.encoding);
    for (const CaseLookup& lookup : profileCase.lookups) {
      // The file's own consistency: each measured answer's bytes and the length returned
      // (the wide function's in UTF-16 units).
      const std::size_t units = lookup.wide ? 2 : 1;
      EXPECT_EQ(static_cast<long>(lookup.expected.size() / units), lookup.expectedLength)
          << "cases file: out= and ret= disagree in " << profileCase.name;
    }
  }
  return cases;
}

// Lookups the portable reader is not asked to answer: the file system's cases, listings
// (a NULL name), the wide function and defaults other than "".
bool isForThisReader(const ProfileCase& profileCase, const CaseLookup& lookup) {
  if (!profileCase.kind.empty() || profileCase.name == "nul") return false;
  return !lookup.nullSection && !lookup.nullKey && !lookup.wide && lookup.defaultText.empty();
}

// The one deliberate difference: a quoted value whose inner text is exactly capacity - 1
// bytes comes back whole, where the platform's reader loses its last byte.
std::string expectedBytes(const ProfileCase& profileCase, const CaseLookup& lookup) {
  if (profileCase.name == "quotedlengths" && lookup.key == "q259") {
    return repeated(258, 'x') + "E";
  }
  if (profileCase.name == "quotedlengths" && lookup.key == "q3" && lookup.capacity == 4) {
    return "abc";
  }
  return lookup.expected;
}

std::string runCaseLookup(const ProfileCase& profileCase, const CaseLookup& lookup,
                          std::size_t chunk) {
  if (!lookup.same) {
    return lookupChecked(profileCase.file, lookup.section.c_str(), lookup.key.c_str(),
                         lookup.capacity, chunk);
  }
  std::vector<char> buffer(std::max(lookup.capacity, lookup.key.size() + 1), '\0');
  std::memcpy(buffer.data(), lookup.key.c_str(), lookup.key.size() + 1);
  std::size_t length = inf::lookupProfileStringInMemory(
      profileCase.file.data(), profileCase.file.size(), lookup.section.c_str(), buffer.data(),
      buffer.data(), lookup.capacity);
  return std::string(buffer.data(), std::min(length, buffer.size()));
}

// One lookup of the cases file, with the file read whole and byte by byte: the bytes and
// the length the reader returns (the answer's text is cut at that length).
void checkCaseLookup(const ProfileCase& profileCase, const CaseLookup& lookup) {
  const std::string want = expectedBytes(profileCase, lookup);
  const long wantLength = want == lookup.expected ? lookup.expectedLength : long(want.size());
  for (std::size_t chunk : {0, 1}) {
    SCOPED_TRACE(profileCase.name + ": [" + escapeBytes(lookup.section) + "] " +
                 escapeBytes(lookup.key) + " cap=" + std::to_string(lookup.capacity) +
                 " read size " + std::to_string(chunk));
    const std::string answer = runCaseLookup(profileCase, lookup, chunk);
    EXPECT_EQ(escapeBytes(answer), escapeBytes(want));
    EXPECT_EQ(static_cast<long>(answer.size()), wantLength) << "the length returned";
  }
}

TEST(InfReaderCases, MatchTheMeasuredReader) {
  std::ifstream input(PROFILE_READER_CASES, std::ios::binary);
  ASSERT_TRUE(input) << "no cases file at " << PROFILE_READER_CASES;
  std::vector<ProfileCase> cases = readCases(input);
  int checked = 0;
  for (const ProfileCase& profileCase : cases) {
    for (const CaseLookup& lookup : profileCase.lookups) {
      if (!isForThisReader(profileCase, lookup)) continue;
      checkCaseLookup(profileCase, lookup);
      ++checked;
    }
  }
  EXPECT_GE(checked, 120) << "the cases file was not read as expected";
}

}  // namespace
