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
// output, in the order the directives stand in the pattern.
//
// Outputs are typed, and each takes only the directives that can store into it:
//
//   output                                         directives it takes
//   char (&)[N], std::span<char>                   %s (cut to fit, always terminated), %c
//   char, by reference                             %c (one byte, no terminator)
//   short*, int*, long*, long long*                %d %i
//   unsigned short*, unsigned*, unsigned long*,    %u %o %x %X
//     unsigned long long*
//   float*, double*, long double*                  %e %E %f %F %g %G %a %A
//
// A char array is text of its whole size; a bare char* is refused, since it says neither
// whether it is one character or how large its buffer is. matchPattern checks a pattern
// written as a constant at compile time, as compilers check scanf formats: a storing
// directive its output does not take, more storing directives than outputs or fewer, or a
// lone "%" at the very end does not compile. A pattern known only at run time goes through
// runtimePattern() and is not checked, nor is one given to matchPatternCore: there a
// directive whose output does not take it, or one past the last output, stores nothing
// and still takes its place in the list, and a lone final "%" is a literal "%".
//
// Numbers are read as sscanf reads them in the C locale, whatever the process's locale:
// leading white space, a sign, "0x" for %i and %x, octal for %o and for %i after a 0;
// decimal or "0x" floats, "inf", "infinity", "nan". Every digit is read, however many. An
// unsigned output takes "-n" as its maximum + 1 - n, as strtoul does. Hexadecimal floats
// are rounded correctly, where some C libraries misround subnormals (glibc 2.36's sscanf
// stores 0x1000003p-151 into a float one step too low). A floating number of more than 4,095
// significant digits is rounded from its first 4,095 when the others cannot change the
// result, and is not stored when they could. A number beyond its output's range (a
// floating one that overflows; one that underflows stores the 0 or denormal sscanf gives)
// or a capture that does not scan leaves the output as it was.
//
// Outputs must not share storage with one another. The matcher stores a star's output
// once the next star is reached, where the recursive search stores it on its way back
// out, so two stores into one place can end the other way round: into one int,
// "*%d,*%d" on "1,2" leaves 2, where the search leaves 1. An output may overlap the
// text: each store then copies as if through a temporary buffer, and the result and the
// outputs are those of a separate text when no store lands on bytes the match has still
// to read (as when every store follows the last star: "a*%s" into the text's own buffer);
// otherwise they are unspecified, and no byte outside the text and the outputs is read or
// written.
//
// Cost: time proportional to the pattern's length times the text's length at worst, no
// allocation, and constant stack: up to about 24 KiB. Measured on x86-64: 22 KiB for a
// long double read of 4,095 digits, most of it glibc's strtold (6 KiB with MinGW-w64's),
// 8 KiB for other floating reads, under 4 KiB for any other store, and a few hundred
// bytes for a match that stores nothing. Re-entrant. After a successful match every
// output holds what the recursive first-match search (trying the splits of each star in
// increasing order) leaves there; after a failed match some outputs may have been
// written.
#pragma once

#include <array>
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
// case-sensitive), 0 if not. Both must be terminated texts. The pattern is not checked.
int matchPatternCore(const char* pattern, const char* text, int caseSensitive,
                     MatchOutputList outputs);

// What a "%" and the character after it are.
enum class DirectiveKind : unsigned char {
  LONE_PERCENT,  // the "%" ends the pattern
  CASE_INSENSITIVE,
  CASE_SENSITIVE,
  ESCAPE,  // "%%", "%?" or "%*": the second character as a literal
  STORE,
};

constexpr DirectiveKind directiveKind(char second) {
  switch (second) {
    case '\0':
      return DirectiveKind::LONE_PERCENT;
    case ':':
      return DirectiveKind::CASE_INSENSITIVE;
    case '=':
      return DirectiveKind::CASE_SENSITIVE;
    case '%':
    case '?':
    case '*':
      return DirectiveKind::ESCAPE;
    default:
      return DirectiveKind::STORE;
  }
}

// Whether an output of `kind` takes the storing directive "%" `conversion` (the table
// above).
constexpr bool outputTakes(MatchOutputKind kind, char conversion) {
  switch (kind) {
    case MatchOutputKind::TEXT:
      return conversion == 's' || conversion == 'c';
    case MatchOutputKind::CHAR:
      return conversion == 'c';
    case MatchOutputKind::SHORT:
    case MatchOutputKind::INT:
    case MatchOutputKind::LONG:
    case MatchOutputKind::LONG_LONG:
      return conversion == 'd' || conversion == 'i';
    case MatchOutputKind::UNSIGNED_SHORT:
    case MatchOutputKind::UNSIGNED:
    case MatchOutputKind::UNSIGNED_LONG:
    case MatchOutputKind::UNSIGNED_LONG_LONG:
      return conversion == 'u' || conversion == 'o' || conversion == 'x' || conversion == 'X';
    case MatchOutputKind::FLOAT:
    case MatchOutputKind::DOUBLE:
    case MatchOutputKind::LONG_DOUBLE: {
      const char lower = static_cast<char>(conversion | 0x20);  // only 'E' gives 'e', and so on
      return lower == 'e' || lower == 'f' || lower == 'g' || lower == 'a';
    }
  }
  return false;
}

namespace match_output {

// The numbers an output may point to, and their kinds.
template <class Number>
struct NumberKind {};
template <MatchOutputKind Kind>
struct KindIs {
  static constexpr MatchOutputKind KIND = Kind;
};
template <>
struct NumberKind<short> : KindIs<MatchOutputKind::SHORT> {};
template <>
struct NumberKind<int> : KindIs<MatchOutputKind::INT> {};
template <>
struct NumberKind<long> : KindIs<MatchOutputKind::LONG> {};
template <>
struct NumberKind<long long> : KindIs<MatchOutputKind::LONG_LONG> {};
template <>
struct NumberKind<unsigned short> : KindIs<MatchOutputKind::UNSIGNED_SHORT> {};
template <>
struct NumberKind<unsigned> : KindIs<MatchOutputKind::UNSIGNED> {};
template <>
struct NumberKind<unsigned long> : KindIs<MatchOutputKind::UNSIGNED_LONG> {};
template <>
struct NumberKind<unsigned long long> : KindIs<MatchOutputKind::UNSIGNED_LONG_LONG> {};
template <>
struct NumberKind<float> : KindIs<MatchOutputKind::FLOAT> {};
template <>
struct NumberKind<double> : KindIs<MatchOutputKind::DOUBLE> {};
template <>
struct NumberKind<long double> : KindIs<MatchOutputKind::LONG_DOUBLE> {};

template <class Output>
using Bare = std::remove_cvref_t<Output>;

template <class Output>
concept NumberPointer = std::is_pointer_v<Bare<Output>> && requires {
  NumberKind<std::remove_pointer_t<Bare<Output>>>::KIND;
};

// What the entry takes as an output: a pointer to a number, a char the caller keeps (a
// temporary one would lose what was stored), or text: anything that converts to
// std::span<char>, a char array as its whole size.
template <class Output>
concept Describable = NumberPointer<Output> || std::is_same_v<Output, char&> ||
    std::is_convertible_v<Output, std::span<char>>;

template <Describable Output>
constexpr MatchOutputKind outputKind() {
  if constexpr (NumberPointer<Output>) {
    return NumberKind<std::remove_pointer_t<Bare<Output>>>::KIND;
  } else if constexpr (std::is_same_v<Output, char&>) {
    return MatchOutputKind::CHAR;
  } else {
    return MatchOutputKind::TEXT;
  }
}

template <Describable Output>
MatchOutput describe(Output&& output) {
  constexpr MatchOutputKind KIND = outputKind<Output>();
  if constexpr (KIND == MatchOutputKind::TEXT) {
    const std::span<char> text(output);
    return {KIND, text.data(), text.size()};
  } else if constexpr (KIND == MatchOutputKind::CHAR) {
    return {KIND, &output, 1};
  } else {
    return {KIND, output, sizeof *output};
  }
}

}  // namespace match_output

// Why a pattern cannot serve its outputs.
enum class PatternFault : unsigned char {
  NONE,
  LONE_FINAL_PERCENT,
  DIRECTIVE_NOT_TAKEN,  // a storing directive its output does not take
  MORE_DIRECTIVES_THAN_OUTPUTS,
  MORE_OUTPUTS_THAN_DIRECTIVES,
};

// The first fault of `pattern` for outputs of these kinds, in list order.
constexpr PatternFault findPatternFault(const char* pattern,
                                        std::span<const MatchOutputKind> kinds) {
  std::size_t next = 0;
  for (const char* p = pattern; *p != '\0'; ++p) {
    if (*p != '%') continue;
    const DirectiveKind directive = directiveKind(*++p);
    if (directive == DirectiveKind::LONE_PERCENT) return PatternFault::LONE_FINAL_PERCENT;
    if (directive != DirectiveKind::STORE) continue;
    if (next == kinds.size()) return PatternFault::MORE_DIRECTIVES_THAN_OUTPUTS;
    if (!outputTakes(kinds[next++], *p)) return PatternFault::DIRECTIVE_NOT_TAKEN;
  }
  return next < kinds.size() ? PatternFault::MORE_OUTPUTS_THAN_DIRECTIVES : PatternFault::NONE;
}

// Reached only while a refused pattern is checked at compile time: not constexpr, so the
// compiler stops at the call and names the fault.
namespace refused {
inline void patternEndsInALonePercent() {}
inline void aStoringDirectiveItsOutputDoesNotTake() {}
inline void moreStoringDirectivesThanOutputs() {}
inline void moreOutputsThanStoringDirectives() {}

consteval void refuse(PatternFault fault) {
  switch (fault) {
    case PatternFault::NONE:
      return;
    case PatternFault::LONE_FINAL_PERCENT:
      return patternEndsInALonePercent();
    case PatternFault::DIRECTIVE_NOT_TAKEN:
      return aStoringDirectiveItsOutputDoesNotTake();
    case PatternFault::MORE_DIRECTIVES_THAN_OUTPUTS:
      return moreStoringDirectivesThanOutputs();
    case PatternFault::MORE_OUTPUTS_THAN_DIRECTIVES:
      return moreOutputsThanStoringDirectives();
  }
}
}  // namespace refused

// Where a pattern without directives has its stars, as the matcher's entry for such
// patterns takes it: worked out at compile time for a constant pattern, so that a call
// neither measures it nor looks it over for "%". `plain` is false for a pattern that holds
// a "%" (or is too long to describe), which goes to matchPatternCore.
struct PlainShape {
  bool plain;
  bool oneStretch;  // between the first and the last star: bytes, and no star
  unsigned length;
  unsigned firstStar;  // each at `length` when there is no star
  unsigned lastStar;
};

constexpr PlainShape plainShape(const char* pattern) {
  constexpr std::size_t LONGEST = 0xFFFFFFFFU;
  PlainShape shape{true, false, 0, 0, 0};
  std::size_t length = 0;
  std::size_t firstStar = LONGEST;
  std::size_t lastStar = LONGEST;
  for (; pattern[length] != '\0' && length < LONGEST; ++length) {
    if (pattern[length] == '%') return {false, false, 0, 0, 0};
    if (pattern[length] != '*') continue;
    if (firstStar == LONGEST) firstStar = length;
    lastStar = length;
  }
  if (length == LONGEST) return {false, false, 0, 0, 0};
  shape.length = static_cast<unsigned>(length);
  shape.firstStar = static_cast<unsigned>(firstStar == LONGEST ? length : firstStar);
  shape.lastStar = static_cast<unsigned>(lastStar == LONGEST ? length : lastStar);
  shape.oneStretch = shape.lastStar > shape.firstStar + 1;
  for (std::size_t i = firstStar + 1; shape.oneStretch && i < lastStar; ++i) {
    shape.oneStretch = pattern[i] != '*';
  }
  return shape;
}

// As matchPatternCore without outputs, for a pattern of the given shape.
int matchPlainCore(const char* pattern, PlainShape shape, const char* text, int caseSensitive);

// As matchPatternCore for "*" followed by the `length` bytes of `tail`, none of them "*"
// or "%": whether the text ends in them.
int matchSuffixCore(const char* tail, std::size_t length, const char* text, int caseSensitive);

// As matchPlainCore; "*" and a tail, the commonest shape, go straight to matchSuffixCore.
inline int matchShapedPattern(const char* pattern, PlainShape shape, const char* text,
                              int caseSensitive) {
  if (shape.plain && shape.lastStar == 0 && shape.length > 1) {
    return matchSuffixCore(pattern + 1, shape.length - 1, text, caseSensitive);
  }
  return matchPlainCore(pattern, shape, text, caseSensitive);
}

// A pattern known only at run time, for matchPattern: runtimePattern(pattern).
struct RuntimePattern {
  const char* text;
};

inline RuntimePattern runtimePattern(const char* pattern) {
  return {pattern};
}

// The pattern of a matchPattern call: a constant one checked against the outputs' types
// at compile time, or a RuntimePattern.
template <class... Outputs>
class CheckedPattern {
 public:
  consteval CheckedPattern(const char* pattern) : text_(pattern) {
    constexpr std::array<MatchOutputKind, sizeof...(Outputs)> KINDS{
        match_output::outputKind<Outputs>()...};
    refused::refuse(findPatternFault(pattern, KINDS));
    shape_ = plainShape(pattern);
  }
  CheckedPattern(RuntimePattern pattern) : text_(pattern.text) {}

  const char* text() const { return text_; }
  PlainShape shape() const { return shape_; }

 private:
  const char* text_;
  PlainShape shape_{false, false, 0, 0, 0};
};

// Outputs are deduced from the arguments after the text alone.
template <class... Outputs>
using PatternFor = CheckedPattern<std::type_identity_t<Outputs>...>;

// The entry: matches case-sensitively, with the outputs in the order of the pattern's
// storing directives. Result as for matchPatternCore.
template <match_output::Describable... Outputs>
int matchPattern(PatternFor<Outputs...> pattern, const char* text, Outputs&&... outputs) {
  if constexpr (sizeof...(Outputs) == 0) {
    if (pattern.shape().plain) return matchShapedPattern(pattern.text(), pattern.shape(), text, 1);
    return matchPatternCore(pattern.text(), text, 1, MatchOutputList{});
  } else {
    const MatchOutput list[] = {match_output::describe(std::forward<Outputs>(outputs))...};
    return matchPatternCore(pattern.text(), text, 1, MatchOutputList{list, sizeof...(Outputs)});
  }
}

}  // namespace usb_flash_detect::match
