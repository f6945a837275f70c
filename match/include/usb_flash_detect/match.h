// Wildcard matching over single-byte text, with typed captures as scanf makes them.
//
//   namespace match = usb_flash_detect::match;
//   char section[32];
//   int major = 0;
//   if (match::matchPattern("*%s,*v?%d", "Install,NTamd64 v3", section, &major)) {
//     // section holds "Install", major 3
//   }
//
// A pattern matches the whole text. "?" takes one character; "*" a run, the shortest that
// lets the rest match; any other byte is itself. "%:" compares case-insensitively from
// there on (bytes differing only in bit 5 are equal), "%=" case-sensitively again; "%%",
// "%?" and "%*" are the literal character. "%s", "%c" and the scanf number conversions
// store a capture into the next output: the run of "?" just before the directive, or the
// run the star before it took. Outputs: a char array or std::span<char> for text (cut to
// fit, always terminated), a char& for %c, a pointer to the number for %d %i %u %o %x %X
// and the floating conversions, read as sscanf reads them in the C locale. A number that
// does not scan or fit leaves its output as it was: give a StoredOutputs first to learn
// which outputs were stored. Outputs must not share storage.
//
// A pattern written as a constant is checked against its outputs at compile time; one
// known only at run time is given as runtimePattern(pattern), unchecked. No allocation,
// constant stack, time at most the pattern's length times the text's. The full rules, the
// outputs table and the costs measured: README.md, "The matcher as a library".
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
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
// The same, and each store that writes output i (of the first 64) adds bit i to *stored,
// when `stored` is not null; nothing clears it.
int matchPatternCore(const char* pattern, const char* text, int caseSensitive,
                     MatchOutputList outputs, std::uint64_t* stored);

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

// Whether an output of `kind` takes the storing directive "%" `conversion` (the README's
// outputs table).
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

template <class Output>
inline constexpr bool IS_CHAR_SPAN = false;
template <std::size_t Extent>
inline constexpr bool IS_CHAR_SPAN<std::span<char, Extent>> = true;

// Text is a char array, as its whole size, or a std::span<char>: both say their capacity.
template <class Output>
concept TextOutput = (std::is_lvalue_reference_v<Output> && std::is_bounded_array_v<Bare<Output>> &&
                      std::is_same_v<std::remove_extent_t<Bare<Output>>, char>) ||
                     IS_CHAR_SPAN<Bare<Output>>;

// What the entry takes as an output: a pointer to a number, a char the caller keeps (a
// temporary one would lose what was stored), or text. Anything else that converts to
// std::span<char> (a std::string, a std::vector) passes here only to be refused below
// with a message: its size is no capacity, and it would not grow to take the capture.
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
    static_assert(TextOutput<Output>,
                  "a text output is a char array or a std::span<char>: a std::string, "
                  "std::vector or other container is not taken; pass a char array, or "
                  "std::span<char>(buffer) over storage sized for the capture");
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

template <class>
inline constexpr bool REFUSED = false;

// A pattern given as a pointer or a modifiable array, not a constant the compiler can read.
template <class Pattern>
concept UncheckablePattern = std::is_convertible_v<Pattern, const char*> &&
    !(std::is_array_v<std::remove_reference_t<Pattern>> &&
      std::is_const_v<std::remove_reference_t<Pattern>>);

inline RuntimePattern runtimePattern(const char* pattern) {
  return {pattern};
}

// The pattern of a matchPattern call: a constant one checked against the outputs' types
// at compile time, or a RuntimePattern.
template <class... Outputs>
class CheckedPattern {
 public:
  template <std::size_t Size>
  consteval CheckedPattern(const char (&pattern)[Size]) : text_(pattern) {
    constexpr std::array<MatchOutputKind, sizeof...(Outputs)> KINDS{
        match_output::outputKind<Outputs>()...};
    refused::refuse(findPatternFault(pattern, KINDS));
    shape_ = plainShape(pattern);
  }
  CheckedPattern(RuntimePattern pattern) : text_(pattern.text) {}
  template <UncheckablePattern Pattern>
  CheckedPattern(Pattern&& /*pattern*/) : text_(nullptr) {
    static_assert(REFUSED<Pattern>,
                  "a pattern known only at run time is given as runtimePattern(pattern), "
                  "unchecked; a constant one as a literal or a constexpr char array");
  }

  const char* text() const { return text_; }
  PlainShape shape() const { return shape_; }

 private:
  const char* text_;
  PlainShape shape_{false, false, 0, 0, 0};
};

// Outputs are deduced from the arguments after the text alone.
template <class... Outputs>
using PatternFor = CheckedPattern<std::type_identity_t<Outputs>...>;

// Which outputs a match stored a value into, as sscanf's count tells: bit i for output i,
// from 0 in the pattern's order. Failed trials of a star store too, so an output may be
// marked after a match that returns 0.
struct StoredOutputs {
  std::uint64_t bits = 0;

  bool has(std::size_t index) const { return index < 64 && (bits >> index & 1U) != 0; }
  int count() const { return std::popcount(bits); }
};

namespace match_output {
// Both entries' one body: the outputs described in a list on the stack, then the core.
template <class... Outputs>
int matchTyped(const char* pattern, const char* text, std::uint64_t* stored, Outputs&&... outputs) {
  if constexpr (sizeof...(Outputs) == 0) {
    return matchPatternCore(pattern, text, 1, MatchOutputList{}, stored);
  } else {
    const MatchOutput list[] = {describe(std::forward<Outputs>(outputs))...};
    return matchPatternCore(pattern, text, 1, MatchOutputList{list, sizeof...(Outputs)}, stored);
  }
}
}  // namespace match_output

// The entry: matches case-sensitively, with the outputs in the order of the pattern's
// storing directives. Result as for matchPatternCore.
template <match_output::Describable... Outputs>
int matchPattern(PatternFor<Outputs...> pattern, const char* text, Outputs&&... outputs) {
  if constexpr (sizeof...(Outputs) == 0) {
    if (pattern.shape().plain) return matchShapedPattern(pattern.text(), pattern.shape(), text, 1);
  }
  return match_output::matchTyped(pattern.text(), text, nullptr, std::forward<Outputs>(outputs)...);
}

// The same match, telling in `stored` which outputs received a value.
template <match_output::Describable... Outputs>
int matchPattern(StoredOutputs& stored, PatternFor<Outputs...> pattern, const char* text,
                 Outputs&&... outputs) {
  static_assert(sizeof...(Outputs) <= 64, "StoredOutputs tells of 64 outputs at most");
  stored = StoredOutputs{};
  return match_output::matchTyped(pattern.text(), text, &stored.bits,
                                  std::forward<Outputs>(outputs)...);
}

}  // namespace usb_flash_detect::match
