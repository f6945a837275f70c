// File bytes in the encodings with a byte-order mark that the INF reader decodes, for the
// reader's test tables.
#pragma once

#include <string>
#include <string_view>

namespace test_text {

inline std::string utf16(std::u16string_view text, bool bigEndian, bool withMark = true) {
  std::string bytes = withMark ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
  for (const char16_t unit : text) {
    const char low = static_cast<char>(unit & 0xFF);
    const char high = static_cast<char>(unit >> 8);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

inline std::string utf16le(std::u16string_view text) {
  return utf16(text, false);
}

inline std::string utf8WithMark(std::string_view text) {
  return "\xEF\xBB\xBF" + std::string(text);
}

}  // namespace test_text
