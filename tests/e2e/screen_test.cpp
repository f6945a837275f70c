// The detector as a person sees it: run in a real terminal (tmux), in several locales, on
// the native build and on the Windows build under Wine, and read off the screen, since
// Wine's console adds cursor sequences of its own to the stream. The values are those of
// the console_text case: code page 1252 letters, UTF-16 Cyrillic and Japanese, and control
// bytes that would colour the terminal and set its title if they reached it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/files.h"

namespace {

using namespace std::chrono_literals;

enum class Build { NATIVE, WINE };

struct ScreenRow {
  const char* name;  // "native_..." or "wine_...": CTest runs each kind where it can
  Build build;
  const char* locale;
  std::vector<std::string> lines;  // lines the screen must show, trailing blanks cut
  bool outputToFile = false;       // standard output a file, input still the terminal
  const char* redirect = nullptr;  // or where the shell sends it: the lines then say why
};

const std::vector<std::string> SHOWN_EVERYWHERE = {
    "C:\\windows\\inf\\oem3.inf",
    "├─provider: ←[31mred←[0m",
    "├─device  : ←]0;pwned•title",
    "found 3 drivers",
    "press enter",
};

std::vector<std::string> with(std::vector<std::string> lines) {
  lines.insert(lines.end(), SHOWN_EVERYWHERE.begin(), SHOWN_EVERYWHERE.end());
  return lines;
}

// A report that could not be written: the screen says why.
ScreenRow failedWrite(const char* name, const char* redirect, const char* reason) {
  const std::string line = "usb-flash-detect: could not write the report to standard output: ";
  return {name, Build::WINE, "en_US.UTF-8", {line + reason}, false, redirect};
}

const ScreenRow ROWS[] = {
    {"native_utf8", Build::NATIVE, "C.UTF-8",
     with({"├─provider: Müller Gerätebau", "├─device  : Gerät ÃÄ mit Ümlaut €",
           "├─provider: ???????? ??????", "└─version : •bell⌂del\uFFFD"})},
    {"wine_en_US", Build::WINE, "en_US.UTF-8",
     with({"├─provider: Müller Gerätebau", "├─device  : Gerät ÃÄ mit Ümlaut €",
           "├─provider: ???????? ??????", "└─version : •bell⌂del\uFFFD"})},
    // The ANSI page is 1251: the reader answers the UTF-16 values in it, and reads the
    // single-byte file as 1251 text, as Windows does.
    {"wine_ru_RU", Build::WINE, "ru_RU.UTF-8",
     with({"├─provider: Квелмарк Мобайл", "├─device  : ???????", "├─provider: Mьller Gerдtebau",
           "└─version : •bell⌂delЃ"})},
    {"wine_ja_JP", Build::WINE, "ja_JP.UTF-8",
     with({"├─provider: Квелмарк Мобайл", "├─device  : フラッシュ装置",
           "└─version : 11/05/2015,3.0.1.7"})},
    {"wine_output_to_file", Build::WINE, "en_US.UTF-8", {}, true},
    failedWrite("wine_output_full", " > /dev/full", "Disk full"),
    failedWrite("wine_output_closed", " >&-", "Invalid handle"),
};

void PrintTo(const ScreenRow& row, std::ostream* out) {
  *out << row.name;
}

std::string quoted(const std::string& text) {
  return "'" + text + "'";
}

// One tmux server on a private socket with one window, whose pane stays once its program
// has ended, so that its last screen and exit status can be read.
class Terminal {
 public:
  explicit Terminal(std::string socket) : socket_(std::move(socket)) {}
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;
  ~Terminal() { (void)tmux({"kill-server"}); }

  bool start(const std::string& shellCommand) {
    return tmux({"new-session", "-d", "-x", "160", "-y", "50", shellCommand, ";", "set-option",
                 "remain-on-exit", "on"}) == 0;
  }
  std::string screen() { return query({"capture-pane", "-p"}); }
  std::string format(const std::string& text) { return query({"display-message", "-p", text}); }
  bool pressEnter() { return tmux({"send-keys", "Enter"}) == 0; }

  // Waits until `done` holds, for a minute at most (Wine may start slowly).
  template <typename Done>
  bool waitUntil(Done done) {
    for (auto waited = 0ms; waited < 60s; waited += 200ms) {
      if (done()) return true;
      std::this_thread::sleep_for(200ms);
    }
    return false;
  }

 private:
  int tmux(std::vector<std::string> arguments) {
    support::ChildSetup setup;
    setup.command = {SCREEN_TMUX, "-S", socket_, "-f", "/dev/null"};
    setup.command.insert(setup.command.end(), arguments.begin(), arguments.end());
    setup.environment = {"LC_ALL=C.UTF-8"};
    setup.outputPath = socket_ + ".out";
    return support::runToEnd(setup);
  }
  std::string query(std::vector<std::string> arguments) {
    if (tmux(std::move(arguments)) != 0) return "";
    return support::readWholeFile(socket_ + ".out");
  }

  std::string socket_;
};

// The screen's lines, trailing blanks cut.
std::vector<std::string> linesOf(const std::string& screen) {
  std::vector<std::string> lines;
  std::istringstream in(screen);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line.substr(0, line.find_last_not_of(' ') + 1));
  }
  return lines;
}

// Puts the case's INF folder into the prefix the row's build scans.
std::string preparePrefix(const ScreenRow& row) {
  namespace fs = std::filesystem;
  const std::string prefix = row.build == Build::WINE
                                 ? SCREEN_WINE_PREFIX
                                 : std::string(SCREEN_WORK_DIR) + "/native-prefix";
  const fs::path inf = fs::path(prefix) / "drive_c/windows/inf";
  fs::remove_all(inf);
  fs::create_directories(inf.parent_path());
  fs::copy(fs::path(SCREEN_CASE_DIR) / "drive_c/windows/inf", inf, fs::copy_options::recursive);
  return prefix;
}

std::string commandFor(const ScreenRow& row, const std::string& prefix,
                       const std::string& outputFile) {
  const std::string locale = "LC_ALL=" + std::string(row.locale) + " LANG=" + row.locale;
  std::string command =
      row.build == Build::WINE
          ? quoted(SCREEN_WINE_ENV) + " " + quoted(prefix) + " env " + locale + " " +
                quoted(SCREEN_WINE) + " " + quoted(SCREEN_WINDOWS_EXE)
          : "env WINEPREFIX=" + quoted(prefix) + " " + locale + " " + quoted(SCREEN_DETECTOR);
  if (row.redirect != nullptr) return command + row.redirect;
  return row.outputToFile ? command + " > " + quoted(outputFile) : command;
}

class Screen : public testing::TestWithParam<ScreenRow> {};

TEST_P(Screen, ShowsValuesAndObeysNoControlByte) {
  const ScreenRow& row = GetParam();
  const std::string work = std::string(SCREEN_WORK_DIR) + "/" + row.name;
  ASSERT_TRUE(support::freshDirectory(work));
  const std::string outputFile = work + "/stdout";
  const std::string expectedFile = std::string(SCREEN_CASE_DIR) + "/expected.out";
  Terminal terminal(work + "/tmux");
  ASSERT_TRUE(terminal.start(commandFor(row, preparePrefix(row), outputFile)));
  const std::string title = terminal.format("#{pane_title}");

  const char* awaited = row.redirect != nullptr ? "usb-flash-detect:" : "press enter";
  const bool prompted = terminal.waitUntil([&] {
    return row.outputToFile
               ? support::readWholeFile(outputFile) == support::readWholeFile(expectedFile)
               : terminal.screen().find(awaited) != std::string::npos;
  });
  const std::string screen = terminal.screen();
  EXPECT_TRUE(prompted) << screen;
  const std::vector<std::string> shown = linesOf(screen);
  for (const std::string& line : row.lines) {
    EXPECT_TRUE(std::find(shown.begin(), shown.end(), line) != shown.end())
        << "not on the screen: " << line << "\n"
        << screen;
  }
  EXPECT_EQ(terminal.format("#{pane_title}"), title);
  // Wine may discard input that comes before its console reads (it flushes the terminal
  // when it sets its mode), so Enter is pressed until the run lets go of the terminal. (Its
  // exit status is checked by the e2e cases: Wine's console may close the terminal before
  // the process is reaped.)
  EXPECT_TRUE(terminal.waitUntil([&] {
    return terminal.format("#{pane_dead}") == "1\n" || !terminal.pressEnter();
  })) << terminal.screen();
}

INSTANTIATE_TEST_SUITE_P(Rows, Screen, testing::ValuesIn(ROWS),
                         [](const testing::TestParamInfo<ScreenRow>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
