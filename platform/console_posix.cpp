// Standard output and input on POSIX systems. Output bytes go out as they are, except on
// a terminal whose locale is UTF-8: there the bytes above 0x7F are shown as a Windows
// console shows them in code page 437, so the record's tree reads as lines, not noise.
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace platform {
namespace {

// Code page 437, bytes 0x80 to 0xFF, as Unicode code points.
constexpr char16_t CODE_PAGE_437_HIGH[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// Writes all of `bytes`, going on after partial writes; gives up on an error.
void writeAll(const char* bytes, std::size_t length) {
  while (length > 0) {
    const ssize_t written = write(STDOUT_FILENO, bytes, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    bytes += written;
    length -= static_cast<std::size_t>(written);
  }
}

bool mentionsUtf8(const char* value) {
  if (value == nullptr) return false;
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

bool showsCodePage437() {
  static const bool shows = isatty(STDOUT_FILENO) == 1 && localeIsUtf8();
  return shows;
}

std::size_t encodeUtf8(char16_t codePoint, char* out) {
  if (codePoint < 0x800) {
    out[0] = static_cast<char>(0xC0 | (codePoint >> 6));
    out[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
    return 2;
  }
  out[0] = static_cast<char>(0xE0 | (codePoint >> 12));
  out[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
  out[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
  return 3;
}

void writeAsCodePage437(const char* bytes, std::size_t length) {
  char chunk[1024];
  std::size_t used = 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (used > sizeof chunk - 3) {
      writeAll(chunk, used);
      used = 0;
    }
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte < 0x80) {
      chunk[used++] = static_cast<char>(byte);
    } else {
      used += encodeUtf8(CODE_PAGE_437_HIGH[byte - 0x80], chunk + used);
    }
  }
  writeAll(chunk, used);
}

}  // namespace

void prepareProcess() {
  (void)std::signal(SIGPIPE, SIG_IGN);
}

void writeStandardOutput(const char* bytes, std::size_t length) {
  if (showsCodePage437()) {
    writeAsCodePage437(bytes, length);
  } else {
    writeAll(bytes, length);
  }
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
