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
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "match/match.h"
#include "tests/recursive_model.h"

using namespace usb_flash_detect::match;

namespace {

constexpr std::size_t MOST_OUTPUTS = 8;
constexpr std::size_t KIND_COUNT = 13;
constexpr std::size_t LARGEST_TEXT_OUTPUT = 8;
constexpr unsigned char FILL = 0x5C;

void require(bool condition) {
  if (!condition) std::abort();
}

std::size_t sizeOf(MatchOutputKind kind) {
  switch (kind) {
    case MatchOutputKind::Text:
    case MatchOutputKind::Char:
      return 1;
    case MatchOutputKind::Short:
      return sizeof(short);
    case MatchOutputKind::Int:
      return sizeof(int);
    case MatchOutputKind::Long:
      return sizeof(long);
    case MatchOutputKind::LongLong:
      return sizeof(long long);
    case MatchOutputKind::UnsignedShort:
      return sizeof(unsigned short);
    case MatchOutputKind::Unsigned:
      return sizeof(unsigned);
    case MatchOutputKind::UnsignedLong:
      return sizeof(unsigned long);
    case MatchOutputKind::UnsignedLongLong:
      return sizeof(unsigned long long);
    case MatchOutputKind::Float:
      return sizeof(float);
    case MatchOutputKind::Double:
      return sizeof(double);
    case MatchOutputKind::LongDouble:
      return sizeof(long double);
  }
  return 1;
}

// Whether the conversion character `conversion` may store into an output of `kind`.
bool fits(char conversion, MatchOutputKind kind) {
  const auto among = [conversion](const char* set) {
    return conversion != '\0' && std::strchr(set, conversion) != nullptr;
  };
  switch (kind) {
    case MatchOutputKind::Text:
      return among("sc");
    case MatchOutputKind::Char:
      return conversion == 'c';
    case MatchOutputKind::Short:
    case MatchOutputKind::Int:
    case MatchOutputKind::Long:
    case MatchOutputKind::LongLong:
      return among("di");
    case MatchOutputKind::UnsignedShort:
    case MatchOutputKind::Unsigned:
    case MatchOutputKind::UnsignedLong:
    case MatchOutputKind::UnsignedLongLong:
      return among("uoxX");
    default:
      return among("eEfFgGaA");
  }
}

// The conversion characters of the pattern's storing directives, in order: "%" and any
// character but ":", "=", "%", "?" and "*"; a "%" at the very end is a literal.
std::string storingDirectives(const char* pattern) {
  std::string conversions;
  for (const char* c = pattern; *c != '\0'; ++c) {
    if (*c != '%' || c[1] == '\0') continue;
    ++c;
    if (std::strchr(":=%?*", *c) == nullptr) conversions += *c;
  }
  return conversions;
}

// One output in a heap block of exactly its size, and the bytes it started with.
struct OwnedOutput {
  MatchOutput output;
  std::unique_ptr<unsigned char[]> block;
  std::vector<unsigned char> before;
};

OwnedOutput makeOutput(std::uint8_t choice) {
  const auto kind = static_cast<MatchOutputKind>(choice % KIND_COUNT);
  const std::size_t size = kind == MatchOutputKind::Text
                               ? choice / KIND_COUNT % (LARGEST_TEXT_OUTPUT + 1)
                               : sizeOf(kind);
  OwnedOutput owned{{kind, nullptr, size}, std::make_unique<unsigned char[]>(size), {}};
  std::memset(owned.block.get(), FILL, size);
  if (kind == MatchOutputKind::Text && size > 0) owned.block[0] = '\0';
  owned.output.target = owned.block.get();
  owned.before.assign(owned.block.get(), owned.block.get() + size);
  return owned;
}

// What an output may hold after a match, given the directive that takes it ('\0': none).
void checkOutput(const MatchOutput& output, const unsigned char* before, char conversion) {
  const auto* bytes = static_cast<const unsigned char*>(output.target);
  const std::size_t size =
      output.kind == MatchOutputKind::Text ? output.capacity : sizeOf(output.kind);
  if (size == 0) return;  // nothing may be written; the heap block's bounds catch a write
  if (!fits(conversion, output.kind)) {
    require(std::memcmp(bytes, before, size) == 0);
  } else if (output.kind == MatchOutputKind::Text && conversion == 's') {
    require(strnlen(reinterpret_cast<const char*>(bytes), size) < size);
  } else if (output.kind == MatchOutputKind::Text) {
    require(std::memcmp(bytes + 1, before + 1, size - 1) == 0);  // "%c": one byte
  }
}

void checkOutputs(const MatchOutput* outputs, const std::vector<std::vector<unsigned char>>& before,
                  const std::string& conversions) {
  for (std::size_t i = 0; i < before.size(); ++i) {
    checkOutput(outputs[i], before[i].data(), i < conversions.size() ? conversions[i] : '\0');
  }
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

struct TypedOutputs {
  std::unique_ptr<char[][1]> one = textArray<1>();
  std::unique_ptr<char[][2]> two = textArray<2>();
  std::unique_ptr<char[][5]> five = textArray<5>();
  std::unique_ptr<char[][3]> spanned = textArray<3>();
  std::unique_ptr<char> single = number<char>('Z');
  std::unique_ptr<short> s = number<short>(1);
  std::unique_ptr<int> i = number<int>(2);
  std::unique_ptr<long> l = number<long>(3);
  std::unique_ptr<long long> ll = number<long long>(4);
  std::unique_ptr<unsigned short> us = number<unsigned short>(5);
  std::unique_ptr<unsigned> u = number<unsigned>(6);
  std::unique_ptr<unsigned long> ul = number<unsigned long>(7);
  std::unique_ptr<unsigned long long> ull = number<unsigned long long>(8);
  std::unique_ptr<float> f = number<float>(9);
  std::unique_ptr<double> d = number<double>(10);
  std::unique_ptr<long double> ld = number<long double>(11);
};

std::vector<MatchOutput> describeTyped(TypedOutputs& o) {
  using match_output::describe;
  using match_output::describeAny;
  return {describeAny(o.one[0]),  describeAny(o.two[0]),
          describeAny(o.five[0]), describe(std::span<char>(o.spanned[0])),
          describe(*o.single),    describe(o.s.get()),
          describe(o.i.get()),    describe(o.l.get()),
          describe(o.ll.get()),   describe(o.us.get()),
          describe(o.u.get()),    describe(o.ul.get()),
          describe(o.ull.get()),  describe(o.f.get()),
          describe(o.d.get()),    describe(o.ld.get())};
}

// The same outputs, in the same order, through the typed entry.
int matchTyped(const char* pattern, const char* text, TypedOutputs& o) {
  return matchPattern(pattern, text, o.one[0], o.two[0], o.five[0], std::span<char>(o.spanned[0]),
                      *o.single, o.s.get(), o.i.get(), o.l.get(), o.ll.get(), o.us.get(), o.u.get(),
                      o.ul.get(), o.ull.get(), o.f.get(), o.d.get(), o.ld.get());
}

std::vector<std::vector<unsigned char>> snapshot(const std::vector<MatchOutput>& outputs) {
  std::vector<std::vector<unsigned char>> bytes;
  for (const MatchOutput& output : outputs) {
    const auto* start = static_cast<const unsigned char*>(output.target);
    const std::size_t size =
        output.kind == MatchOutputKind::Text ? output.capacity : sizeOf(output.kind);
    bytes.emplace_back(start, start + size);
  }
  return bytes;
}

void fuzzTyped(const char* pattern, const char* text, const std::string& conversions) {
  TypedOutputs pristine;
  TypedOutputs outputs;
  const auto before = snapshot(describeTyped(pristine));
  const int matched = matchTyped(pattern, text, outputs);
  require(matched == matchPatternCore(pattern, text, 1, MatchOutputList{}));
  checkOutputs(describeTyped(outputs).data(), before, conversions);
}

// The recursive model's time grows with the ways the stars can split: only small inputs.
bool smallEnoughForModel(const std::string& pattern, const char* text) {
  constexpr std::size_t MOST_STARS = 4;
  constexpr std::size_t LONGEST_TEXT = 24;
  return static_cast<std::size_t>(std::count(pattern.begin(), pattern.end(), '*')) <= MOST_STARS &&
         std::strlen(text) <= LONGEST_TEXT;
}

bool modelled(MatchOutputKind kind) {
  return kind == MatchOutputKind::Text || kind == MatchOutputKind::Char ||
         kind == MatchOutputKind::Int;
}

void compareWithModel(const std::string& pattern, const char* text, int caseSensitive,
                      const std::vector<std::uint8_t>& choices) {
  std::vector<OwnedOutput> mine;
  std::vector<OwnedOutput> model;
  std::vector<MatchOutput> mineList;
  std::vector<MatchOutput> modelList;
  for (const std::uint8_t choice : choices) {
    mine.push_back(makeOutput(choice));
    model.push_back(makeOutput(choice));
    mineList.push_back(mine.back().output);
    modelList.push_back(model.back().output);
  }
  const int expected = recursive_model::modelMatch(pattern.c_str(), text, caseSensitive,
                                                   {modelList.data(), modelList.size()});
  const int got =
      matchPatternCore(pattern.c_str(), text, caseSensitive, {mineList.data(), mineList.size()});
  require(got == expected);
  if (got == 0) return;
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (!modelled(mineList[i].kind)) continue;
    const std::size_t size = mine[i].before.size();
    require(std::memcmp(mine[i].block.get(), model[i].block.get(), size) == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t count = std::min<std::size_t>(data[0] % (MOST_OUTPUTS + 1), size - 1);
  const std::string rest(reinterpret_cast<const char*>(data + 1 + count), size - 1 - count);
  const std::string pattern = rest.substr(0, rest.find('\0'));
  const std::string text =
      pattern.size() < rest.size() ? rest.substr(pattern.size() + 1) : std::string();
  const char* textBytes = text.c_str();  // ends at its first NUL, like any C text
  const std::string conversions = storingDirectives(pattern.c_str());

  for (int caseSensitive = 0; caseSensitive <= 1; ++caseSensitive) {
    std::vector<OwnedOutput> owned;
    std::vector<MatchOutput> outputs;
    std::vector<std::vector<unsigned char>> before;
    for (std::size_t i = 0; i < count; ++i) owned.push_back(makeOutput(data[1 + i]));
    for (const OwnedOutput& output : owned) {
      outputs.push_back(output.output);
      before.push_back(output.before);
    }
    const int withOutputs = matchPatternCore(pattern.c_str(), textBytes, caseSensitive,
                                             MatchOutputList{outputs.data(), outputs.size()});
    require(withOutputs == 0 || withOutputs == 1);
    require(withOutputs == matchPatternCore(pattern.c_str(), textBytes, caseSensitive, {}));
    checkOutputs(outputs.data(), before, conversions);
  }
  fuzzTyped(pattern.c_str(), textBytes, conversions);
  if (smallEnoughForModel(pattern, textBytes)) {
    const std::vector<std::uint8_t> choices(data + 1, data + 1 + count);
    for (int caseSensitive = 0; caseSensitive <= 1; ++caseSensitive) {
      compareWithModel(pattern, textBytes, caseSensitive, choices);
    }
  }
  return 0;
}
