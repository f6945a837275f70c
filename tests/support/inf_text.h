// Text as it is stored in an INF file: code points encoded in one of the encodings the
// Windows reader meets, with or without a byte-order mark.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace support {

enum class Encoding {
  ASCII,  // seven bits only: text that holds nothing else, stored as it is
  ANSI,   // one byte per character: its code point's low byte (code page 1252 agrees with
          // Latin-1 on the letters written this way)
  UTF8_BOM,
  UTF8_PLAIN,  // UTF-8 without a mark: the reader takes it as single bytes
  UTF16LE_BOM,
  UTF16BE_BOM,
  UTF16LE_PLAIN,  // UTF-16 without a mark: read as single bytes, NULs and all
  UTF16BE_PLAIN,
};

// How lines end: one kind throughout, or a mix of CR LF, LF and CR.
enum class LineEnd { CRLF, LF, CR, MIXED };

// Code points from here on stand for one raw byte in a UTF-8 or UTF-16 file: invalid
// sequences and odd bytes.
inline constexpr char32_t RAW_BYTE = 0x110000;

// The UTF-16 encoding of that byte order, with or without its mark.
Encoding utf16Encoding(bool bigEndian, bool withMark);

// The byte-order mark the encoding starts a file with; empty for none.
std::string_view byteOrderMark(Encoding encoding);

// The bytes of `text`, without the mark. In UTF-16 a code point below 0x10000 is one unit,
// a lone surrogate included.
std::string encodeText(std::u32string_view text, Encoding encoding);

// The code points of UTF-8 text, up to four bytes each; not checked for errors.
std::u32string decodeUtf8(std::string_view utf8);

// The parts one after another. Text whose parts draw from a seeded source is joined here,
// not with +: a braced list is evaluated in order, the operands of + in whatever order the
// compiler picks, so the same seed would give other bytes with another compiler.
std::string join(std::initializer_list<std::string_view> parts);
std::u32string join(std::initializer_list<std::u32string_view> parts);

// Shorthands for the reader's test tables: UTF-16 units (lone surrogates kept) and UTF-8
// text as file bytes, with their mark unless told otherwise.
std::string utf16(std::u16string_view units, bool bigEndian, bool withMark = true);
std::string utf16le(std::u16string_view units);
std::string utf8WithMark(std::string_view text);

}  // namespace support
