// The detector: one run that scans the Windows INF directory and reports every driver
// package for the two USB flash devices it knows, through fixed static buffers only.
#pragma once

#include <cstddef>
#include <cstdint>

// Every text buffer of the detector holds 259 characters and a terminator.
constexpr std::size_t TEXT_CAPACITY = 260;

// What the examination of the current INF file has read. Each file overwrites them all.
// Defined, zero at start-up, in detector_run.cpp.
extern char infPath[TEXT_CAPACITY];        // full path of the INF file under examination
extern char modelsSection[TEXT_CAPACITY];  // name of the INF's models section
extern char deviceText[TEXT_CAPACITY];     // the device line; after a match, the description
extern char driverVersion[TEXT_CAPACITY];  // the DriverVer value
extern char infDirectory[TEXT_CAPACITY];   // the Windows directory followed by "\inf"
extern char deviceKey[TEXT_CAPACITY];      // the key under which the device line was found
extern char provider[TEXT_CAPACITY];       // the provider text
extern std::int32_t foundCount;            // records printed so far

// Returns every buffer above, and the output buffer, to its state at start-up, so that
// one process can run the detector more than once (tests, fuzzing).
void resetDetectorState();

// The run's exit status: whether it reported a package, and whether it could scan at all.
constexpr int EXIT_FOUND = 0;          // at least one package was reported
constexpr int EXIT_NONE_FOUND = 1;     // the INF folder was scanned and held none
constexpr int EXIT_NO_INF_FOLDER = 2;  // no Windows directory, or no INF folder to list in it,
                                       // or it went away during the scan; standard error
                                       // says where it was looked for
constexpr int EXIT_OUTPUT_FAILED = 3;  // the report could not be written whole to standard
                                       // output; standard error says why, unless a reader
                                       // of a pipe went away

// The whole run: banner, scan of the INF directory, one record per recognised package,
// the count, the prompt, and one line of standard input. Returns the exit status (of two
// failures, the scan's). When it could not scan, one line on standard error says where it
// looked; when standard output failed, one line says why; nothing else goes there.
int runDetector();

// Lets the compilers that can check printOut's values against its format, as they check
// printf's.
#if defined(__GNUC__)
#define DETECTOR_PRINTF_FORMAT(formatIndex, firstValueIndex) \
  __attribute__((format(printf, formatIndex, firstValueIndex)))
#else
#define DETECTOR_PRINTF_FORMAT(formatIndex, firstValueIndex)
#endif

// Formats with the C library's bounded formatter ("%s" and "%d") and writes the result to
// standard output in one write. The result always fits: the buffer is sized for the
// longest record.
void printOut(const char* format, ...) DETECTOR_PRINTF_FORMAT(1, 2);

// True when the device line names one of the two devices: it ends in either hardware ID,
// written in exactly that case.
bool isKnownDevice(const char* deviceLine);

// Reads DriverVer, Provider (resolved through [Strings]), the models section and the
// device line of the INF file at `path` into the buffers above.
void readDriverEntry(const char* path);

// Replaces deviceText with the device description from [Strings]. Called only after
// readDriverEntry for the same file, when its device line matched.
void resolveDeviceDescription(const char* path);

// Removes every "%" from `text` in place.
void stripPercent(char* text);

// Ends `text` in place at its first blank (0x20) or comma.
void cutAtSeparator(char* text);
