// Lays out any bytes for a screen and converts them for a terminal in each character set a
// locale may name, and checks what the terminal gets: read back in its set, no control
// character but CR, LF and tab, and no bidirectional control. Every buffer is a heap block
// of exactly the size the contracts give, so a write past one is caught.
//
// Input: one byte choosing the set (modulo 6) and the decoder (bit 7: code page 1252, or
// the bytes as UTF-16 units, as the ANSI decoders of other code pages may yield them), then
// the message.
#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "platform/platform.h"
#include "platform/terminal_charset_posix.h"
#include "windows_text/screen_text.h"

namespace {

const char* const CODESETS[] = {"UTF-8",       "ANSI_X3.4-1968", "ISO-8859-1",
                                "ISO-8859-15", "KOI8-R",         "EUC-JP"};
constexpr std::size_t SETS = std::size(CODESETS);

void require(bool condition) {
  if (!condition) std::abort();
}

std::size_t decodeUnits(const char* bytes, std::size_t length, char16_t* units,
                        std::size_t capacity) {
  if (length / 2 > capacity || length < 2) return 0;
  for (std::size_t i = 0; i + 1 < length; i += 2) {
    units[i / 2] = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         static_cast<unsigned char>(bytes[i + 1]) << 8);
  }
  return length / 2;
}

// What the terminal gets, into `shown`.
void convert(std::size_t set, const std::vector<char16_t>& units, std::vector<char>& shown) {
  static platform::TerminalCharset charsets[SETS];
  static bool opened[SETS] = {};
  std::size_t length = 0;
  if (set == 0) {
    shown.resize(3 * units.size());
    require(screen_text::toUtf8(units.data(), units.size(), shown.data(), shown.size(), length));
  } else {
    if (!opened[set]) require(charsets[set].open(CODESETS[set]));
    opened[set] = true;
    shown.resize(4 * units.size() + platform::TerminalCharset::CHARACTER_BYTES);
    require(charsets[set].convert(units.data(), units.size(), shown.data(), shown.size(), length));
  }
  shown.resize(length);
}

// Reads the terminal's bytes back in its set and checks each character.
void checkShown(std::size_t set, std::vector<char>& shown) {
  if (shown.empty()) return;  // iconv wants a buffer even for nothing
  static iconv_t readers[SETS];
  static bool opened[SETS] = {};
  if (!opened[set]) readers[set] = iconv_open("UTF-32LE", CODESETS[set]);
  opened[set] = true;
  std::vector<char> points(4 * shown.size());
  char* in = shown.data();
  std::size_t inLeft = shown.size();
  char* out = points.data();
  std::size_t outLeft = points.size();
  require(iconv(readers[set], &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1));
  for (const char* at = points.data(); at < out; at += 4) {
    const auto point = static_cast<char32_t>(
        static_cast<unsigned char>(at[0]) | static_cast<unsigned char>(at[1]) << 8 |
        static_cast<unsigned char>(at[2]) << 16 | static_cast<unsigned char>(at[3]) << 24);
    require(point == '\r' || point == '\n' || !screen_text::isControl(point));
    require(!screen_text::isBidiControl(point));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > platform::SHOWN_MESSAGE_CAPACITY) return 0;
  const std::size_t set = (data[0] & 0x7F) % SETS;
  const screen_text::DecodeText decode =
      (data[0] & 0x80) != 0 ? decodeUnits : screen_text::decodeCodePage1252;
  const std::vector<char> message(data + 1, data + size);
  std::vector<char16_t> units(platform::SHOWN_MESSAGE_CAPACITY);
  std::size_t count = 0;
  if (!screen_text::layOut(message.data(), message.size(), decode, units.data(), units.size(),
                           count)) {
    std::vector<char> bytes(message.size());
    screen_text::replaceControlBytes(message.data(), message.size(), bytes.data());
    for (const char byte : bytes) {
      require(byte == '\r' || byte == '\n' ||
              !screen_text::isControl(static_cast<unsigned char>(byte)));
    }
    return 0;
  }
  units.resize(count);
  std::vector<char> shown;
  convert(set, units, shown);
  checkShown(set, shown);
  return 0;
}
