// A POSIX terminal's character set, for text laid out for a screen
// (windows_text/screen_text.h): the C library's converter (iconv) turns each character into
// the set's own, or, where the set lacks it, into one ASCII character, so that a line keeps
// its width and its labels still line up.
#pragma once

#include <iconv.h>
#include <locale.h>

#include <cstddef>

namespace platform {

class TerminalCharset {
 public:
  // The most bytes one character takes in a terminal's set.
  static constexpr std::size_t CHARACTER_BYTES = 16;

  TerminalCharset() = default;
  TerminalCharset(const TerminalCharset&) = delete;
  TerminalCharset& operator=(const TerminalCharset&) = delete;
  ~TerminalCharset();

  // Readies the conversion to `codeset`, a name nl_langinfo(CODESET) gives. False when the
  // C library cannot convert to it.
  bool open(const char* codeset);

  // The `count` units of laid-out text in the terminal's set, into `out` (`capacity`
  // bytes), and their number in `length`. Each character the set holds is itself; a tree
  // character is "|", "`" or "-"; another is its nearest ASCII letter when there is one
  // letter for it, else "?". False when the result does not fit: `capacity` needs
  // CHARACTER_BYTES to spare.
  bool convert(const char16_t* units, std::size_t count, char* out, std::size_t capacity,
               std::size_t& length);

 private:
  bool putExact(const char* utf8, std::size_t size, char*& out, std::size_t& left);
  char nearestAscii(const char* utf8, std::size_t size);
  bool putCharacter(char32_t point, char*& out, std::size_t& left);

  iconv_t exact_ = nullptr;
  iconv_t nearest_ = nullptr;           // the same with //TRANSLIT
  locale_t transliteration_ = nullptr;  // whose tables name the nearest letters
};

}  // namespace platform
