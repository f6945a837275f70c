// Lays out any bytes for a screen, converts them for a terminal in each set a locale may
// name, reads the result back in that set, and requires no control character but CR, LF
// and tab and no bidirectional control. Buffers are heap blocks of exactly the size the
// contracts give, so a write past one is caught. Input: one byte choosing the set (modulo
// 6) and, by bit 7, the decoder (code page 1252, or the bytes as UTF-16 units, as another
// ANSI page's decoder may yield any unit), then the message.
#include <iconv.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/platform.h"
#include "platform/terminal_charset_posix.h"
#include "windows_text/screen_text.h"

namespace {

const char* const SETS[] = {"UTF-8",       "ANSI_X3.4-1968", "ISO-8859-1",
                            "ISO-8859-15", "KOI8-R",         "EUC-JP"};

void require(bool condition) {
  if (!condition) std::abort();
}

std::size_t decodeUnits(const char* bytes, std::size_t length, char16_t* units,
                        std::size_t capacity) {
  if (length / 2 > capacity) return 0;
  for (std::size_t i = 0; i + 1 < length; i += 2) {
    units[i / 2] = static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                         static_cast<std::uint8_t>(bytes[i + 1]) << 8);
  }
  return length / 2;
}

// The characters a terminal in SETS[set] shows for the laid-out units, read back in its set.
std::vector<wchar_t> shownOn(std::size_t set, const std::vector<char16_t>& units) {
  static platform::TerminalCharset charsets[std::size(SETS)];
  static iconv_t readers[std::size(SETS)];
  static const bool opened = [] {
    for (std::size_t each = 0; each < std::size(SETS); ++each) {
      readers[each] = iconv_open("WCHAR_T", SETS[each]);
      require(each == 0 || charsets[each].open(SETS[each]));
    }
    return true;
  }();
  std::vector<char> bytes(4 * units.size() + platform::TerminalCharset::CHARACTER_BYTES);
  std::size_t length = 0;
  require(opened && (set == 0 ? screen_text::toUtf8(units.data(), units.size(), bytes.data(),
                                                    3 * units.size(), length)
                              : charsets[set].convert(units.data(), units.size(), bytes.data(),
                                                      bytes.size(), length)));
  std::vector<wchar_t> characters(length + 1);
  char* in = bytes.data();
  auto* out = reinterpret_cast<char*>(characters.data());
  std::size_t outLeft = characters.size() * sizeof(wchar_t);
  require(iconv(readers[set], &in, &length, &out, &outLeft) != static_cast<std::size_t>(-1));
  characters.resize(characters.size() - outLeft / sizeof(wchar_t));
  return characters;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::vector<char> message(data + 1, data + size);
  std::vector<char16_t> units(message.size());
  std::size_t count = 0;
  const auto decode = (data[0] & 0x80) != 0 ? decodeUnits : screen_text::decodeCodePage1252;
  if (!screen_text::layOut(message.data(), message.size(), decode, units.data(), units.size(),
                           count)) {
    return 0;
  }
  units.resize(count);
  for (const wchar_t character : shownOn((data[0] & 0x7F) % std::size(SETS), units)) {
    const auto point = static_cast<char32_t>(character);
    require(point == '\r' || point == '\n' || !screen_text::isControl(point));
    require(!screen_text::isBidiControl(point));
  }
  return 0;
}
