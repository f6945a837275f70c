#include "platform/terminal_charset_posix.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "windows_text/screen_text.h"
#include "windows_text/utf8.h"

namespace platform {
namespace {

// iconv_open's converter from UTF-8 to `codeset`, or nullptr when it has none.
iconv_t openConverter(const char* codeset) {
  void* const converter = iconv_open(codeset, "UTF-8");
  return reinterpret_cast<std::intptr_t>(converter) == -1 ? nullptr : converter;
}

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

}  // namespace

TerminalCharset::~TerminalCharset() {
  if (exact_ != nullptr) iconv_close(exact_);
  if (nearest_ != nullptr) iconv_close(nearest_);
  if (transliteration_ != nullptr) freelocale(transliteration_);
}

bool TerminalCharset::open(const char* codeset) {
  exact_ = openConverter(codeset);
  nearest_ = openConverter((std::string(codeset) + "//TRANSLIT").c_str());
  // The C locale's tables know no nearest letters; those of C.UTF-8 hold one per letter.
  transliteration_ = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  return exact_ != nullptr;
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
  if (nearest_ == nullptr) return '?';
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
    if (!putCharacter(screen_text::nextCharacter(units, count, i), at, left)) return false;
  }
  if (!resetState(exact_, at, left)) return false;
  length = static_cast<std::size_t>(at - out);
  return true;
}

}  // namespace platform
