#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "detector/detector.h"
#include "platform/platform.h"
#include "usb_flash_detect/match.h"
#include "windows_text/bounded_text.h"

char infPath[TEXT_CAPACITY];
char modelsSection[TEXT_CAPACITY];
char deviceText[TEXT_CAPACITY];
char driverVersion[TEXT_CAPACITY];
char infDirectory[TEXT_CAPACITY];
char deviceKey[TEXT_CAPACITY];
char provider[TEXT_CAPACITY];
std::int32_t foundCount;

namespace {

constexpr char BANNER[] = "quellmark usb flash drivers detector by orvin_ta =)\r\n\r\n";
constexpr char COUNT_FORMAT[] = "\r\nfound %d drivers\r\n";
constexpr char PROMPT[] = "press enter\r\n";
// To standard error, so that a failure to look never reads as a result.
constexpr char NO_INF_FOLDER_FORMAT[] = "usb-flash-detect: could not list the INF folder %s\r\n";
constexpr char OUTPUT_FAILED_FORMAT[] =
    "usb-flash-detect: could not write the report to standard output: %s\r\n";
constexpr char RECORD_FORMAT[] =
    "%s\\%s\r\n"
    "\xC3\xC4provider: %s\r\n"
    "\xC3\xC4"
    "device  : %s\r\n"
    "\xC0\xC4version : %s\r\n";

constexpr char FIRST_ID_PATTERN[] = "*USB\\VID_0BDB&PID_100E";
constexpr char SECOND_ID_PATTERN[] = "*USB\\VID_0FCE&PID_ADDE";
constexpr char INF_PATTERN[] = "\\*.inf";

// The longest record: the format's own bytes and five texts of 259 characters each
// (directory, file name, provider, description, version), with the terminator.
constexpr std::size_t RECORD_FORMAT_FIELDS = 5;
constexpr std::size_t LONGEST_RECORD = sizeof RECORD_FORMAT - 1 - 2 * RECORD_FORMAT_FIELDS +
                                       RECORD_FORMAT_FIELDS * (TEXT_CAPACITY - 1);
constexpr std::size_t OUTPUT_CAPACITY = std::max<std::size_t>(1024, LONGEST_RECORD + 1);

static_assert(OUTPUT_CAPACITY <= platform::SHOWN_MESSAGE_CAPACITY,
              "every message fits the screen's layout");

char outputBuffer[OUTPUT_CAPACITY];

// Fills infDirectory with the Windows directory and "\inf". False when there is none, or
// the INF directory's path would not fit.
bool locateInfDirectory() {
  platform::getWindowsDirectory(infDirectory, TEXT_CAPACITY);
  return infDirectory[0] != '\0' && appendText(infDirectory, TEXT_CAPACITY, "\\inf");
}

// Examines one entry of the INF directory and prints its record if it is a package for
// one of the two devices. An entry whose full path does not fit is skipped.
void examineEntry(const platform::DirectoryEntry& entry) {
  const int length = std::snprintf(infPath, TEXT_CAPACITY, "%s\\%s", infDirectory, entry.fileName);
  if (length < 0 || static_cast<std::size_t>(length) >= TEXT_CAPACITY) return;
  readDriverEntry(infPath);
  if (!isKnownDevice(deviceText)) return;
  resolveDeviceDescription(infPath);
  printOut(RECORD_FORMAT, infDirectory, entry.fileName, provider, deviceText, driverVersion);
  ++foundCount;
}

// Enumerates "<infDirectory>\*.inf" by its full path, so the scan never depends on the
// current directory. False when the INF directory could not be listed, or only in part.
bool scanInfDirectory() {
  char pattern[TEXT_CAPACITY + sizeof INF_PATTERN];
  (void)std::snprintf(pattern, sizeof pattern, "%s%s", infDirectory, INF_PATTERN);
  platform::DirectoryEntry entry;
  platform::DirectorySearch* search = platform::findFirstFile(pattern, entry);
  if (search == nullptr) return platform::canListDirectory(infDirectory);
  do {
    examineEntry(entry);
  } while (platform::findNextFile(search, entry));
  return platform::findClose(search);
}

constexpr std::size_t DETAIL_CAPACITY = 2 * TEXT_CAPACITY + 64;

// Writes one line to standard error: `format` with the one text `detail`.
void reportFailure(const char* format, const char* detail) {
  char line[DETAIL_CAPACITY + 128];
  const int length = std::snprintf(line, sizeof line, format, detail);
  if (length > 0) {
    platform::writeStandardError(line, std::min(static_cast<std::size_t>(length), sizeof line - 1));
  }
}

// Says on standard error where the INF folder was looked for.
void reportNoInfFolder() {
  char where[DETAIL_CAPACITY];
  platform::describeInfFolder(infDirectory, where, sizeof where);
  reportFailure(NO_INF_FOLDER_FORMAT, where);
}

// Whether the report went whole to standard output; says why not on standard error, unless
// its reader went away, who has nothing to read the reason with (as `yes | head`).
bool outputWasWritten() {
  char reason[DETAIL_CAPACITY];
  const platform::OutputOutcome outcome = platform::standardOutputOutcome(reason, sizeof reason);
  if (outcome == platform::OutputOutcome::FAILED) reportFailure(OUTPUT_FAILED_FORMAT, reason);
  return outcome == platform::OutputOutcome::WHOLE;
}

}  // namespace

void resetDetectorState() {
  for (char* buffer :
       {infPath, modelsSection, deviceText, driverVersion, infDirectory, deviceKey, provider}) {
    std::memset(buffer, 0, TEXT_CAPACITY);
  }
  foundCount = 0;
  std::memset(outputBuffer, 0, sizeof outputBuffer);
}

void printOut(const char* format, ...) {
  va_list values;
  va_start(values, format);
  // The analyser does not see va_start through the macro; the list is initialised.
  // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized)
  const int length = std::vsnprintf(outputBuffer, sizeof outputBuffer, format, values);
  va_end(values);
  if (length <= 0) return;
  const auto written = std::min(static_cast<std::size_t>(length), sizeof outputBuffer - 1);
  platform::writeStandardOutput(outputBuffer, written);
}

bool isKnownDevice(const char* deviceLine) {
  return usb_flash_detect::match::matchPattern(FIRST_ID_PATTERN, deviceLine) ||
         usb_flash_detect::match::matchPattern(SECOND_ID_PATTERN, deviceLine);
}

int runDetector() {
  printOut(BANNER);
  const bool haveInfDirectory = locateInfDirectory();
  if (haveInfDirectory) platform::setCurrentDirectory(infDirectory);
  const bool scanned = haveInfDirectory && scanInfDirectory();
  if (!scanned) reportNoInfFolder();
  printOut(COUNT_FORMAT, foundCount);
  printOut(PROMPT);
  // Told before the wait: with the prompt lost, this line is all a person sees.
  const bool written = outputWasWritten();
  platform::consumeStandardInputLine();
  if (!scanned) return EXIT_NO_INF_FOLDER;
  if (!written) return EXIT_OUTPUT_FAILED;
  return foundCount > 0 ? EXIT_FOUND : EXIT_NONE_FOUND;
}
