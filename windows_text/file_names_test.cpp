#include "windows_text/file_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "windows_text/upper_case.h"

namespace {

constexpr std::size_t NAME_CAPACITY = 260;
constexpr std::size_t PATH_CAPACITY = 4096;
constexpr const char* INF_FOLDER = "C:\\windows\\inf\\";
constexpr const char* INF_PATTERN = "*.inf";

// What a DOS path opens: the host path under the prefix, "device" or "nothing".
std::string opened(const std::string& dosPath) {
  if (file_names::isDeviceName(dosPath.c_str())) return "device";
  char hostPath[PATH_CAPACITY];
  file_names::PathBase base = file_names::PathBase::CURRENT_DIRECTORY;
  if (!file_names::toHostPath(dosPath.c_str(), dosPath.size(), hostPath, sizeof hostPath, base)) {
    return "nothing";
  }
  return (base == file_names::PathBase::PREFIX ? "<prefix>/" : "<current>/") +
         std::string(hostPath);
}

// One listed name and what the detector's path to it opens.
struct Listed {
  std::string name;  // as the ANSI functions give it
  std::string opens;

  bool operator==(const Listed&) const = default;
};

void PrintTo(const Listed& listed, std::ostream* out) {
  *out << "{\"" << listed.name << "\", " << listed.opens << "}";
}

// The INF folder's listing as Windows gives it for a folder of these host names: which
// are listed, in which order, and what "C:\windows\inf\<name>" opens.
std::vector<Listed> listing(std::vector<std::string> hostNames) {
  std::sort(hostNames.begin(), hostNames.end(), [](const std::string& a, const std::string& b) {
    return file_names::compareNames(a.c_str(), b.c_str()) < 0;
  });
  std::vector<Listed> listed;
  for (const std::string& hostName : hostNames) {
    char windowsName[NAME_CAPACITY];
    if (!file_names::listedName(INF_PATTERN, hostName.c_str(), windowsName, sizeof windowsName)) {
      continue;
    }
    listed.push_back({windowsName, opened(INF_FOLDER + std::string(windowsName))});
  }
  return listed;
}

// A row's name in the test list, so that a failing row can be named and run again: `text`
// with its wildcards spelled out and each run of other characters a test name cannot hold
// made one '_' between words.
std::string testName(const std::string& text) {
  std::string name;
  const auto separate = [&name] {
    if (!name.empty() && name.back() != '_') name += '_';
  };
  for (const char c : text) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      name += c;
    } else if (c == '*' || c == '?') {
      separate();
      name += c == '*' ? "star_" : "any_";
    } else {
      separate();
    }
  }
  return name.empty() ? "_" : name;
}

// Names the rows of `rows` by the text `textOf` gives for each, numbering a name that an
// earlier row already has.
template <typename Row, std::size_t N, typename TextOf>
auto rowNames(const Row (&rows)[N], TextOf textOf) {
  return [&rows, textOf](const testing::TestParamInfo<Row>& info) {
    const std::string name = testName(textOf(info.param));
    std::size_t earlier = 0;
    for (std::size_t i = 0; i < info.index; ++i) earlier += testName(textOf(rows[i])) == name;
    return earlier == 0 ? name : name + "_" + std::to_string(earlier + 1);
  };
}

std::string inInf(const std::string& hostName) {
  return "<prefix>/drive_c/windows/inf/" + hostName;
}

struct ListingRow {
  const char* what;
  std::vector<std::string> hostNames;
  std::vector<Listed> expected;
};

// Host names are UTF-8; listed names are code page 1252 bytes. Measured under Wine 8 with
// the Windows build (tools/file_names), except that a name whose path would not lead back
// to it (a best-fit letter or "?", a trailing dot or blank) is left out where Windows lists
// it, so that its namesake is not read twice.
const ListingRow LISTING_ROWS[] = {
    // Names listed through their short name, whose extension is three characters of the
    // part after the last dot that is neither first nor last.
    {"short name ends in .INF",
     {"b.infx", "e.infoo", "i.INFO", "j.inf_"},
     {{"b.infx", inInf("b.infx")},
      {"e.infoo", inInf("e.infoo")},
      {"i.INFO", inInf("i.INFO")},
      {"j.inf_", inInf("j.inf_")}}},
    {"short name, other characters",
     {"f.inf~", "r.inf;1", "..inf", "a!.infx", "p..inf"},
     {{"..inf", inInf("..inf")},
      {"a!.infx", inInf("a!.infx")},
      {"f.inf~", inInf("f.inf~")},
      {"p..inf", inInf("p..inf")},
      {"r.inf;1", inInf("r.inf;1")}}},
    {"short name's extension is not INF",
     {"x.inf.bak", "x.in", "h.[nf", "u.i nf", "w.inf..", ".infx", "z.\xC3\xADnf", "n.inf.x"},
     {}},
    {"a short name already: no other",
     {"a.in", "ab.INF", "A~1.inf"},
     {{"ab.INF", inInf("ab.INF")}, {"A~1.inf", inInf("A~1.inf")}}},

    // Trailing dots and blanks: a Windows path drops them, so the name would open its
    // namesake.
    {"trailing dot or blank",
     {"k.inf.", "k.inf ", "m.inf .", "ky.infx.", "k.inf"},
     {{"k.inf", inInf("k.inf")}}},

    // The pattern is matched against the name itself, not its best-fit spelling.
    {"letters that best-fit to ASCII",
     {"y.\xC4\xB1nf", "y.\xC4\xB0NF", "x.\xEF\xBD\x89nf", "x.\xC4\xABnf"},
     {}},
    {"best fit in the stem would open the fitted name",
     {"x\xC4\x93.inf", "\xC4\x80.inf", "A.inf", "xe.inf"},
     {{"A.inf", inInf("A.inf")}, {"xe.inf", inInf("xe.inf")}}},
    {"code page 1252 letters",
     {"caf\xC3\xA9.inf", "euro\xE2\x82\xAC.inf"},
     {{"caf\xE9.inf", inInf("caf\xC3\xA9.inf")}, {"euro\x80.inf", inInf("euro\xE2\x82\xAC.inf")}}},

    // NTFS order: UTF-16 upper-cased, ties in ordinal order.
    {"case variants in ordinal order",
     {"ab.inf", "aB.inf", "AB.inf", "Ab.inf"},
     {{"AB.inf", inInf("AB.inf")},
      {"Ab.inf", inInf("Ab.inf")},
      {"aB.inf", inInf("aB.inf")},
      {"ab.inf", inInf("ab.inf")}}},
    {"upper-cased past ASCII",
     {"x\xC3\x98.inf", "x\xC3\xA9.inf", "x_.inf", "xz.inf"},
     {{"xz.inf", inInf("xz.inf")},
      {"x_.inf", inInf("x_.inf")},
      {"x\xE9.inf", inInf("x\xC3\xA9.inf")},
      {"x\xD8.inf", inInf("x\xC3\x98.inf")}}},
    {"y with diaeresis sorts as U+0178",
     {"\xC5\xBD.inf", "\xC3\xBF.inf"},
     {{"\xFF.inf", inInf("\xC3\xBF.inf")}, {"\x8E.inf", inInf("\xC5\xBD.inf")}}},
    {"characters the page lacks would open nothing",
     {"\xEE\x80\x80.inf", "\xF0\x9F\x98\x80.inf"},
     {}},

    // Device names: listed, but a path to them opens a device.
    {"devices",
     {"nul .inf", "con .inf", "aux  .inf", "com1 .inf", "conin$.inf", "conout$.inf", "PRN.inf",
      "lpt9.inf", "nul.inf."},
     {{"aux  .inf", "device"},
      {"com1 .inf", "device"},
      {"con .inf", "device"},
      {"conin$.inf", "device"},
      {"conout$.inf", "device"},
      {"lpt9.inf", "device"},
      {"nul .inf", "device"},
      {"PRN.inf", "device"}}},
    {"not devices",
     {"com0.inf", " con.inf", "clock$.inf", "com\xC2\xB9.inf", "com10.inf"},
     {{" con.inf", inInf(" con.inf")},
      {"clock$.inf", inInf("clock$.inf")},
      {"com0.inf", inInf("com0.inf")},
      {"com10.inf", inInf("com10.inf")},
      {"com\xB9.inf", inInf("com\xC2\xB9.inf")}}},

    // Names Windows could not hold: never listed, so nothing is opened through them.
    {"climbing and other folders' names",
     {"..\\..\\decoy.inf", "..\\decoy.inf", "a:b.inf", "c\\d.inf", "a\nb.inf", "a?b.inf", "a|b.inf",
      "a\"b.inf", "a<b.inf", "a*b.inf"},
     {}},
    {"longer than 255 units",
     {std::string(251, 'n') + ".inf", std::string(252, 'n') + ".inf"},
     {{std::string(251, 'n') + ".inf", inInf(std::string(251, 'n') + ".inf")}}},
};

class ListingTest : public testing::TestWithParam<ListingRow> {};

TEST_P(ListingTest, ListsAndOpensAsWindows) {
  const ListingRow& row = GetParam();
  EXPECT_EQ(listing(row.hostNames), row.expected) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Rows, ListingTest, testing::ValuesIn(LISTING_ROWS),
                         rowNames(LISTING_ROWS, [](const ListingRow& row) { return row.what; }));

struct PathRow {
  const char* dosPath;
  const char* expected;  // what opened() gives
};

const PathRow PATH_ROWS[] = {
    // Roots.
    {"C:\\windows\\inf\\oem1.inf", "<prefix>/drive_c/windows/inf/oem1.inf"},
    {"c:/windows", "<prefix>/drive_c/windows"},
    {"\\windows", "<prefix>/drive_c/windows"},
    {"D:\\x.inf", "<prefix>/dosdevices/d:/x.inf"},
    {"C:", "<prefix>/drive_c"},
    {"1:\\x.inf", "nothing"},
    {"inf\\x.inf", "<current>/inf/x.inf"},
    // Components.
    {"C:\\windows\\.\\inf\\\\x.inf", "<prefix>/drive_c/windows/inf/x.inf"},
    {"C:\\windows\\inf\\caf\xE9.inf", "<prefix>/drive_c/windows/inf/caf\xC3\xA9.inf"},
    {"C:\\windows\\inf\\k.inf . .", "<prefix>/drive_c/windows/inf/k.inf"},
    {"C:\\windows\\inf\\", "<prefix>/drive_c/windows/inf"},
    {"C:\\windows\\inf\\c\\d.inf", "<prefix>/drive_c/windows/inf/c/d.inf"},
    // Paths that would leave their folders, or name no file.
    {"C:\\windows\\inf\\..\\..\\decoy.inf", "nothing"},
    {"C:\\windows\\inf\\..\\decoy.inf", "nothing"},
    {"C:\\windows\\inf\\..", "nothing"},
    {"..\\x.inf", "nothing"},
    {"C:\\windows\\inf\\a:b.inf", "nothing"},
    {"C:\\windows\\inf\\a\nb.inf", "nothing"},
    {"C:\\windows\\inf\\a\"b.inf", "nothing"},
    // Devices, whatever the folder.
    {"C:\\windows\\inf\\CON", "device"},
    {"C:\\windows\\inf\\con. .inf", "device"},
    {"nul", "device"},
};

class PathTest : public testing::TestWithParam<PathRow> {};

TEST_P(PathTest, MapsAsWindowsReadsIt) {
  EXPECT_EQ(opened(GetParam().dosPath), GetParam().expected) << GetParam().dosPath;
}

INSTANTIATE_TEST_SUITE_P(Rows, PathTest, testing::ValuesIn(PATH_ROWS),
                         rowNames(PATH_ROWS, [](const PathRow& row) { return row.dosPath; }));

TEST(PathTest, RefusesWhatDoesNotFit) {
  char hostPath[20];
  file_names::PathBase base = file_names::PathBase::CURRENT_DIRECTORY;
  EXPECT_TRUE(file_names::toHostPath("C:\\windows\\inf", 14, hostPath, sizeof hostPath, base));
  EXPECT_STREQ(hostPath, "drive_c/windows/inf");
  EXPECT_FALSE(file_names::toHostPath("C:\\windows\\inf\\x", 16, hostPath, sizeof hostPath, base));
}

struct PatternRow {
  const char* pattern;
  const char* hostName;
  bool matches;
};

const PatternRow PATTERN_ROWS[] = {
    {"*", "anything at all", true},
    {"?.inf", "a.INF", true},
    {"?.inf", "ab.inf", false},
    {"*.INF", "\xC3\xA9.inf", true},
    {"\xC9.inf", "\xC3\xA9.inf", true},  // the pattern's bytes are code page 1252
    // A short name's generated characters match only wildcards.
    {"b.inf", "b.infx", false},
    {"b~*.inf", "b.infx", true},
    {"b~~~~???.inf", "b.infx", true},
    {"abcd~*.inf", "abcdefghij.inf", true},
};

class PatternTest : public testing::TestWithParam<PatternRow> {};

TEST_P(PatternTest, MatchesAsWindows) {
  const PatternRow& row = GetParam();
  EXPECT_EQ(file_names::matchesPattern(row.pattern, row.hostName), row.matches)
      << row.pattern << " against " << row.hostName;
}

INSTANTIATE_TEST_SUITE_P(Rows, PatternTest, testing::ValuesIn(PATTERN_ROWS),
                         rowNames(PATTERN_ROWS, [](const PatternRow& row) {
                           return std::string(row.pattern) + " " + row.hostName;
                         }));

struct SameNameRow {
  const char* hostName;
  const char* other;
  bool same;
};

const SameNameRow SAME_NAME_ROWS[] = {
    {"Windows", "windows", true},
    {"k\xC3\xA9.inf", "K\xC3\x89.INF", true},
    {"\xC4\xB1nf", "INF", false},  // dotless i has no capital of its own
    {"stra\xC3\x9F"
     "e",
     "STRASSE", false},
    {"ab", "abc", false},
    {"x\x80", "x\x80", true},  // not UTF-8: the bytes themselves
    {"x\x80", "x\x81", false},
};

class SameNameTest : public testing::TestWithParam<SameNameRow> {};

TEST_P(SameNameTest, ComparesWithoutRegardToCase) {
  const SameNameRow& row = GetParam();
  EXPECT_EQ(file_names::sameNameIgnoringCase(row.hostName, row.other, std::strlen(row.other)),
            row.same)
      << row.hostName << " and " << row.other;
}

INSTANTIATE_TEST_SUITE_P(Rows, SameNameTest, testing::ValuesIn(SAME_NAME_ROWS),
                         rowNames(SAME_NAME_ROWS, [](const SameNameRow& row) {
                           return std::string(row.hostName) + " " + row.other;
                         }));

TEST(UpperCaseTest, RunsOfTheTable) {
  EXPECT_EQ(upper_case::upperCase(u'a'), u'A');
  EXPECT_EQ(upper_case::upperCase(u'{'), u'{');
  EXPECT_EQ(upper_case::upperCase(0x00FF), 0x0178);  // a run of one
  EXPECT_EQ(upper_case::upperCase(0x0101), 0x0100);  // every second unit
  EXPECT_EQ(upper_case::upperCase(0x0100), 0x0100);
  EXPECT_EQ(upper_case::upperCase(0x0131), 0x0131);
  EXPECT_EQ(upper_case::upperCase(0x00DF), 0x00DF);
  EXPECT_EQ(upper_case::upperCase(0xFF5A), 0xFF3A);  // the last run
  EXPECT_EQ(upper_case::upperCase(0xFFFF), 0xFFFF);
}

}  // namespace
