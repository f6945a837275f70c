// The detector's run over an in-memory system: exact output bytes, the lookups it makes,
// and the faults it must not have.
#include "detector/detector.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/fake_platform.h"
#include "tests/support/expected_output.h"
#include "tests/support/inf_generator.h"

namespace {

using support::BANNER;
using support::countLine;
using support::PROMPT;
using support::record;

// A driver package whose [Models] holds `models`; the rest as support::Package has it.
std::string package(const std::string& models) {
  return support::packageText({.models = models});
}

// A package for the second ID whose [Version] Provider entry is `entry`.
std::string packageWithProviderEntry(const std::string& entry) {
  return support::packageText(
      {.models = "%DeviceDesc%=I, USB\\VID_0FCE&PID_ADDE", .providerEntry = entry});
}

class DetectorRun : public ::testing::Test {
 protected:
  void SetUp() override {
    fakeSystem() = FakeSystem{};
    resetDetectorState();
  }
  FakeSystem& system = fakeSystem();

  void addFile(const std::string& name, const std::string& bytes) {
    system.entries.push_back(name);
    system.files[system.windowsDirectory + "\\inf\\" + name] = bytes;
  }

  // The record of the file `name`, a package() of the INF folder.
  std::string recordOf(const std::string& name) const {
    const support::Package usual;
    return record(system.windowsDirectory + "\\inf\\" + name, usual.provider, usual.description,
                  usual.version);
  }
};

TEST_F(DetectorRun, NoInfFilesPrintsBannerCountAndPrompt) {
  EXPECT_EQ(runDetector(), EXIT_NONE_FOUND);
  EXPECT_EQ(system.output, BANNER + countLine(0) + PROMPT);
  EXPECT_EQ(system.currentDirectory, "C:\\WINDOWS\\inf");
  ASSERT_EQ(system.searchPatterns.size(), 1u);
  EXPECT_EQ(system.searchPatterns[0], "C:\\WINDOWS\\inf\\*.inf");
  EXPECT_EQ(system.inputLinesConsumed, 1);
  EXPECT_EQ(system.errors, "");
}

TEST_F(DetectorRun, NoWindowsDirectoryScansNothing) {
  system.windowsDirectory = "";
  EXPECT_EQ(runDetector(), EXIT_NO_INF_FOLDER);
  EXPECT_EQ(system.output, BANNER + countLine(0) + PROMPT);
  EXPECT_TRUE(system.searchPatterns.empty());
  EXPECT_EQ(system.currentDirectory, "(unchanged)");
  EXPECT_EQ(system.errors, "usb-flash-detect: could not list the INF folder <>\r\n");
}

TEST_F(DetectorRun, InfDirectoryThatCannotBeListedEndsWithItsOwnStatus) {
  system.infDirectoryListable = false;
  EXPECT_EQ(runDetector(), EXIT_NO_INF_FOLDER);
  EXPECT_EQ(system.output, BANNER + countLine(0) + PROMPT);
  EXPECT_EQ(system.errors,
            "usb-flash-detect: could not list the INF folder <C:\\WINDOWS\\inf>\r\n");
}

// What was listed before the failure is reported; the status says the scan is not whole.
TEST_F(DetectorRun, ListingThatFailsPartwayEndsWithItsOwnStatus) {
  addFile("oem1.inf", package("%DeviceDesc%=Install, USB\\VID_0BDB&PID_100E"));
  system.listingFailsAfterEntries = true;
  EXPECT_EQ(runDetector(), EXIT_NO_INF_FOLDER);
  EXPECT_EQ(system.output, BANNER + recordOf("oem1.inf") + countLine(1) + PROMPT);
  EXPECT_NE(system.errors, "");
}

struct PackageCase {
  const char* name;
  std::string bytes;
  bool matches;  // the record below, or none
  std::string provider = "Quellmark";
  std::string description = "Flash Device";
};

// Keeps the bytes of a case out of the test's listed name.
void PrintTo(const PackageCase& row, std::ostream* out) {
  *out << row.name;
}

class DetectorPackages : public DetectorRun, public ::testing::WithParamInterface<PackageCase> {};

TEST_P(DetectorPackages, RecordOrSilence) {
  const PackageCase& row = GetParam();
  addFile("oem1.inf", row.bytes);
  EXPECT_EQ(runDetector(), row.matches ? EXIT_FOUND : EXIT_NONE_FOUND);
  const std::string expected = row.matches ? record("C:\\WINDOWS\\inf\\oem1.inf", row.provider,
                                                    row.description, "01/02/2020,1.0.0.1")
                                           : "";
  EXPECT_EQ(system.output, BANNER + expected + countLine(row.matches ? 1 : 0) + PROMPT);
}

const PackageCase PACKAGE_CASES[] = {
    {"SecondIdAfterSection", package("%DeviceDesc%=Install, USB\\VID_0FCE&PID_ADDE"), true},
    {"FirstIdBare", package("%DeviceDesc%=USB\\VID_0BDB&PID_100E"), true},
    {"CompatibleIdAfter", package("%DeviceDesc%=Install, USB\\VID_0FCE&PID_ADDE, USB\\Class_08"),
     false},
    {"LowerCaseId", package("%DeviceDesc%=Install, usb\\vid_0fce&pid_adde"), false},
    {"OtherKey", package("%Other%=Install, USB\\VID_0FCE&PID_ADDE"), false},
    {"FlashKeyFallback", package("%DeviceDesc.Flash%=Install, USB\\VID_0BDB&PID_100E"), true,
     "Quellmark", "Flash Mode Device"},
    {"EmptyDeviceDescFallsBack",
     package("%DeviceDesc%=\r\n%DeviceDesc.Flash%=Install, USB\\VID_0BDB&PID_100E"), true,
     "Quellmark", "Flash Mode Device"},
    {"PlainWordsProvider", packageWithProviderEntry("Quellmark Inc"), true, ""},
    {"PlainWordsProviderFoundAsKey", packageWithProviderEntry("Prov"), true},
    {"PercentsInsideProvider", packageWithProviderEntry("%P%r%o%v%"), true},
    {"DecoratedSectionNotConsulted", package("%Other%=I, USB\\VID_1234&PID_5678"), false},
    {"LeadingCommaReadsSectionBeforeFirstHeader",
     "%DeviceDesc%=Install, USB\\VID_0FCE&PID_ADDE\r\n" +
         support::packageText(
             {.models = "%DeviceDesc%=Install, USB\\VID_1234", .manufacturer = ",NTamd64"}),
     true},
    {"NotAnInfFile",
     std::string("\x7F"
                 "ELF\x02\x01\x01\0\0\0",
                 10),
     false},
    {"EmptyFile", "", false},
};

INSTANTIATE_TEST_SUITE_P(Packages, DetectorPackages, ::testing::ValuesIn(PACKAGE_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DetectorRun, LookupsAreTheListedOnesInOrderWithTheFullPath) {
  addFile("a.inf", package("%DeviceDesc.Flash%=I, USB\\VID_0BDB&PID_100E"));
  runDetector();
  const std::string p = "C:\\WINDOWS\\inf\\a.inf|";
  const std::vector<std::string> expected = {
      p + "Version|DriverVer",        p + "Version|Provider",    p + "Strings|Prov",
      p + "Manufacturer|%MfgName%",   p + "Models|%DeviceDesc%", p + "Models|%DeviceDesc.Flash%",
      p + "Strings|DeviceDesc.Flash",
  };
  EXPECT_EQ(system.lookups, expected);
}

TEST_F(DetectorRun, RecordsFollowTheEnumerationOrderAndCountInPlural) {
  addFile("z.inf", package("%DeviceDesc%=I, USB\\VID_0BDB&PID_100E"));
  addFile("other.inf", package("%DeviceDesc%=I, USB\\VID_1111&PID_2222"));
  addFile("a.inf", package("%DeviceDesc%=I, USB\\VID_0FCE&PID_ADDE"));
  runDetector();
  EXPECT_EQ(system.output, BANNER + recordOf("z.inf") + recordOf("a.inf") + countLine(2) + PROMPT);
}

TEST_F(DetectorRun, DriveRootWindowsDirectoryKeepsBothBackslashes) {
  system.windowsDirectory = "C:\\";
  addFile("a.inf", package("%DeviceDesc%=I, USB\\VID_0FCE&PID_ADDE"));
  runDetector();
  EXPECT_NE(system.output.find("C:\\\\inf\\a.inf\r\n"), std::string::npos) << system.output;
}

TEST_F(DetectorRun, LongestRecordIsNeverCut) {
  system.windowsDirectory = "C:\\" + std::string(251, 'w');  // 259 with "\inf"
  const std::string longText(259, 'x');
  // Every value 259 bytes long (the provider's cut from 260), the device line's start given.
  const auto longPackage = [&](const std::string& install) {
    return "[Version]\r\nProvider=%P%\r\nDriverVer=" + longText +
           "\r\n[Manufacturer]\r\n%MfgName%=M\r\n[M]\r\n%DeviceDesc%=" + install +
           ",USB\\VID_0FCE&PID_ADDE\r\n[Strings]\r\nP=" + longText + "y\r\nDeviceDesc=" + longText +
           "\r\n";
  };
  addFile("a.inf", longPackage(std::string(300, 'i')));
  runDetector();
  // The 300-byte device line is cut to 259 bytes and so loses its ID: no record.
  EXPECT_EQ(system.output, BANNER + countLine(0) + PROMPT);

  SetUp();
  system.windowsDirectory = "C:\\" + std::string(246, 'w');  // full path: 259 bytes
  addFile("a.inf", longPackage("I"));
  runDetector();
  const std::string path = system.windowsDirectory + "\\inf\\a.inf";
  EXPECT_EQ(system.output,
            BANNER + record(path, longText, longText, longText) + countLine(1) + PROMPT);
}

TEST_F(DetectorRun, EntryWhosePathDoesNotFitIsSkipped) {
  system.windowsDirectory = "C:\\" + std::string(200, 'w');  // INF directory: 207 bytes
  const std::string fits = std::string(47, 'f') + ".inf";    // 207 + 1 + 51 = 259
  const std::string stem(48, 'l');
  const std::string tooLong = stem + ".inf";  // 260: one too many
  addFile(tooLong, package("%DeviceDesc%=I, USB\\VID_0FCE&PID_ADDE"));
  addFile(fits, package("%DeviceDesc%=I, USB\\VID_0FCE&PID_ADDE"));
  runDetector();
  EXPECT_EQ(system.output, BANNER + recordOf(fits) + countLine(1) + PROMPT);
  for (const std::string& lookup : system.lookups) {  // nor its path cut to fit
    EXPECT_EQ(lookup.find(stem), std::string::npos) << lookup;
  }
}

// `edit` applied to `input` in a buffer of the run's capacity.
std::string edited(void (*edit)(char*), const std::string& input) {
  char buffer[TEXT_CAPACITY] = {};
  input.copy(buffer, input.size());
  edit(buffer);
  return buffer;
}

}  // namespace

TEST(DetectorText, StripPercentRemovesEveryPercent) {
  const std::pair<std::string, std::string> rows[] = {
      {"%Prov%", "Prov"}, {"%%a%%%b%", "ab"}, {"", ""}, {"%%%", ""}, {"plain", "plain"}};
  for (const auto& [input, expected] : rows)
    EXPECT_EQ(edited(stripPercent, input), expected) << input;
}

TEST(DetectorText, CutAtSeparatorStopsAtFirstBlankOrComma) {
  const std::pair<std::string, std::string> rows[] = {
      {"Models,NTamd64", "Models"}, {"Models NTamd64", "Models"}, {",NTamd64", ""},
      {"Models\t,x", "Models\t"},   {"Whole", "Whole"},           {"", ""}};
  for (const auto& [input, expected] : rows)
    EXPECT_EQ(edited(cutAtSeparator, input), expected) << input;
}
