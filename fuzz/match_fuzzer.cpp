// Feeds a pattern, a text and a list of typed outputs to the matcher, in both case modes
// and through the typed entry, and checks what every output may hold afterwards: each
// lives in a heap block of exactly its size (so any write past it is caught), a text
// output filled by "%s" is terminated within its capacity, "%c" writes one byte, and a
// directive that does not fit its output leaves it as it was. The outputs never change
// whether the pattern matches. Small inputs also go through the recursive model, which
// must give the same result and, after a match, the same text, char and int outputs.
//
// Input: one byte giving the number of outputs (modulo 9), one byte per output choosing its
// kind (modulo 13) and, for text, its capacity (0 to 8), then the pattern, a NUL and the
// text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "tests/recursive_model.h"
#include "usb_flash_detect/match.h"

using namespace usb_flash_detect::match;

namespace {

constexpr std::size_t MOST_OUTPUTS = 8;
constexpr std::size_t LARGEST_TEXT_OUTPUT = 8;
constexpr unsigned char FILL = 0x5C;

void require(bool condition) {
  if (!condition) std::abort();
}

// The size of each kind of output, in MatchOutputKind's order (a text's is chosen with it).
constexpr std::size_t KIND_SIZES[] = {
    0,
    sizeof(char),
    sizeof(short),
    sizeof(int),
    sizeof(long),
    sizeof(long long),
    sizeof(unsigned short),
    sizeof(unsigned),
    sizeof(unsigned long),
    sizeof(unsigned long long),
    sizeof(float),
    sizeof(double),
    sizeof(long double),
};
constexpr std::size_t KIND_COUNT = std::size(KIND_SIZES);
static_assert(KIND_COUNT == static_cast<std::size_t>(MatchOutputKind::LONG_DOUBLE) + 1);

// Whether the conversion character `conversion` ('\0': none) may store into `kind`.
bool fits(char conversion, MatchOutputKind kind) {
  return conversion != '\0' && outputTakes(kind, conversion);
}

// The conversion characters of the pattern's storing directives, in order; a "%" at the
// very end is a literal.
std::string storingDirectives(const char* pattern) {
  std::string conversions;
  for (const char* c = pattern; *c != '\0'; ++c) {
    if (*c != '%' || c[1] == '\0') continue;
    ++c;
    if (recursive_model::isStoringCharacter(*c)) conversions += *c;
  }
  return conversions;
}

// Outputs and the bytes each started with. Every output's size is its capacity, which
// describe() sets to a number's size and to 1 for a char.
struct Outputs {
  std::vector<MatchOutput> list;
  std::vector<std::vector<unsigned char>> before;
  std::vector<std::unique_ptr<unsigned char[]>> blocks;  // those the outputs own

  explicit Outputs(std::vector<MatchOutput> outputs) : list(std::move(outputs)) {
    for (const MatchOutput& output : list) {
      const auto* start = static_cast<const unsigned char*>(output.target);
      before.emplace_back(start, start + output.capacity);
    }
  }
  MatchOutputList view() const { return {list.data(), list.size()}; }
};

// The outputs the input's bytes choose, each in a heap block of exactly its size, so that
// any write past one is caught.
Outputs makeOutputs(std::span<const std::uint8_t> choices) {
  std::vector<MatchOutput> list;
  std::vector<std::unique_ptr<unsigned char[]>> blocks;
  for (const std::uint8_t choice : choices) {
    const auto kind = static_cast<MatchOutputKind>(choice % KIND_COUNT);
    const bool text = kind == MatchOutputKind::TEXT;
    const std::size_t size =
        text ? choice / KIND_COUNT % (LARGEST_TEXT_OUTPUT + 1) : KIND_SIZES[choice % KIND_COUNT];
    blocks.push_back(std::make_unique<unsigned char[]>(size));
    std::memset(blocks.back().get(), FILL, size);
    if (text && size > 0) blocks.back()[0] = '\0';
    list.push_back({kind, blocks.back().get(), size});
  }
  Outputs outputs(std::move(list));
  outputs.blocks = std::move(blocks);
  return outputs;
}

// What an output may hold after a match, given the directive that takes it ('\0': none).
void checkOutput(const MatchOutput& output, const unsigned char* before, char conversion) {
  const auto* bytes = static_cast<const unsigned char*>(output.target);
  const std::size_t size = output.capacity;
  if (size == 0) return;  // nothing may be written; the heap block's bounds catch a write
  if (!fits(conversion, output.kind)) {
    require(std::memcmp(bytes, before, size) == 0);
  } else if (output.kind == MatchOutputKind::TEXT && conversion == 's') {
    require(strnlen(reinterpret_cast<const char*>(bytes), size) < size);
  } else if (output.kind == MatchOutputKind::TEXT) {
    require(std::memcmp(bytes + 1, before + 1, size - 1) == 0);  // "%c": one byte
  }
}

void checkOutputs(const Outputs& outputs, const std::string& conversions) {
  for (std::size_t i = 0; i < outputs.list.size(); ++i) {
    const char conversion = i < conversions.size() ? conversions[i] : '\0';
    checkOutput(outputs.list[i], outputs.before[i].data(), conversion);
  }
}

void fuzzCore(const std::string& pattern, const char* text, int caseSensitive,
              std::span<const std::uint8_t> choices, const std::string& conversions) {
  const Outputs outputs = makeOutputs(choices);
  const int matched = matchPatternCore(pattern.c_str(), text, caseSensitive, outputs.view());
  require(matched == 0 || matched == 1);
  require(matched == matchPatternCore(pattern.c_str(), text, caseSensitive, {}));
  const PlainShape shape = plainShape(pattern.c_str());  // the entry for a known shape
  require(matched == matchShapedPattern(pattern.c_str(), shape, text, caseSensitive));
  checkOutputs(outputs, conversions);
}

// Every kind through the typed entry: character arrays, a span, a character and each
// number type, each in a heap block of its own size.
template <class Number>
std::unique_ptr<Number> number(int value) {
  return std::make_unique<Number>(static_cast<Number>(value));
}

template <std::size_t N>
std::unique_ptr<char[][N]> textArray() {
  auto array = std::make_unique<char[][N]>(1);
  std::memset(array[0], 'Z', N);
  array[0][0] = '\0';
  return array;
}

// One match through the typed entry, its outputs checked as the core's are.
template <class... Typed>
void fuzzTypedWith(const char* pattern, const char* text, const std::string& conversions,
                   Typed&&... outputs) {
  const Outputs described({match_output::describe(outputs)...});
  const int matched = matchPattern(runtimePattern(pattern), text, std::forward<Typed>(outputs)...);
  require(matched == matchPatternCore(pattern, text, 1, {}));
  checkOutputs(described, conversions);
}

void fuzzTyped(const char* pattern, const char* text, const std::string& conversions) {
  const auto one = textArray<1>();
  const auto two = textArray<2>();
  const auto five = textArray<5>();
  const auto spanned = textArray<3>();
  const auto single = number<char>('Z');
  const auto s = number<short>(1);
  const auto i = number<int>(2);
  const auto l = number<long>(3);
  const auto ll = number<long long>(4);
  const auto us = number<unsigned short>(5);
  const auto u = number<unsigned>(6);
  const auto ul = number<unsigned long>(7);
  const auto ull = number<unsigned long long>(8);
  const auto f = number<float>(9);
  const auto d = number<double>(10);
  const auto ld = number<long double>(11);
  fuzzTypedWith(pattern, text, conversions, one[0], two[0], five[0], std::span<char>(spanned[0]),
                *single, s.get(), i.get(), l.get(), ll.get(), us.get(), u.get(), ul.get(),
                ull.get(), f.get(), d.get(), ld.get());
}

// The recursive model's time grows with the ways the stars can split: only small inputs.
bool smallEnoughForModel(const std::string& pattern, const char* text) {
  constexpr std::size_t MOST_STARS = 4;
  constexpr std::size_t LONGEST_TEXT = 24;
  return static_cast<std::size_t>(std::count(pattern.begin(), pattern.end(), '*')) <= MOST_STARS &&
         std::strlen(text) <= LONGEST_TEXT;
}

bool modelled(MatchOutputKind kind) {
  return kind == MatchOutputKind::TEXT || kind == MatchOutputKind::CHAR ||
         kind == MatchOutputKind::INT;
}

void compareWithModel(const std::string& pattern, const char* text, int caseSensitive,
                      std::span<const std::uint8_t> choices) {
  const Outputs mine = makeOutputs(choices);
  const Outputs model = makeOutputs(choices);
  const int expected =
      recursive_model::modelMatch(pattern.c_str(), text, caseSensitive, model.view());
  const int got = matchPatternCore(pattern.c_str(), text, caseSensitive, mine.view());
  require(got == expected);
  if (got == 0) return;
  for (std::size_t i = 0; i < mine.list.size(); ++i) {
    if (!modelled(mine.list[i].kind)) continue;
    require(std::memcmp(mine.list[i].target, model.list[i].target, mine.list[i].capacity) == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t count = std::min<std::size_t>(data[0] % (MOST_OUTPUTS + 1), size - 1);
  const std::span<const std::uint8_t> choices(data + 1, count);
  const std::string rest(reinterpret_cast<const char*>(data + 1 + count), size - 1 - count);
  const std::string pattern = rest.substr(0, rest.find('\0'));
  const std::string text =
      pattern.size() < rest.size() ? rest.substr(pattern.size() + 1) : std::string();
  const char* textBytes = text.c_str();  // ends at its first NUL, like any C text
  const std::string conversions = storingDirectives(pattern.c_str());
  const bool small = smallEnoughForModel(pattern, textBytes);
  for (int caseSensitive = 0; caseSensitive <= 1; ++caseSensitive) {
    fuzzCore(pattern, textBytes, caseSensitive, choices, conversions);
    if (small) compareWithModel(pattern, textBytes, caseSensitive, choices);
  }
  fuzzTyped(pattern.c_str(), textBytes, conversions);
  return 0;
}
