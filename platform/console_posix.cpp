// Standard output and input on POSIX systems. A file or a pipe gets the detector's bytes as
// they are. A terminal whose locale is UTF-8 gets the message laid out for a screen, its
// text read in code page 1252 (the reader's answers are in it), as UTF-8; a terminal in
// another locale, whose character set is unknown here, gets the bytes with control bytes
// as "?", so that a value from a file can never drive it.
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "windows_text/screen_text.h"

namespace platform {
namespace {

enum class Screen { NONE, UTF8_TERMINAL, OTHER_TERMINAL };

// Writes all of `bytes`, going on after partial writes; gives up on an error.
void writeAll(int descriptor, const char* bytes, std::size_t length) {
  while (length > 0) {
    const ssize_t written = write(descriptor, bytes, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    bytes += written;
    length -= static_cast<std::size_t>(written);
  }
}

bool mentionsUtf8(const char* value) {
  for (const char* c = value; *c != '\0'; ++c) {
    if (strncasecmp(c, "UTF-8", 5) == 0 || strncasecmp(c, "UTF8", 4) == 0) return true;
  }
  return false;
}

// The character set in force, as the locale variables name it (the first one set wins).
bool localeIsUtf8() {
  static const char* const VARIABLES[] = {"LC_ALL", "LC_CTYPE", "LANG"};
  for (const char* variable : VARIABLES) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return mentionsUtf8(value);
  }
  return false;
}

Screen standardOutputScreen() {
  static const Screen screen = isatty(STDOUT_FILENO) != 1 ? Screen::NONE
                               : localeIsUtf8()           ? Screen::UTF8_TERMINAL
                                                          : Screen::OTHER_TERMINAL;
  return screen;
}

// A control byte of the screen's rule that is not a line end.
bool isControlByte(unsigned char byte) {
  return byte != '\r' && byte != '\n' && screen_text::isControl(byte);
}

// The bytes with every control byte but the line ends as "?".
void writeWithoutControls(const char* bytes, std::size_t length) {
  char shown[SHOWN_MESSAGE_CAPACITY];
  while (length > 0) {
    const std::size_t part = length < sizeof shown ? length : sizeof shown;
    for (std::size_t i = 0; i < part; ++i) {
      shown[i] = isControlByte(static_cast<unsigned char>(bytes[i])) ? '?' : bytes[i];
    }
    writeAll(STDOUT_FILENO, shown, part);
    bytes += part;
    length -= part;
  }
}

// The message laid out for the screen, as UTF-8; false when it does not fit.
bool writeLaidOut(const char* bytes, std::size_t length) {
  static char16_t units[SHOWN_MESSAGE_CAPACITY];
  static char shown[3 * SHOWN_MESSAGE_CAPACITY];
  std::size_t count = 0;
  std::size_t shownLength = 0;
  if (!screen_text::layOut(bytes, length, screen_text::decodeCodePage1252, units,
                           SHOWN_MESSAGE_CAPACITY, count) ||
      !screen_text::toUtf8(units, count, shown, sizeof shown, shownLength)) {
    return false;
  }
  writeAll(STDOUT_FILENO, shown, shownLength);
  return true;
}

}  // namespace

void prepareProcess() {
  (void)std::signal(SIGPIPE, SIG_IGN);
}

void writeStandardOutput(const char* bytes, std::size_t length) {
  switch (standardOutputScreen()) {
    case Screen::NONE:
      writeAll(STDOUT_FILENO, bytes, length);
      return;
    case Screen::UTF8_TERMINAL:
      if (writeLaidOut(bytes, length)) return;
      [[fallthrough]];
    case Screen::OTHER_TERMINAL:
      writeWithoutControls(bytes, length);
      return;
  }
}

void writeStandardError(const char* bytes, std::size_t length) {
  writeAll(STDERR_FILENO, bytes, length);
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
