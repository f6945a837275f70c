// Wildcard matching over single-byte text.
//
// A pattern matches a text as a whole. "?" takes exactly one character, "*" a run of any
// length (the empty run included), and is lazy: of all the runs that let the rest of the
// pattern match, the shortest wins, outer stars before inner ones. Any other byte is a
// literal. Two case modes: case-sensitive compares bytes; case-insensitive treats two
// bytes as equal when they differ at most in bit 5 (0x20), so ASCII letters fold, and so
// do other pairs such as "[" and "{". A terminator equals nothing but a terminator.
//
// "%" and one more character form a directive:
//   %:  case-insensitive from here on      %=  case-sensitive from here on
//   %%  %?  %*  the literal character
//   %s  store the capture as text          %c, %d, ... store it through a scan conversion
// The capture is the run of "?" directly before the directive, or, when the directive
// follows a "*", the run that star absorbed. Each storing directive takes the next
// output, in the order the directives stand in the pattern. A "%" at the very end of the
// pattern is a literal "%".
//
// Outputs are typed, so a directive never writes past one or into the wrong kind:
//   char (&)[N], std::span<char>     %s (cut to fit, always terminated) and %c (one byte)
//   char (by reference)              %c only (one byte, no terminator)
//   short*, int*, long*, long long*  %d %i
//   unsigned short* ... unsigned long long*   %u %o %x %X
//   float*, double*, long double*    %e %E %f %F %g %G %a %A
// Numbers are read as sscanf reads them in the C locale, whatever the process's locale:
// leading white space, a sign, "0x" for %i and %x, octal for %o and for %i after a 0;
// decimal or "0x" floats, "inf", "infinity", "nan". At most 4,095 bytes after the white
// space are read. An unsigned output takes "-n" as its maximum + 1 - n, as strtoul does.
// A number beyond its output's range (a floating one that overflows; one that underflows
// stores the 0 or denormal sscanf gives), a conversion that does not fit its output, an
// unknown conversion character or a capture that does not scan leaves the output as it
// was, and still takes its place in the list. Directives beyond the last output store
// nothing.
//
// An output may overlap the text: each store then copies as if through a temporary
// buffer. The text's length is taken once, at the start, and its bytes are read as they
// stand at each step, so a store that changes bytes the match has still to read changes
// what it sees there; the result and the outputs are those of a separate text only when
// no store lands on bytes still to be read (as when every store follows the last star,
// "a*%s" into the text's own buffer, for instance).
//
// Cost: time proportional to the pattern's length times the text's length at worst,
// constant stack, no allocation. Re-entrant. After a successful match every output holds
// what the recursive first-match search (trying the splits of each star in increasing
// order) leaves there; after a failed match some outputs may have been written.
#pragma once

#include <cstddef>
#include <span>
#include <type_traits>
#include <utility>

namespace usb_flash_detect::match {

enum class MatchOutputKind : unsigned char {
  TEXT,
  CHAR,
  SHORT,
  INT,
  LONG,
  LONG_LONG,
  UNSIGNED_SHORT,
  UNSIGNED,
  UNSIGNED_LONG,
  UNSIGNED_LONG_LONG,
  FLOAT,
  DOUBLE,
  LONG_DOUBLE,
};

// One caller-supplied output: where to store, what it is, and for text its capacity in
// bytes, terminator included.
struct MatchOutput {
  MatchOutputKind kind;
  void* target;
  std::size_t capacity;
};

// The outputs of one match, consumed from the front by the storing directives.
struct MatchOutputList {
  const MatchOutput* items = nullptr;
  std::size_t count = 0;
};

// 1 if `pattern` matches the whole of `text` in the given starting case mode (nonzero:
// case-sensitive), 0 if not. Both must be terminated texts.
int matchPatternCore(const char* pattern, const char* text, int caseSensitive,
                     MatchOutputList outputs);

namespace match_output {
inline MatchOutput describe(std::span<char> buffer) {
  return {MatchOutputKind::TEXT, buffer.data(), buffer.size()};
}
inline MatchOutput describe(char& c) {
  return {MatchOutputKind::CHAR, &c, 1};
}
// A bare char* says neither whether it is one character or a buffer, nor how large the
// buffer is; pass a char for %c, and a char array or std::span<char> for %s.
MatchOutput describe(char* c) = delete;
MatchOutput describe(const char* c) = delete;
inline MatchOutput describe(short* v) {
  return {MatchOutputKind::SHORT, v, sizeof *v};
}
inline MatchOutput describe(int* v) {
  return {MatchOutputKind::INT, v, sizeof *v};
}
inline MatchOutput describe(long* v) {
  return {MatchOutputKind::LONG, v, sizeof *v};
}
inline MatchOutput describe(long long* v) {
  return {MatchOutputKind::LONG_LONG, v, sizeof *v};
}
inline MatchOutput describe(unsigned short* v) {
  return {MatchOutputKind::UNSIGNED_SHORT, v, sizeof *v};
}
inline MatchOutput describe(unsigned* v) {
  return {MatchOutputKind::UNSIGNED, v, sizeof *v};
}
inline MatchOutput describe(unsigned long* v) {
  return {MatchOutputKind::UNSIGNED_LONG, v, sizeof *v};
}
inline MatchOutput describe(unsigned long long* v) {
  return {MatchOutputKind::UNSIGNED_LONG_LONG, v, sizeof *v};
}
inline MatchOutput describe(float* v) {
  return {MatchOutputKind::FLOAT, v, sizeof *v};
}
inline MatchOutput describe(double* v) {
  return {MatchOutputKind::DOUBLE, v, sizeof *v};
}
inline MatchOutput describe(long double* v) {
  return {MatchOutputKind::LONG_DOUBLE, v, sizeof *v};
}

// A char array, whatever its size: text with its whole size as capacity.
template <class Output>
struct IsCharArray : std::false_type {};
template <std::size_t N>
struct IsCharArray<char (&)[N]> : std::true_type {};
template <class Output>
constexpr bool IS_CHAR_ARRAY = IsCharArray<Output>::value;

// What the entry takes as an output: a char array, as text of its whole size (it must not
// decay to a char*), or anything describe() takes. A temporary char is not one: what it
// stored would be lost.
template <class Output>
concept Describable = IS_CHAR_ARRAY<Output> || requires(Output&& output) {
  describe(std::forward<Output>(output));
};

template <Describable Output>
MatchOutput describeAny(Output&& output) {
  if constexpr (IS_CHAR_ARRAY<Output>) {
    return describe(std::span<char>(output));
  } else {
    return describe(std::forward<Output>(output));
  }
}
}  // namespace match_output

// The entry: matches case-sensitively, with the outputs in the order of the pattern's
// storing directives. Result as for matchPatternCore.
template <match_output::Describable... Outputs>
int matchPattern(const char* pattern, const char* text, Outputs&&... outputs) {
  if constexpr (sizeof...(Outputs) == 0) {
    return matchPatternCore(pattern, text, 1, MatchOutputList{});
  } else {
    const MatchOutput list[] = {match_output::describeAny(std::forward<Outputs>(outputs))...};
    return matchPatternCore(pattern, text, 1, MatchOutputList{list, sizeof...(Outputs)});
  }
}

}  // namespace usb_flash_detect::match
