// The detector as a process whose standard streams are closed, at their end, a terminal,
// a file, a full device or a pipe nobody reads: each run must end by itself, with exit
// status 0 and nothing on standard error (where a sanitizer or the C++ runtime would report
// a crash), or, when the report could not be written, status 3 and the one line that says
// why. A file or a pipe gets the exact bytes; a terminal shows the values' letters in its
// locale's character set and never receives a control byte from a file.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "tests/hostile/inf_files.h"
#include "tests/support/child_process.h"

namespace hostile {
namespace {

using namespace support;

constexpr std::chrono::seconds RUN_LIMIT{120};

// What the test checks of the run's output.
enum class Expect {
  EXACT_OUTPUT,     // the bytes of banner, one record, count and prompt
  TERMINAL_TEXT,    // the same as a terminal shows it (CR LF turned into CR CR LF)
  NOTHING_TO_READ,  // the output goes where this test cannot read it
};

struct StreamCase {
  const char* name;
  Stream input, output, errors;
  Expect expect;
  const char* locale = "C";      // LANG for the run
  std::string terminalRecord{};  // for TerminalText: the record's value lines as shown
  Package package{};
};

// Values a terminal must show as the letters they are (code page 1252 bytes), and values
// that would drive it if their control bytes reached it.
Package accented() {
  Package package;
  package.provider = "M\xFCller Ger\xE4tebau";
  package.description = "\xC3\xC4 \x80uro";
  return package;
}
Package withEscapes() {
  Package package;
  package.provider = "\x1B[31mred\x1B[0m";
  package.description = "\x1B]0;pwned\x07\x7F\x81";
  return package;
}

// The value lines of the one record, as a terminal shows them (its line discipline turns
// each LF into CR LF): the tree drawn, or in ASCII where the locale's set has no box drawing.
std::string shownLines(const char* branch, const char* provider, const char* device) {
  return std::string(branch) + "provider: " + provider + "\r\r\n" + branch + "device  : " + device +
         "\r\r\n";
}
const char* const ASCII_BRANCH = "|-";
const char* const DRAWN_BRANCH = "├─";

using enum Stream;
const StreamCase CASES[] = {
    {"input_line", PIPE, PIPE, PIPE, Expect::EXACT_OUTPUT},
    {"input_closed", CLOSED, PIPE, PIPE, Expect::EXACT_OUTPUT},
    {"input_at_end", DEV_NULL, PIPE, PIPE, Expect::EXACT_OUTPUT},
    {"terminal_enter", TERMINAL, TERMINAL, PIPE, Expect::TERMINAL_TEXT, "C",
     shownLines(ASCII_BRANCH, "Quellmark", "Flash Device")},
    {"terminal_enter_utf8", TERMINAL, TERMINAL, PIPE, Expect::TERMINAL_TEXT, "C.UTF-8",
     shownLines(DRAWN_BRANCH, "Quellmark", "Flash Device")},
    // Each character a locale's set lacks is one ASCII letter or "?", so labels line up.
    {"terminal_accented", TERMINAL, TERMINAL, PIPE, Expect::TERMINAL_TEXT, "C",
     shownLines(ASCII_BRANCH, "Muller Geratebau", "AA ?uro"), accented()},
    {"terminal_accented_utf8", TERMINAL, TERMINAL, PIPE, Expect::TERMINAL_TEXT, "de_DE.UTF-8",
     shownLines(DRAWN_BRANCH, "Müller Gerätebau", "ÃÄ €uro"), accented()},
    {"terminal_accented_latin1", TERMINAL, TERMINAL, PIPE, Expect::TERMINAL_TEXT, "de_DE",
     shownLines(ASCII_BRANCH, "M\xFCller Ger\xE4tebau", "\xC3\xC4 ?uro"), accented()},
    {"terminal_accented_latin9", TERMINAL, TERMINAL, PIPE, Expect::TERMINAL_TEXT, "de_DE@euro",
     shownLines(ASCII_BRANCH, "M\xFCller Ger\xE4tebau", "\xC3\xC4 \xA4uro"), accented()},
    {"terminal_accented_koi8r", TERMINAL, TERMINAL, PIPE, Expect::TERMINAL_TEXT, "ru_RU.koi8r",
     shownLines("\x86\x80", "Muller Geratebau", "AA ?uro"), accented()},
    {"terminal_accented_eucjp", TERMINAL, TERMINAL, PIPE, Expect::TERMINAL_TEXT, "ja_JP.eucjp",
     shownLines("\xA8\xA7\xA8\xA1", "M\x8F\xAB\xE4ller Ger\x8F\xAB\xA3tebau",
                "\x8F\xAA\xAA\x8F\xAA\xA3 ?uro"),
     accented()},
    {"terminal_escapes", TERMINAL, TERMINAL, PIPE, Expect::TERMINAL_TEXT, "C",
     shownLines(ASCII_BRANCH, "?[31mred?[0m", "?]0;pwnedo??"), withEscapes()},
    {"terminal_escapes_utf8", TERMINAL, TERMINAL, PIPE, Expect::TERMINAL_TEXT, "C.UTF-8",
     shownLines(DRAWN_BRANCH, "←[31mred←[0m", "←]0;pwned•⌂\uFFFD"), withEscapes()},
    {"output_file_input_terminal", TERMINAL, FILE, PIPE, Expect::EXACT_OUTPUT, "C.UTF-8", "",
     withEscapes()},
    {"output_full", DEV_NULL, DEV_FULL, PIPE, Expect::NOTHING_TO_READ},
    {"output_closed", DEV_NULL, CLOSED, PIPE, Expect::NOTHING_TO_READ},
    {"output_reader_gone", DEV_NULL, READER_GONE, PIPE, Expect::NOTHING_TO_READ},
    {"output_at_null", DEV_NULL, DEV_NULL, PIPE, Expect::NOTHING_TO_READ},
    {"input_and_output_closed", CLOSED, CLOSED, PIPE, Expect::NOTHING_TO_READ},
    {"terminal_input_reader_gone", TERMINAL, READER_GONE, PIPE, Expect::NOTHING_TO_READ},
    {"all_closed", CLOSED, CLOSED, CLOSED, Expect::NOTHING_TO_READ},
};

// The text as a terminal shows it: its line discipline turns each LF into CR LF.
std::string onTerminal(const std::string& text) {
  std::string shown;
  for (const char c : text) shown += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return shown;
}

// A failing row names itself.
void PrintTo(const StreamCase& row, std::ostream* out) {
  *out << row.name;
}

class StandardStreams : public ::testing::TestWithParam<StreamCase> {};

// Lets the run reach its prompt and answers it the way its input allows: Enter on a
// terminal, a line and the end on a pipe, nothing otherwise.
void answerPrompt(ChildProcess& child, const StreamCase& row) {
  if (row.input == Stream::TERMINAL) {
    if (row.expect == Expect::TERMINAL_TEXT) {
      child.collectUntilOutputEndsWith(onTerminal(PROMPT), RUN_LIMIT);
    }
    child.sendInput("\r");
  } else if (row.input == Stream::PIPE) {
    child.sendInput("\n");
    child.closeInput();
  }
}

// A report that could not be written whole ends the run with status 3 and says why, but
// not to a reader that went away (as `yes | head` is not told).
int statusOf(const StreamCase& row) {
  return row.output == CLOSED || row.output == DEV_FULL || row.output == READER_GONE ? 3 : 0;
}
std::string errorsOf(const StreamCase& row) {
  if (row.errors == CLOSED || (row.output != CLOSED && row.output != DEV_FULL)) return "";
  return std::string("usb-flash-detect: could not write the report to standard output: ") +
         (row.output == CLOSED ? "Bad file descriptor" : "No space left on device") + "\r\n";
}

TEST_P(StandardStreams, RunEndsWithItsStatus) {
  const StreamCase& row = GetParam();
  const std::string prefix = std::string(WORK_DIRECTORY) + "/streams/" + row.name;
  std::string expected;
  ASSERT_TRUE(makeOnePackagePrefix(prefix, expected, row.package));

  ChildProcess child;
  ChildSetup setup;
  setup.command = {DETECTOR};
  setup.environment = {"WINEPREFIX=" + prefix, std::string("LANG=") + row.locale,
                       "LC_ALL=", "LC_CTYPE="};
  setup.input = row.input;
  setup.output = row.output;
  setup.errors = row.errors;
  setup.outputPath = prefix + "/stdout";
  ASSERT_TRUE(child.start(setup)) << child.failure();
  answerPrompt(child, row);
  const ChildOutcome outcome = child.wait(RUN_LIMIT);

  EXPECT_TRUE(exitedCleanly(outcome, statusOf(row))) << describe(outcome);
  EXPECT_EQ(child.errors(), errorsOf(row));
  if (row.expect == Expect::EXACT_OUTPUT) {
    EXPECT_EQ(row.output == Stream::FILE ? readWholeFile(setup.outputPath) : child.output(),
              expected);
  }
  if (row.expect == Expect::TERMINAL_TEXT) {
    EXPECT_EQ(child.output().find_first_of("\x1B\x07\x7F"), std::string::npos) << child.output();
    EXPECT_NE(child.output().find(row.terminalRecord), std::string::npos) << child.output();
    EXPECT_NE(child.output().find(onTerminal(countLine(1) + PROMPT)), std::string::npos)
        << child.output();
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, StandardStreams, ::testing::ValuesIn(CASES),
                         [](const ::testing::TestParamInfo<StreamCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace hostile
