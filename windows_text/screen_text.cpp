#include "windows_text/screen_text.h"

#include <cstring>

#include "windows_text/code_page_1252.h"
#include "windows_text/utf8.h"

namespace screen_text {
namespace {

constexpr char16_t TREE_BRANCH = 0x251C;  // ├
constexpr char16_t TREE_LAST = 0x2514;    // └
constexpr char16_t TREE_LINE = 0x2500;    // ─
constexpr char16_t REPLACEMENT = 0xFFFD;
constexpr char16_t DELETE_GLYPH = 0x2302;  // ⌂

// What code page 437 draws for the bytes 0x00 to 0x1F (0x00 as a blank).
constexpr char16_t CONTROL_GLYPHS[32] = {
    0x0020, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8, 0x25CB, 0x25D9,
    0x2642, 0x2640, 0x266A, 0x266B, 0x263C, 0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7,
    0x25AC, 0x21A8, 0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
};

// A decoded unit of text as it may reach a screen.
char16_t visible(char16_t unit) {
  if (isBidiControl(unit)) return REPLACEMENT;
  if (!isControl(unit)) return unit;
  if (unit < 0x20) return CONTROL_GLYPHS[unit];
  return unit == 0x7F ? DELETE_GLYPH : REPLACEMENT;
}

bool isLineEnd(char c) {
  return c == '\r' || c == '\n';
}

// The corner of a tree pair at `at`, or 0 when the bytes there are no pair.
char16_t treeCorner(const char* at, const char* end) {
  if (end - at < 2 || static_cast<unsigned char>(at[1]) != 0xC4) return 0;
  switch (static_cast<unsigned char>(at[0])) {
    case 0xC3:
      return TREE_BRANCH;
    case 0xC0:
      return TREE_LAST;
    default:
      return 0;
  }
}

class Screen {
 public:
  Screen(char16_t* units, std::size_t capacity) : units_(units), capacity_(capacity) {}

  bool put(char16_t unit) {
    if (used_ == capacity_) return false;
    units_[used_++] = unit;
    return true;
  }

  bool putText(const char* bytes, std::size_t length, DecodeText decode) {
    const std::size_t decoded = decode(bytes, length, units_ + used_, capacity_ - used_);
    if (decoded == 0 || decoded > capacity_ - used_) return false;
    for (std::size_t i = used_; i < used_ + decoded; ++i) units_[i] = visible(units_[i]);
    used_ += decoded;
    return true;
  }

  std::size_t used() const { return used_; }

 private:
  char16_t* units_;
  std::size_t capacity_;
  std::size_t used_ = 0;
};

const char* textEnd(const char* at, const char* end) {
  while (at < end && !isLineEnd(*at)) ++at;
  return at;
}

// Lays out the bytes at `at` up to the next line end: the tree pair a line may start with,
// then text.
bool layOutRun(const char*& at, const char* end, bool lineStart, DecodeText decode,
               Screen& screen) {
  const char16_t corner = lineStart ? treeCorner(at, end) : 0;
  if (corner != 0) {
    if (!screen.put(corner) || !screen.put(TREE_LINE)) return false;
    at += 2;
  }
  const char* stop = textEnd(at, end);
  if (stop != at && !screen.putText(at, static_cast<std::size_t>(stop - at), decode)) {
    return false;
  }
  at = stop;
  return true;
}

}  // namespace

bool isControl(char32_t character) {
  return (character < 0x20 && character != '\t') || character == 0x7F ||
         (character >= 0x80 && character <= 0x9F);
}

bool isBidiControl(char32_t character) {
  return (character >= 0x202A && character <= 0x202E) ||
         (character >= 0x2066 && character <= 0x2069) || character == 0x200E ||
         character == 0x200F || character == 0x061C;
}

void replaceControlBytes(const char* bytes, std::size_t length, char* out) {
  for (std::size_t i = 0; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    out[i] = isControl(byte) && !isLineEnd(bytes[i]) ? '?' : bytes[i];
  }
}

bool layOut(const char* message, std::size_t length, DecodeText decode, char16_t* screen,
            std::size_t capacity, std::size_t& count) {
  Screen out(screen, capacity);
  const char* at = message;
  const char* const end = message + length;
  bool lineStart = true;
  while (at < end) {
    if (isLineEnd(*at)) {
      lineStart = *at == '\n';
      if (!out.put(static_cast<char16_t>(*at++))) return false;
    } else {
      if (!layOutRun(at, end, lineStart, decode, out)) return false;
      lineStart = false;
    }
  }
  count = out.used();
  return true;
}

std::size_t decodeCodePage1252(const char* bytes, std::size_t length, char16_t* units,
                               std::size_t capacity) {
  if (length > capacity) return 0;
  for (std::size_t i = 0; i < length; ++i) {
    units[i] = code_page_1252::toUtf16(static_cast<unsigned char>(bytes[i]));
  }
  return length;
}

char32_t nextCharacter(const char16_t* units, std::size_t count, std::size_t& at) {
  const char32_t unit = units[at++];
  const bool high = unit >= 0xD800 && unit <= 0xDBFF;
  if (high && at < count && units[at] >= 0xDC00 && units[at] <= 0xDFFF) {
    return 0x10000 + ((unit - 0xD800) << 10) + (units[at++] - 0xDC00);
  }
  return unit >= 0xD800 && unit <= 0xDFFF ? REPLACEMENT : unit;
}

bool toUtf8(const char16_t* units, std::size_t count, char* out, std::size_t capacity,
            std::size_t& length) {
  std::size_t used = 0;
  for (std::size_t i = 0; i < count;) {
    char bytes[utf8::MAX_SEQUENCE];
    const std::size_t size = utf8::encode(nextCharacter(units, count, i), bytes);
    if (size > capacity - used) return false;
    std::memcpy(out + used, bytes, size);
    used += size;
  }
  length = used;
  return true;
}

}  // namespace screen_text
