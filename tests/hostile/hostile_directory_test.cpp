// The detector as a process over a Windows directory built to hurt it: files far larger
// than the run's memory, bytes that are no INF at all, an encoding cut short, a line of
// ten megabytes, NUL bytes in names and values, ten thousand files, names too long for a
// path, and entries that are not regular files (a directory, a FIFO, a socket, links that
// loop or lead nowhere). The run must end, print exactly the records of the files that
// match, and keep its peak memory within a bound that does not grow with the largest file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/hostile/inf_files.h"
#include "tests/support/child_process.h"

namespace hostile {
namespace {

using namespace support;

using namespace std::string_literals;

constexpr std::size_t MEGABYTE = std::size_t{1} << 20;
constexpr std::size_t SMALL_LARGEST_FILE = 20 * MEGABYTE;
constexpr std::size_t LARGEST_FILE = 200 * MEGABYTE;
constexpr int SMALL_FILE_COUNT = 10000;
constexpr int SMALL_MATCH_EVERY = 2500;
constexpr std::size_t LONG_LINE_BYTES = 10 * MEGABYTE;
constexpr std::size_t RANDOM_FILE_BYTES = MEGABYTE;
constexpr std::size_t FOLDER_PATH_LENGTH = 15;  // "C:\windows\inf\"
constexpr std::size_t TEXT_LIMIT = 259;         // characters a text buffer holds
// Peak memory a run may use beyond that of a run over an empty INF folder.
constexpr long MEMORY_ALLOWANCE_KILOBYTES = 16L * 1024;
// Generous: a run over the largest directory takes seconds; the limit only stops a hang.
constexpr std::chrono::seconds RUN_LIMIT{1800};

// ------------------------------------------------------------------ the large files

// About a megabyte of lines that a real INF file could hold and some it should not: long
// lines, blanks and tabs, CR or LF alone, "[" without "]", many "=", and a later
// "[models]" section with a matching line that the reader must never reach, since only
// the first section of a name counts.
std::string fillerBlock() {
  std::string block;
  for (int line = 0; block.size() < MEGABYTE; ++line) {
    const std::string number = std::to_string(line);
    if (line % 100 == 0) block += "[Filler." + number + "]\r\n";
    block += "; filler line " + number + " with ; and # and = signs\r\n";
    block += "Key" + number + " \t=  value ";
    block += number + " \"quoted\"  \t\r\n";
    block += "a=b=c=d\rLF only\n[unclosed " + number + "\r\n\r\n";
  }
  block += std::string(std::size_t{64} * 1024, 'f') + "\r\n";
  block += "[models]\r\n";
  block += FIRST_ID_LINE;
  block += "\r\n";
  return block;
}

// Writes `head`, then filler up to `size` bytes in all, then `tail`.
bool writeWithFiller(const std::string& path, const std::string& head, std::size_t size,
                     const std::string& tail) {
  static const std::string filler = fillerBlock();
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << head;
  std::size_t written = head.size() + tail.size();
  while (written < size && file) {
    const std::size_t part = std::min(filler.size(), size - written);
    file.write(filler.data(), static_cast<std::streamsize>(part));
    written += part;
  }
  file << "\r\n" << tail;
  return static_cast<bool>(file);
}

const Package LARGE_MATCH{SECOND_ID_LINE, "Large Provider", "Large Flash Device",
                          "03/04/2021,2.0.0.0"};

// The largest file, which does not match (a compatible ID follows the ID), with [Version]
// and [Strings] after all of its filler; and a quarter as large one that matches, with
// its [Strings] after the filler.
bool writeLargeFiles(const std::string& folder, std::size_t largest) {
  const std::string hugeHead = "[Manufacturer]\r\n%MfgName%=Models\r\n[Models]\r\n" +
                               std::string(FIRST_ID_LINE) + ", USB\\Class_08\r\n";
  const std::string hugeTail =
      "[Version]\r\nProvider=%Prov%\r\nDriverVer=1\r\n[Strings]\r\nProv=Huge\r\nDeviceDesc="
      "Huge\r\n";
  const std::string text = packageText(LARGE_MATCH);
  const std::size_t strings = text.find("[Strings]");
  return writeWithFiller(folder + "/huge.inf", hugeHead, largest, hugeTail) &&
         writeWithFiller(folder + "/large-match.inf", text.substr(0, strings), largest / 4,
                         text.substr(strings));
}

// ------------------------------------------------------------------ the odd files

std::string randomBytes(std::size_t size) {
  std::string bytes(size, '\0');
  Random random(1);
  for (char& byte : bytes) byte = static_cast<char>(random.next() >> 56);
  return bytes;
}

// UTF-16LE with its byte-order mark, of odd length: the description's last letter is a
// single byte, which the reader still takes as a character.
const Package UTF16_MATCH{FIRST_ID_LINE,
                          "UTF-16 \xDCnic\xF6"
                          "de \x80",
                          "UTF-16 Flash", "07/08/2023,4.0"};
std::string oddLengthUtf16() {
  const std::u16string text =
      u"[Version]\r\nProvider=%Prov%\r\nDriverVer=07/08/2023,4.0\r\n[Manufacturer]\r\n"
      u"%MfgName%=Models\r\n[Models]\r\n%DeviceDesc%=Install, USB\\VID_0BDB&PID_100E\r\n"
      u"[Strings]\r\nProv=UTF-16 \u00DCnic\u00F6de \u20AC\r\nDeviceDesc=UTF-16 Flas";
  return utf16le(text) + "h";
}

// NUL bytes end the name or value they fall in; the line's "=" and "]" still count.
const Package NUL_MATCH{SECOND_ID_LINE, "NUL", "NUL Flash Device", "05/06/2022,3.0"};
const std::string NUL_BYTES_TEXT =
    "[Version]\r\nSignature=\"$Windows NT$\"\r\nProvider\0ignored=%Prov%\r\n"
    "DriverVer=05/06/2022,3.0\0.0.0\r\n[Manufacturer]\r\n%MfgName%=Models\0 ,NTamd64\r\n"
    "[Models\0ignored]\r\n%DeviceDesc%=Install, USB\\VID_0FCE&PID_ADDE\0, USB\\Class_08\r\n"
    "[Strings]\r\n\0DeviceDesc=decoy\r\nProv=NUL\0 hidden provider\r\n"
    "DeviceDesc\0hidden=NUL Flash Device\r\n"s;

const Package LONG_LINE_MATCH{FIRST_ID_LINE, "Long Line Provider", "Long Line Device",
                              std::string(LONG_LINE_BYTES, 'v')};
const Package CR_ONLY_MATCH{SECOND_ID_LINE, "CR Provider", "CR Device", "1.2.3.4"};

std::string crOnly(std::string text) {
  std::erase(text, '\n');
  return text;
}

bool writeOddFiles(const std::string& folder) {
  return writeWholeFile(folder + "/random.inf", randomBytes(RANDOM_FILE_BYTES)) &&
         writeWholeFile(folder + "/zeros.inf", std::string(RANDOM_FILE_BYTES, '\0')) &&
         writeWholeFile(folder + "/empty.inf", "") &&
         writeWholeFile(folder + "/bom-only.inf", "\xFF\xFE") &&
         writeWholeFile(folder + "/utf16-odd.inf", oddLengthUtf16()) &&
         writeWholeFile(folder + "/nul-bytes.inf", NUL_BYTES_TEXT) &&
         writeWholeFile(folder + "/long-line.inf", packageText(LONG_LINE_MATCH)) &&
         writeWholeFile(folder + "/cr-only.inf", crOnly(packageText(CR_ONLY_MATCH))) &&
         writeWholeFile(folder + "/nul.inf", packageText(CR_ONLY_MATCH));  // a DOS device name
}

// ------------------------------------------------------------------ many files, long names

std::string smallName(int index) {
  char name[32];
  (void)std::snprintf(name, sizeof name, "small-%05d.inf", index);
  return name;
}

Package smallPackage(int index) {
  const std::string number = std::to_string(index);
  static const char* const NEAR_MISSES[] = {
      "%DeviceDesc%=Install, USB\\VID_0BDB&PID_100F",
      "%DeviceDesc%=Install, usb\\vid_0bdb&pid_100e",
      "%DeviceDesc%=Install, USB\\VID_0FCE&PID_ADDE, USB\\Class_08",
      "%DeviceDesc%=Install, USB\\VID_0FCE&PID_ADD"};
  const bool matches = index % SMALL_MATCH_EVERY == 0;
  return {matches ? FIRST_ID_LINE : NEAR_MISSES[index % 4], "Small Provider " + number,
          "Small Device " + number, "1.0.0." + number};
}

bool writeSmallFiles(const std::string& folder) {
  for (int index = 0; index < SMALL_FILE_COUNT; ++index) {
    if (!writeWholeFile(folder + "/" + smallName(index), packageText(smallPackage(index)))) {
      return false;
    }
  }
  return true;
}

// A name of `length` bytes, so that the full path is FOLDER_PATH_LENGTH longer.
std::string longName(std::size_t length) {
  return "long-name-" + std::string(length - 14, 'n') + ".inf";
}
const Package LONG_NAME_PACKAGE{FIRST_ID_LINE, "Long Name Provider", "Long Name Device", "9.9"};

// The longest name whose path fits (259 characters), one byte more, and the longest name a
// POSIX file system allows.
bool writeLongNames(const std::string& folder) {
  const std::size_t lengths[] = {TEXT_LIMIT - FOLDER_PATH_LENGTH,
                                 TEXT_LIMIT - FOLDER_PATH_LENGTH + 1, 255};
  for (std::size_t length : lengths) {
    if (!writeWholeFile(folder + "/" + longName(length), packageText(LONG_NAME_PACKAGE)))
      return false;
  }
  return true;
}

// ------------------------------------------------------------------ entries that are not files

bool makeSocket(const std::string& folder, const char* name) {
  // A socket's path must fit sun_path, so it is bound relative to the folder.
  const int here = open(".", O_RDONLY | O_DIRECTORY);
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  (void)std::snprintf(address.sun_path, sizeof address.sun_path, "%s", name);
  const bool made = here >= 0 && listener >= 0 && chdir(folder.c_str()) == 0 &&
                    bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  if (here >= 0 && fchdir(here) != 0) std::perror("fchdir");
  if (listener >= 0) close(listener);
  if (here >= 0) close(here);
  return made;
}

bool makeSpecialEntries(const std::string& folder) {
  const std::string inside = folder + "/x.inf";
  const std::pair<const char*, const char*> links[] = {
      {"loop-a.inf", "loop-b.inf"},       {"loop-b.inf", "loop-a.inf"},
      {"loop-self.inf", "loop-self.inf"}, {"dangling.inf", "missing/none.inf"},
      {"zero.inf", "/dev/zero"},          {"link-dir.inf", "x.inf"},
      {"link-fifo.inf", "y.inf"},         {"link-good.inf", "small-00000.inf"},
  };
  bool made = mkdir(inside.c_str(), 0755) == 0 &&
              writeWholeFile(inside + "/inner.inf", packageText(LONG_NAME_PACKAGE)) &&
              mkfifo((folder + "/y.inf").c_str(), 0644) == 0 && makeSocket(folder, "z.inf");
  for (const auto& [name, target] : links) {
    made = made && symlink(target, (folder + "/" + name).c_str()) == 0;
  }
  return made;
}

// ------------------------------------------------------------------ the expected output

// Every record, in the order the POSIX layer yields names (bytes with ASCII letters
// upper-cased, which for these names is plain byte order).
std::string expectedOutput() {
  std::string records = recordOf("cr-only.inf", CR_ONLY_MATCH) +
                        recordOf("large-match.inf", LARGE_MATCH) +
                        recordOf("link-good.inf", smallPackage(0));
  Package longLine = LONG_LINE_MATCH;
  longLine.version.resize(TEXT_LIMIT);
  records += recordOf("long-line.inf", longLine);
  records += recordOf(longName(TEXT_LIMIT - FOLDER_PATH_LENGTH), LONG_NAME_PACKAGE);
  records += recordOf("nul-bytes.inf", NUL_MATCH);
  int count = 6;
  for (int index = 0; index < SMALL_FILE_COUNT; index += SMALL_MATCH_EVERY, ++count) {
    records += recordOf(smallName(index), smallPackage(index));
  }
  records += recordOf("utf16-odd.inf", UTF16_MATCH);
  return BANNER + records + countLine(count + 1) + PROMPT;
}

// ------------------------------------------------------------------ the runs

struct DetectorRun {
  ChildOutcome outcome;
  long peakKilobytes = -1;  // VmHWM at the prompt: the scan's peak, the fork's excluded
  std::string output;
  std::string errors;
};

// In a sanitizer build, AddressSanitizer keeps freed blocks in a quarantine, which grows
// with the number of lookups made and would count against the memory bound as if the
// program held it. The measured runs turn it off; other builds ignore the variable.
std::string sanitizerOptions() {
  const char* given = std::getenv("ASAN_OPTIONS");
  const std::string before = given != nullptr && *given != '\0' ? std::string(given) + ":" : "";
  return "ASAN_OPTIONS=" + before + "quarantine_size_mb=0:thread_local_quarantine_size_kb=0";
}

// Runs the detector over `prefix`; reads its peak memory while it waits at the prompt,
// then presses Enter.
DetectorRun runDetectorOver(const std::string& prefix) {
  DetectorRun run;
  ChildProcess child;
  ChildSetup setup;
  setup.command = {DETECTOR};
  setup.environment = {"WINEPREFIX=" + prefix, "LANG=C", "LC_ALL=", sanitizerOptions()};
  if (!child.start(setup)) {
    run.errors = child.failure();
    return run;
  }
  if (child.collectUntilOutputEndsWith(PROMPT, RUN_LIMIT)) {
    run.peakKilobytes = child.peakResidentKilobytes();
  }
  child.sendInput("\n");
  child.closeInput();
  run.outcome = child.wait(RUN_LIMIT);
  run.output = child.output();
  run.errors = child.errors();
  return run;
}

void report(const char* label, const DetectorRun& run) {
  std::printf("hostile: %-34s peak %6ld kB (VmHWM at the prompt), ru_maxrss %6ld kB, %.2f s\n",
              label, run.peakKilobytes, run.outcome.maxResidentKilobytes, run.outcome.seconds);
  (void)std::fflush(stdout);
}

void expectRecords(const DetectorRun& run, const std::string& expected) {
  EXPECT_TRUE(exitedCleanly(run.outcome)) << describe(run.outcome);
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(run.output, expected);  // records are short: the line diff shows what differs
}

TEST(HostileDirectory, RecordsExactlyTheMatchingFilesInBoundedMemory) {
  const std::string work = std::string(WORK_DIRECTORY) + "/directory";
  const std::string emptyPrefix = work + "/empty";
  const std::string prefix = work + "/hostile";
  const std::string folder = infFolder(prefix);
  ASSERT_TRUE(freshDirectory(infFolder(emptyPrefix)) && freshDirectory(folder));

  const DetectorRun baseline = runDetectorOver(emptyPrefix);
  report("empty INF folder", baseline);
  ASSERT_TRUE(exitedCleanly(baseline.outcome, 1)) << describe(baseline.outcome) << baseline.errors;
  ASSERT_EQ(baseline.output, BANNER + countLine(0) + PROMPT);
  const long memoryBound = baseline.peakKilobytes + MEMORY_ALLOWANCE_KILOBYTES;

  ASSERT_TRUE(writeOddFiles(folder) && writeSmallFiles(folder) && writeLongNames(folder) &&
              makeSpecialEntries(folder));
  const std::string expected = expectedOutput();
  for (std::size_t largest : {SMALL_LARGEST_FILE, LARGEST_FILE}) {
    ASSERT_TRUE(writeLargeFiles(folder, largest));
    const DetectorRun run = runDetectorOver(prefix);
    const std::string label = "largest file " + std::to_string(largest / MEGABYTE) + " MB";
    report(label.c_str(), run);
    SCOPED_TRACE(label);
    expectRecords(run, expected);
    EXPECT_GT(run.peakKilobytes, 0);
    EXPECT_LE(run.peakKilobytes, memoryBound);
  }
  // The large files are gone again; the rest stays for a look after a failure.
  (void)std::remove((folder + "/huge.inf").c_str());
  (void)std::remove((folder + "/large-match.inf").c_str());
}

// The INF folder moved away while the scan reads a large file, as a disk that is unplugged
// mid-scan: the packages after it were never read, so the run fails as when the folder
// could not be listed, and never reads as a system without them.
TEST(HostileDirectory, FolderGoneDuringTheScanFailsTheRun) {
  const std::string folder = infFolder(std::string(WORK_DIRECTORY) + "/gone/prefix");
  const Package first{FIRST_ID_LINE, "First Provider", "First Device", "1.1"};
  ASSERT_TRUE(freshDirectory(folder) && freshDirectory(folder + ".moved") &&
              writeWholeFile(folder + "/a.inf", packageText(first)) &&
              writeLargeFiles(folder, SMALL_LARGEST_FILE));
  ChildProcess child;
  ChildSetup setup;
  setup.command = {DETECTOR};
  setup.environment = {"WINEPREFIX=" + std::string(WORK_DIRECTORY) + "/gone/prefix", "LANG=C"};
  ASSERT_TRUE(child.start(setup)) << child.failure();
  ASSERT_TRUE(child.collectUntilOutputEndsWith(BANNER + recordOf("a.inf", first), RUN_LIMIT));
  ASSERT_EQ(std::rename(folder.c_str(), (folder + ".moved/inf").c_str()), 0);
  child.sendInput("\n");
  child.closeInput();
  const ChildOutcome outcome = child.wait(RUN_LIMIT);
  EXPECT_TRUE(exitedCleanly(outcome, 2)) << describe(outcome);
  EXPECT_EQ(child.errors(), "usb-flash-detect: could not list the INF folder " + folder + "\r\n");
  EXPECT_EQ(child.output(), BANNER + recordOf("a.inf", first) + countLine(1) + PROMPT);
}

// Names a POSIX file system allows and Windows does not: bytes 0x01 to 0x1F and the
// characters " * < > ? |. Wine (8.0, measured) enumerates such names but its profile
// reader reads nothing through them, so they give no record; printed as they are, a CR
// LF in a name would break the record's lines and could forge a count line. A ":" or
// "\" would make a Windows path lead elsewhere (a stream, another folder): such a name
// gives no record either, though Wine reads it. A blank is read as usual. Bytes that are
// not UTF-8 are no characters at all: such a name is listed with "?" and gives no record
// either.
TEST(HostileDirectory, NamesWindowsCannotOpenGiveNoRecord) {
  const std::string prefix = std::string(WORK_DIRECTORY) + "/names/prefix";
  const std::string folder = infFolder(prefix);
  ASSERT_TRUE(freshDirectory(folder));
  const Package package{FIRST_ID_LINE, "Name Provider", "Name Device", "2.2"};
  const std::string forbidden[] = {"forged\r\n\r\nfound 99 drivers\r\n.inf",
                                   "line\nfeed.inf",
                                   "carriage\rreturn.inf",
                                   "tab\there.inf",
                                   "control\x01.inf",
                                   "control\x1F.inf",
                                   "quote\"mark.inf",
                                   "star*.inf",
                                   "less<.inf",
                                   "greater>.inf",
                                   "question?.inf",
                                   "pipe|.inf",
                                   "with blank:colon.inf",
                                   "back\\slash.inf",
                                   "latin1\xE9.inf",
                                   "cut\xC3.inf",
                                   "overlong\xC0\xAE.inf",
                                   "surrogate\xED\xA0\x80.inf"};
  for (const std::string& name : forbidden) {
    ASSERT_TRUE(writeWholeFile(folder + "/" += name, packageText(package))) << name;
  }
  ASSERT_TRUE(writeWholeFile(folder + "/with blank.inf", packageText(package)));

  expectRecords(runDetectorOver(prefix),
                BANNER + recordOf("with blank.inf", package) + countLine(1) + PROMPT);
}

}  // namespace
}  // namespace hostile
