// The plain recursive search the matcher must agree with, written straight from the
// matching rules: each call keeps its own capture, and a star's trials recurse, one per
// split. Its time grows with the number of ways the stars can split and its stack with the
// number of stars, so it is for tests, benchmarks and the fuzzer on small inputs only. It
// stores into text, char and int outputs, and leaves an int untouched when the number
// does not fit.
#pragma once

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "usb_flash_detect/match.h"

namespace recursive_model {

using usb_flash_detect::match::MatchOutput;
using usb_flash_detect::match::MatchOutputKind;
using usb_flash_detect::match::MatchOutputList;

inline bool sameChar(char a, char b, int caseSensitive) {
  if (a == '\0' || b == '\0') return a == b;
  const auto difference = static_cast<unsigned char>(a ^ b);
  return caseSensitive ? difference == 0 : (difference & 0xDF) == 0;
}

inline bool isStoringCharacter(char c) {
  return c != '\0' && std::strchr(":=%*?", c) == nullptr;
}

// Whether the number at the start of `capture` lies in int's range; a number that does not
// leaves its output untouched.
inline bool fitsInt(const std::string& capture, int base) {
  const int savedErrno = errno;
  errno = 0;
  const long long value = std::strtoll(capture.c_str(), nullptr, base);
  const bool fits = errno != ERANGE && value >= INT_MIN && value <= INT_MAX;
  errno = savedErrno;
  return fits;
}

// Stores a capture as the matcher must, for the text, char and int outputs the model uses.
inline void modelStore(MatchOutputList outputs, std::size_t index, char conversion,
                       const std::string& capture) {
  if (index >= outputs.count) return;
  const MatchOutput& output = outputs.items[index];
  const bool isText = output.kind == MatchOutputKind::TEXT;
  const char format[3] = {'%', conversion, '\0'};
  if (isText && conversion == 's') {
    if (output.capacity == 0) return;
    const std::size_t length = std::min(capture.size(), output.capacity - 1);
    std::memcpy(output.target, capture.data(), length);
    static_cast<char*>(output.target)[length] = '\0';
  } else if (conversion == 'c' &&
             (output.kind == MatchOutputKind::CHAR || (isText && output.capacity > 0))) {
    std::sscanf(capture.c_str(), format, static_cast<char*>(output.target));
  } else if (output.kind == MatchOutputKind::INT && (conversion == 'd' || conversion == 'i') &&
             fitsInt(capture, conversion == 'd' ? 10 : 0)) {
    std::sscanf(capture.c_str(), format, static_cast<int*>(output.target));
  }
}

inline int modelMatchFrom(const char* pattern, const char* text, int caseSensitive,
                          MatchOutputList outputs, std::size_t next);

inline int modelStar(const char* pattern, const char* text, int caseSensitive,
                     MatchOutputList outputs, std::size_t next) {
  if (*pattern == '\0') return 1;
  const bool storing = pattern[0] == '%' && isStoringCharacter(pattern[1]);
  const char* rest = storing ? pattern + 2 : pattern;
  for (std::size_t split = 0;; ++split) {
    if (modelMatchFrom(rest, text + split, caseSensitive, outputs, storing ? next + 1 : next)) {
      if (storing) modelStore(outputs, next, pattern[1], std::string(text, split));
      return 1;
    }
    if (text[split] == '\0') return 0;
  }
}

// Matches from the `next` output on.
inline int modelMatchFrom(const char* pattern, const char* text, int caseSensitive,
                          MatchOutputList outputs, std::size_t next) {
  std::string capture;
  for (;;) {
    if (*pattern == '\0' && *text == '\0') return 1;
    if (*pattern == '?') {
      if (*text == '\0') return 0;
      capture += *text++;
      ++pattern;
      continue;
    }
    if (*pattern == '*') return modelStar(pattern + 1, text, caseSensitive, outputs, next);
    if (*pattern == '%' && (pattern[1] == ':' || pattern[1] == '=')) {
      caseSensitive = pattern[1] == '=';
      pattern += 2;
      continue;
    }
    if (*pattern == '%' && isStoringCharacter(pattern[1])) {
      modelStore(outputs, next++, pattern[1], capture);
      capture.clear();
      pattern += 2;
      continue;
    }
    if (*pattern == '%' && pattern[1] != '\0') ++pattern;
    capture.clear();
    if (!sameChar(*pattern, *text, caseSensitive)) return 0;
    ++pattern;
    ++text;
  }
}

// The model's answer to what matchPatternCore answers.
inline int modelMatch(const char* pattern, const char* text, int caseSensitive,
                      MatchOutputList outputs) {
  return modelMatchFrom(pattern, text, caseSensitive, outputs, 0);
}

}  // namespace recursive_model
