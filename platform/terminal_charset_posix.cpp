#include "platform/terminal_charset_posix.h"

#include <cstring>
#include <string>

#include "windows_text/utf8.h"

namespace platform {
namespace {

const iconv_t NO_CONVERTER = reinterpret_cast<iconv_t>(-1);

// The tree's box-drawing characters in ASCII, or 0 for another character.
char treeInAscii(char32_t point) {
  switch (point) {
    case 0x251C:  // ├
      return '|';
    case 0x2514:  // └
      return '`';
    case 0x2500:  // ─
      return '-';
    default:
      return 0;
  }
}

// Converts all of `in` into `out`; false when the converter refuses any of it.
bool convertWhole(iconv_t converter, const char* in, std::size_t size, char*& out,
                  std::size_t& left) {
  char* from = const_cast<char*>(in);  // iconv's parameter is not const
  return iconv(converter, &from, &size, &out, &left) != static_cast<std::size_t>(-1) && size == 0;
}

// Returns a converter's shift state to the initial one, writing what that takes.
bool resetState(iconv_t converter, char*& out, std::size_t& left) {
  return iconv(converter, nullptr, nullptr, &out, &left) != static_cast<std::size_t>(-1);
}

// The next code point of laid-out units: surrogate pairs joined, a lone one as U+FFFD.
char32_t nextPoint(const char16_t* units, std::size_t count, std::size_t& i) {
  const char32_t unit = units[i++];
  if (unit >= 0xD800 && unit <= 0xDBFF && i < count && units[i] >= 0xDC00 && units[i] <= 0xDFFF) {
    return 0x10000 + ((unit - 0xD800) << 10) + (units[i++] - 0xDC00);
  }
  return unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit;
}

}  // namespace

TerminalCharset::~TerminalCharset() {
  if (exact_ != NO_CONVERTER) iconv_close(exact_);
  if (nearest_ != NO_CONVERTER) iconv_close(nearest_);
  if (transliteration_ != nullptr) freelocale(transliteration_);
}

bool TerminalCharset::open(const char* codeset) {
  exact_ = iconv_open(codeset, "UTF-8");
  nearest_ = iconv_open((std::string(codeset) + "//TRANSLIT").c_str(), "UTF-8");
  // The C locale's tables know no nearest letters; those of C.UTF-8 hold one per letter.
  transliteration_ = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  return exact_ != NO_CONVERTER;
}

bool TerminalCharset::putExact(const char* utf8, std::size_t size, char*& out, std::size_t& left) {
  char converted[CHARACTER_BYTES];
  char* end = converted;
  std::size_t room = sizeof converted;
  if (!convertWhole(exact_, utf8, size, end, room)) return false;
  const auto length = static_cast<std::size_t>(end - converted);
  std::memcpy(out, converted, length);
  out += length;
  left -= length;
  return true;
}

char TerminalCharset::nearestAscii(const char* utf8, std::size_t size) {
  if (nearest_ == NO_CONVERTER) return '?';
  char converted[CHARACTER_BYTES];
  char* end = converted;
  std::size_t room = sizeof converted;
  const locale_t previous =
      transliteration_ != nullptr ? uselocale(transliteration_) : static_cast<locale_t>(nullptr);
  const bool whole = convertWhole(nearest_, utf8, size, end, room);
  if (previous != nullptr) uselocale(previous);
  char* rest = end;
  (void)resetState(nearest_, rest, room);
  const bool oneLetter =
      whole && rest == converted + 1 && converted[0] >= 0x20 && converted[0] < 0x7F;
  return oneLetter ? converted[0] : '?';
}

bool TerminalCharset::putCharacter(char32_t point, char*& out, std::size_t& left) {
  if (left < CHARACTER_BYTES) return false;
  char utf8Bytes[utf8::MAX_SEQUENCE];
  const std::size_t size = utf8::encode(point, utf8Bytes);
  if (putExact(utf8Bytes, size, out, left)) return true;
  // A locale's set has no shift states, so an ASCII byte can stand anywhere.
  const char tree = treeInAscii(point);
  *out++ = tree != 0 ? tree : nearestAscii(utf8Bytes, size);
  --left;
  return true;
}

bool TerminalCharset::convert(const char16_t* units, std::size_t count, char* out,
                              std::size_t capacity, std::size_t& length) {
  char* at = out;
  std::size_t left = capacity;
  (void)resetState(exact_, at, left);
  for (std::size_t i = 0; i < count;) {
    if (!putCharacter(nextPoint(units, count, i), at, left)) return false;
  }
  if (!resetState(exact_, at, left)) return false;
  length = static_cast<std::size_t>(at - out);
  return true;
}

}  // namespace platform
