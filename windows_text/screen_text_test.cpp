#include "windows_text/screen_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr std::size_t CAPACITY = 64;

// A double-byte code page in miniature: 0x82 leads a pair; a lead with nothing after it in
// its run gives U+30FB, as the Japanese page's default character.
std::size_t decodeDoubleByte(const char* bytes, std::size_t length, char16_t* units,
                             std::size_t capacity) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < length; ++i, ++count) {
    if (count == capacity) return 0;
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte != 0x82) {
      units[count] = byte;
    } else {
      units[count] = i + 1 < length ? static_cast<char16_t>(0x3000 + bytes[++i]) : u'\u30FB';
    }
  }
  return count;
}

// Little-endian UTF-16, two bytes a unit: any unit a decoder could yield.
std::size_t decodeUtf16(const char* bytes, std::size_t length, char16_t* units,
                        std::size_t capacity) {
  if (length / 2 > capacity) return 0;
  for (std::size_t i = 0; i + 1 < length; i += 2) {
    units[i / 2] = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         static_cast<unsigned char>(bytes[i + 1]) << 8);
  }
  return length / 2;
}

std::size_t decodeNothing(const char*, std::size_t, char16_t*, std::size_t) {
  return 0;
}

// The screen's text as UTF-8, or "(bytes)" when the message falls back to its bytes.
std::string shown(const std::string& message, screen_text::DecodeText decode,
                  std::size_t capacity = CAPACITY) {
  char16_t units[CAPACITY];
  char text[3 * CAPACITY];
  std::size_t count = 0;
  std::size_t length = 0;
  if (!screen_text::layOut(message.data(), message.size(), decode, units, capacity, count)) {
    return "(bytes)";
  }
  EXPECT_TRUE(screen_text::toUtf8(units, count, text, sizeof text, length));
  return {text, length};
}

struct LayoutRow {
  const char* what;
  std::string message;
  std::string screen;  // UTF-8
  screen_text::DecodeText decode = screen_text::decodeCodePage1252;
  std::size_t capacity = CAPACITY;
};

const LayoutRow LAYOUT_ROWS[] = {
    // The tree: a pair at the start of a line only.
    {"pair at the message's start", "\xC3\xC4provider: x\r\n", "├─provider: x\r\n"},
    {"last pair after LF", "a\r\n\xC0\xC4version : 1", "a\r\n└─version : 1"},
    {"pair mid-line", "x\xC3\xC4y", "xÃÄy"},
    {"pair inside a value",
     "\xC3\xC4"
     "device  : \xC3\xC4 \xC0\xC4",
     "├─device  : ÃÄ ÀÄ"},
    {"pair right after a tree", "\xC3\xC4\xC3\xC4", "├─ÃÄ"},
    {"pair after a CR alone", "a\r\xC3\xC4", "a\rÃÄ"},
    {"half a pair at the end", "\xC3", "Ã"},
    {"other lead with 0xC4", "\xC1\xC4", "ÁÄ"},
    {"empty message", "", ""},

    // Text in the ANSI code page.
    {"code page 1252 letters",
     "M\xFC"
     "ller Ger\xE4tebau \x80",
     "Müller Gerätebau €"},
    {"double-byte text", "\xC3\xC4v: \x82\x41", "├─v: \u3041", decodeDoubleByte},
    {"double-byte lead ending a line", "\xC3\xC4v: a\x82\r\n\xC0\xC4x", "├─v: a\u30FB\r\n└─x",
     decodeDoubleByte},

    // Control characters are drawn, never obeyed; tab and line ends stay.
    {"escape sequence", "\x1B[31mred\x1B[0m", "←[31mred←[0m"},
    {"title sequence", "\x1B]0;pwned\x07", "←]0;pwned•"},
    {"delete", "a\x7F", "a⌂"},
    {"C1 bytes", "\x81\x8D\x9D", "\uFFFD\uFFFD\uFFFD"},
    {"first and last C0", "\x01\x1F", "☺▼"},
    {"tab and CR LF", "a\tb\r\n", "a\tb\r\n"},
    {"bidirectional controls",
     std::string("\x2A\x20\x2E\x20\x66\x20\x69\x20\x0E\x20\x0F\x20\x1C\x06", 14),
     "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD", decodeUtf16},
    {"neighbours of the bidirectional controls", "\x29\x20\x2F\x20\x65\x20\x6A\x20\x10\x20\x1B\x06",
     "\u2029\u202F\u2065\u206A\u2010\u061B", decodeUtf16},

    // What does not fit goes as bytes.
    {"at the capacity",
     "\xC3\xC4"
     "abc\r\n",
     "├─abc\r\n", screen_text::decodeCodePage1252, 7},
    {"one past the capacity",
     "\xC3\xC4"
     "abcd\r\n",
     "(bytes)", screen_text::decodeCodePage1252, 7},
    {"line end past the capacity", "ab\r\n", "(bytes)", screen_text::decodeCodePage1252, 3},
    {"decoder that fails", "abc", "(bytes)", decodeNothing},
};

TEST(ScreenText, LaysOutMessages) {
  for (const LayoutRow& row : LAYOUT_ROWS) {
    EXPECT_EQ(shown(row.message, row.decode, row.capacity), row.screen) << row.what;
  }
}

TEST(ScreenText, ReplacesControlBytesButLineEnds) {
  const std::string bytes("\x1B[1m\x00\x7F\x81\x9F\xA0\xC3\xC4\t\r\n", 14);
  std::string out(bytes.size(), '\0');
  screen_text::replaceControlBytes(bytes.data(), bytes.size(), out.data());
  EXPECT_EQ(out, "?[1m????\xA0\xC3\xC4\t\r\n");
}

TEST(ScreenText, WritesUtf8) {
  struct Utf8Row {
    const char* what;
    std::u16string units;
    std::size_t capacity;
    std::string expected;  // "(no room)" when it does not fit
  };
  const Utf8Row rows[] = {
      {"surrogate pair", u"a\U0001F600", 5, "a\xF0\x9F\x98\x80"},
      {"lone surrogates", std::u16string{u'\xD800', u'x', u'\xDC00'}, 9, "\uFFFDx\uFFFD"},
      {"three bytes per unit", u"\u2500\u2500", 6, "──"},
      {"one byte short", u"\u2500\u2500", 5, "(no room)"},
  };
  for (const Utf8Row& row : rows) {
    char out[16];
    std::size_t length = 0;
    const bool fits =
        screen_text::toUtf8(row.units.data(), row.units.size(), out, row.capacity, length);
    EXPECT_EQ(fits ? std::string(out, length) : "(no room)", row.expected) << row.what;
  }
}

}  // namespace
