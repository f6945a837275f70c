#include "tests/support/inf_text.h"

#include "windows_text/utf8.h"

namespace support {

namespace {

// UTF-8 through the product's one encoder; a raw byte as itself.
void appendUtf8(std::string& out, char32_t c) {
  if (c >= RAW_BYTE) {
    out += static_cast<char>(c - RAW_BYTE);
    return;
  }
  char bytes[utf8::MAX_SEQUENCE];
  out.append(bytes, utf8::encode(c, bytes));
}

void appendUnit(std::string& out, char32_t unit, bool bigEndian) {
  const char high = static_cast<char>((unit >> 8) & 0xFF);
  const char low = static_cast<char>(unit & 0xFF);
  out += bigEndian ? high : low;
  out += bigEndian ? low : high;
}

void appendUtf16(std::string& out, char32_t c, bool bigEndian) {
  if (c >= RAW_BYTE) {
    out += static_cast<char>(c - RAW_BYTE);
  } else if (c >= 0x10000) {
    appendUnit(out, 0xD800 + ((c - 0x10000) >> 10), bigEndian);
    appendUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF), bigEndian);
  } else {
    appendUnit(out, c, bigEndian);
  }
}

template <typename Char>
std::basic_string<Char> joinParts(std::initializer_list<std::basic_string_view<Char>> parts) {
  std::basic_string<Char> joined;
  for (const std::basic_string_view<Char> part : parts) joined += part;
  return joined;
}

bool isUtf16(Encoding encoding) {
  return encoding >= Encoding::UTF16LE_BOM;
}

bool isBigEndian(Encoding encoding) {
  return encoding == Encoding::UTF16BE_BOM || encoding == Encoding::UTF16BE_PLAIN;
}

}  // namespace

Encoding utf16Encoding(bool bigEndian, bool withMark) {
  if (bigEndian) return withMark ? Encoding::UTF16BE_BOM : Encoding::UTF16BE_PLAIN;
  return withMark ? Encoding::UTF16LE_BOM : Encoding::UTF16LE_PLAIN;
}

std::string_view byteOrderMark(Encoding encoding) {
  switch (encoding) {
    case Encoding::UTF8_BOM:
      return "\xEF\xBB\xBF";
    case Encoding::UTF16LE_BOM:
      return "\xFF\xFE";
    case Encoding::UTF16BE_BOM:
      return "\xFE\xFF";
    default:
      return {};
  }
}

std::string encodeText(std::u32string_view text, Encoding encoding) {
  std::string out;
  for (const char32_t c : text) {
    if (isUtf16(encoding)) {
      appendUtf16(out, c, isBigEndian(encoding));
    } else if (encoding == Encoding::ANSI) {
      out += static_cast<char>(c & 0xFF);
    } else {
      appendUtf8(out, c);
    }
  }
  return out;
}

std::u32string decodeUtf8(std::string_view utf8) {
  std::u32string points;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i++]);
    const int continuations = lead < 0xC0 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    char32_t point = continuations == 0 ? lead : lead & (0x3F >> continuations);
    for (int k = 0; k < continuations && i < utf8.size(); ++k) {
      point = point << 6 | (static_cast<unsigned char>(utf8[i++]) & 0x3F);
    }
    points += point;
  }
  return points;
}

std::string join(std::initializer_list<std::string_view> parts) {
  return joinParts(parts);
}

std::u32string join(std::initializer_list<std::u32string_view> parts) {
  return joinParts(parts);
}

std::string utf16(std::u16string_view units, bool bigEndian, bool withMark) {
  const Encoding encoding = utf16Encoding(bigEndian, withMark);
  const std::u32string points(units.begin(), units.end());
  return std::string(byteOrderMark(encoding)) + encodeText(points, encoding);
}

std::string utf16le(std::u16string_view units) {
  return utf16(units, false);
}

std::string utf8WithMark(std::string_view text) {
  return std::string(byteOrderMark(Encoding::UTF8_BOM)) + std::string(text);
}

}  // namespace support
