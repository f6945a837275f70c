// The POSIX platform layer on a real disk: a Wine prefix made in a scratch folder, the
// Windows folder and its INF folder found as written and without regard to case, the cache
// of the folder found last, one enumeration at a time, and a listing that fails partway.
#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/files.h"

namespace {

namespace fs = std::filesystem;

// How many more readdir calls succeed before one fails with EIO; negative: all succeed.
int readdirsBeforeFailure = -1;

}  // namespace

// Stands in for the C library's readdir in this program, so that a listing can fail.
extern "C" dirent* readdir(DIR* folder) {
  using Readdir = dirent* (*)(DIR*);
  static const auto systemReaddir = reinterpret_cast<Readdir>(dlsym(RTLD_NEXT, "readdir"));
  if (readdirsBeforeFailure == 0) {
    errno = EIO;
    return nullptr;
  }
  if (readdirsBeforeFailure > 0) --readdirsBeforeFailure;
  return systemReaddir(folder);
}

namespace {

// A prefix of this process's own: CTest runs each test as a process, side by side, and the
// layer takes the prefix once per process.
const std::string PREFIX = PLATFORM_TEST_DIR "/" + std::to_string(getpid());
const std::string DRIVE_C = PREFIX + "/drive_c";

class PosixPlatform : public testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("WINEPREFIX", PREFIX.c_str(), 1); }
  static void TearDownTestSuite() { fs::remove_all(PREFIX); }
  void SetUp() override { ASSERT_TRUE(support::freshDirectory(DRIVE_C)); }

  // Makes the folders of `path` under drive C: and an INF file in the last one.
  static void addPackage(const std::string& folders, const std::string& name,
                         const std::string& provider) {
    fs::create_directories(DRIVE_C + "/" + folders);
    ASSERT_TRUE(support::writeWholeFile(DRIVE_C + "/" + folders + "/" + name,
                                        "[Version]\r\nProvider=" + provider + "\r\n"));
  }
  static std::string provider(const char* dosPath) {
    char value[64];
    platform::readProfileString("Version", "Provider", value, sizeof value, dosPath);
    return value;
  }
  static std::string windowsDirectory() {
    char buffer[platform::FILE_NAME_CAPACITY] = "unchanged";
    platform::getWindowsDirectory(buffer, sizeof buffer);
    return buffer;
  }
};

TEST_F(PosixPlatform, FindsTheWindowsFolderAsWrittenThenByCase) {
  struct Row {
    std::vector<std::string> folders;  // under drive C:
    std::string expected;
  };
  const Row rows[] = {
      {{"windows"}, "C:\\windows"},
      {{"WINDOWS"}, "C:\\WINDOWS"},
      {{"Windows", "windows"}, "C:\\windows"},
      {{"program files"}, ""},
  };
  for (const Row& row : rows) {
    ASSERT_TRUE(support::freshDirectory(DRIVE_C));
    for (const std::string& folder : row.folders) fs::create_directories(DRIVE_C + "/" + folder);
    EXPECT_EQ(windowsDirectory(), row.expected) << row.folders.front();
  }
  ASSERT_TRUE(support::writeWholeFile(DRIVE_C + "/windows", ""));
  EXPECT_EQ(windowsDirectory(), "") << "a file named windows";
}

TEST_F(PosixPlatform, ReadsThroughFoldersFoundByCaseAndFollowsThemWhenTheyMove) {
  addPackage("Windows/INF", "OEM1.inf", "first");
  addPackage("Windows/INF", "oem2.inf", "second");
  EXPECT_EQ(provider("C:\\windows\\inf\\oem1.inf"), "first");
  EXPECT_EQ(provider("C:\\windows\\inf\\oem2.inf"), "second");  // from the folder found last
  fs::rename(DRIVE_C + "/Windows/INF", DRIVE_C + "/Windows/Inf");
  EXPECT_EQ(provider("C:\\windows\\inf\\oem2.inf"), "second");  // the cache is out of date
  EXPECT_EQ(provider("C:\\windows\\inf\\oem3.inf"), "");
  EXPECT_TRUE(platform::canListDirectory("C:\\windows\\inf"));
  EXPECT_FALSE(platform::canListDirectory("C:\\windows\\system32"));
}

TEST_F(PosixPlatform, EnumeratesOneAtATime) {
  addPackage("windows/inf", "a.inf", "a");
  platform::DirectoryEntry entry{};
  platform::DirectorySearch* search = platform::findFirstFile("C:\\windows\\inf\\*.inf", entry);
  ASSERT_NE(search, nullptr);
  EXPECT_STREQ(entry.fileName, "a.inf");
  EXPECT_EQ(platform::findFirstFile("C:\\windows\\inf\\*.inf", entry), nullptr);
  EXPECT_FALSE(platform::findNextFile(search, entry));
  EXPECT_TRUE(platform::findClose(search));
  search = platform::findFirstFile("C:\\windows\\inf\\*.inf", entry);
  ASSERT_NE(search, nullptr);
  EXPECT_TRUE(platform::findClose(search));
}

TEST_F(PosixPlatform, ListingThatFailsPartwayIsNoListing) {
  for (const char* name : {"a.inf", "b.inf", "c.inf", "d.inf", "e.inf"}) {
    addPackage("windows/inf", name, name);
  }
  for (const int successes : {0, 3}) {
    platform::DirectoryEntry entry{};
    readdirsBeforeFailure = successes;
    platform::DirectorySearch* search = platform::findFirstFile("C:\\windows\\inf\\*.inf", entry);
    readdirsBeforeFailure = successes;
    EXPECT_FALSE(platform::canListDirectory("C:\\windows\\inf")) << successes;
    readdirsBeforeFailure = -1;
    if (search != nullptr) {
      while (platform::findNextFile(search, entry)) {
      }
      EXPECT_FALSE(platform::findClose(search)) << successes << " entries read";
    }
    EXPECT_EQ(search == nullptr, successes == 0);
  }
}

}  // namespace
