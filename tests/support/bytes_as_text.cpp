#include "tests/support/bytes_as_text.h"

#include <cstdio>

namespace support {

namespace {

constexpr char HEX_DIGITS[] = "0123456789abcdef";

int hexValue(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  return -1;
}

}  // namespace

std::string toHex(std::string_view bytes) {
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    hex += HEX_DIGITS[byte >> 4];
    hex += HEX_DIGITS[byte & 0x0F];
  }
  return hex;
}

bool fromHex(std::string_view hex, std::string& bytes) {
  if (hex.size() % 2 != 0) return false;
  bytes.clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = hexValue(hex[i]);
    const int low = hexValue(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes += static_cast<char>(high * 16 + low);
  }
  return true;
}

std::string escapeBytes(std::string_view bytes) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size();) {
    std::size_t run = 1;
    while (i + run < bytes.size() && bytes[i + run] == bytes[i]) ++run;
    const auto byte = static_cast<unsigned char>(bytes[i]);
    std::string shown;
    if (byte == '\r' || byte == '\n' || byte == '\t' || byte == '\\') {
      shown = byte == '\r' ? "\\r" : byte == '\n' ? "\\n" : byte == '\t' ? "\\t" : "\\\\";
    } else if (byte >= 0x20 && byte < 0x7F && byte != '"') {
      shown = std::string(1, static_cast<char>(byte));
    } else {
      char hex[8];
      (void)std::snprintf(hex, sizeof hex, "\\x%02x", byte);
      shown = hex;
    }
    if (run > 8) {
      text += "\\{" + std::to_string(run) + "*" + shown + "}";
      i += run;
    } else {
      text += shown;
      ++i;
    }
  }
  return text;
}

}  // namespace support
