#include "windows_text/windows_names.h"

#include <cstring>

#include "windows_text/code_page_1252.h"

namespace windows_names {
namespace {

constexpr char UNREACHABLE = '?';

bool isContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Decodes one UTF-8 sequence at `at` into `point`; returns its length, or 0 when the bytes
// there are not a sound sequence (overlong, a surrogate, past U+10FFFF, or cut short).
std::size_t decodeSequence(const unsigned char* at, unsigned long& point) {
  std::size_t length = 0;
  unsigned long lowest = 0;
  if (at[0] >= 0xC2 && at[0] <= 0xDF) {
    length = 2, point = at[0] & 0x1Fu, lowest = 0x80;
  } else if (at[0] >= 0xE0 && at[0] <= 0xEF) {
    length = 3, point = at[0] & 0x0Fu, lowest = 0x800;
  } else if (at[0] >= 0xF0 && at[0] <= 0xF4) {
    length = 4, point = at[0] & 0x07u, lowest = 0x10000;
  } else {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (!isContinuation(at[i])) return 0;  // also stops at the terminator
    point = point << 6 | (at[i] & 0x3Fu);
  }
  const bool surrogate = point >= 0xD800 && point <= 0xDFFF;
  return point < lowest || surrogate || point > 0x10FFFF ? 0 : length;
}

// Appends the ANSI bytes for one code point: one byte, or one per UTF-16 unit outside the
// basic plane (each a "?").
bool appendPoint(unsigned long point, char* out, std::size_t& used, std::size_t capacity) {
  const bool pair = point >= 0x10000;
  if (used + (pair ? 2 : 1) >= capacity) return false;
  if (pair) {
    out[used++] = UNREACHABLE;
    out[used++] = UNREACHABLE;
  } else {
    out[used++] = static_cast<char>(code_page_1252::fromUtf16(static_cast<char16_t>(point)));
  }
  return true;
}

// The UTF-8 bytes of one UTF-16 unit of the basic plane; returns how many.
std::size_t encodeUnit(char16_t unit, char* out) {
  if (unit < 0x80) {
    out[0] = static_cast<char>(unit);
    return 1;
  }
  if (unit < 0x800) {
    out[0] = static_cast<char>(0xC0 | unit >> 6);
    out[1] = static_cast<char>(0x80 | (unit & 0x3F));
    return 2;
  }
  out[0] = static_cast<char>(0xE0 | unit >> 12);
  out[1] = static_cast<char>(0x80 | (unit >> 6 & 0x3F));
  out[2] = static_cast<char>(0x80 | (unit & 0x3F));
  return 3;
}

}  // namespace

bool fromHostName(const char* hostName, char* windowsName, std::size_t capacity) {
  const auto* at = reinterpret_cast<const unsigned char*>(hostName);
  std::size_t used = 0;
  while (*at != '\0') {
    unsigned long point = *at;
    std::size_t length = *at < 0x80 ? 1 : decodeSequence(at, point);
    if (length == 0) point = UNREACHABLE, length = 1;
    if (!appendPoint(point, windowsName, used, capacity)) return false;
    at += length;
  }
  if (used >= capacity) return false;
  windowsName[used] = '\0';
  return true;
}

bool appendHostName(const char* windowsName, std::size_t length, char* hostPath,
                    std::size_t capacity) {
  const std::size_t start = std::strlen(hostPath);
  std::size_t used = start;
  for (std::size_t i = 0; i < length; ++i) {
    char encoded[3];
    const auto byte = static_cast<unsigned char>(windowsName[i]);
    const std::size_t count = encodeUnit(code_page_1252::toUtf16(byte), encoded);
    if (used + count >= capacity) {
      hostPath[start] = '\0';
      return false;
    }
    std::memcpy(hostPath + used, encoded, count);
    used += count;
  }
  hostPath[used] = '\0';
  return true;
}

}  // namespace windows_names
