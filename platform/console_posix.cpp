// Standard output and input on POSIX systems. A file or a pipe gets the detector's bytes as
// they are. A terminal gets the message laid out for a screen, its text read in code page
// 1252 (the reader's answers are in it), in the character set of the user's locale as the
// C library names it: UTF-8 as it is, any other set through the C library's converter
// (platform/terminal_charset_posix.h). A message that cannot be laid out goes as its bytes
// with control bytes as "?", so that a value from a file can never drive the terminal.
#include <langinfo.h>
#include <locale.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/platform.h"
#include "platform/terminal_charset_posix.h"
#include "windows_text/bounded_text.h"
#include "windows_text/screen_text.h"

namespace platform {
namespace {

enum class Screen { NONE, UTF8_TERMINAL, OTHER_TERMINAL, UNKNOWN_TERMINAL };

// The converter to the terminal's set, opened once before the run.
TerminalCharset terminalCharset;

// The first failed write to standard output: its errno, or 0 while every write went whole.
int firstOutputError = 0;

// Writes all of `bytes`, going on after partial writes. Returns 0, or errno on an error.
int writeAll(int descriptor, const char* bytes, std::size_t length) {
  while (length > 0) {
    const ssize_t written = write(descriptor, bytes, length);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return errno;
    if (written == 0) return EIO;
    bytes += written;
    length -= static_cast<std::size_t>(written);
  }
  return 0;
}

void writeOutput(const char* bytes, std::size_t length) {
  const int error = writeAll(STDOUT_FILENO, bytes, length);
  if (firstOutputError == 0) firstOutputError = error;
}

// The character set of the user's locale (LC_ALL, LC_CTYPE, LANG), as the C library
// names it, without changing the process's own locale.
Screen terminalScreen() {
  const locale_t user = newlocale(LC_CTYPE_MASK, "", nullptr);
  const char* codeset = user != nullptr ? nl_langinfo_l(CODESET, user) : "ANSI_X3.4-1968";
  const Screen screen = std::strcmp(codeset, "UTF-8") == 0 ? Screen::UTF8_TERMINAL
                        : terminalCharset.open(codeset)    ? Screen::OTHER_TERMINAL
                                                           : Screen::UNKNOWN_TERMINAL;
  if (user != nullptr) freelocale(user);
  return screen;
}

Screen standardOutputScreen() {
  static const Screen screen = isatty(STDOUT_FILENO) != 1 ? Screen::NONE : terminalScreen();
  return screen;
}

// The bytes with every control byte but the line ends as "?".
void writeWithoutControls(const char* bytes, std::size_t length) {
  char shown[SHOWN_MESSAGE_CAPACITY];
  while (length > 0) {
    const std::size_t part = length < sizeof shown ? length : sizeof shown;
    screen_text::replaceControlBytes(bytes, part, shown);
    writeOutput(shown, part);
    bytes += part;
    length -= part;
  }
}

// The message laid out for the screen, in the terminal's set; false when it does not fit.
bool writeLaidOut(const char* bytes, std::size_t length, Screen screen) {
  static char16_t units[SHOWN_MESSAGE_CAPACITY];
  static char shown[4 * SHOWN_MESSAGE_CAPACITY + TerminalCharset::CHARACTER_BYTES];
  std::size_t count = 0;
  std::size_t shownLength = 0;
  if (!screen_text::layOut(bytes, length, screen_text::decodeCodePage1252, units,
                           SHOWN_MESSAGE_CAPACITY, count)) {
    return false;
  }
  const bool converted =
      screen == Screen::UTF8_TERMINAL
          ? screen_text::toUtf8(units, count, shown, sizeof shown, shownLength)
          : terminalCharset.convert(units, count, shown, sizeof shown, shownLength);
  if (converted) writeOutput(shown, shownLength);
  return converted;
}

}  // namespace

void prepareProcess() {
  // A reader that goes away fails the write (EPIPE) instead of ending the process.
  (void)std::signal(SIGPIPE, SIG_IGN);
  (void)standardOutputScreen();  // opens the converter before the run
}

void writeStandardOutput(const char* bytes, std::size_t length) {
  const Screen screen = standardOutputScreen();
  if (screen == Screen::NONE) {
    writeOutput(bytes, length);
  } else if (screen == Screen::UNKNOWN_TERMINAL || !writeLaidOut(bytes, length, screen)) {
    writeWithoutControls(bytes, length);
  }
}

OutputOutcome standardOutputOutcome(char* reason, std::size_t capacity) {
  if (capacity > 0) reason[0] = '\0';
  if (firstOutputError == 0) return OutputOutcome::WHOLE;
  if (firstOutputError == EPIPE) return OutputOutcome::READER_GONE;
  (void)copyText(reason, capacity, std::strerror(firstOutputError));
  return OutputOutcome::FAILED;
}

void writeStandardError(const char* bytes, std::size_t length) {
  (void)writeAll(STDERR_FILENO, bytes, length);
}

void consumeStandardInputLine() {
  char chunk[4096];
  for (;;) {
    const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || std::memchr(chunk, '\n', static_cast<std::size_t>(got)) != nullptr) return;
  }
}

}  // namespace platform
