// The one seeded random source of the generated INF files: SplitMix64, small and fully
// specified, with integer-only draws (unlike the standard distributions), so that a seed
// gives the same bytes on every system and standard library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace support {

// A row of a table of cumulative shares: `value` is drawn for the numbers below `upTo` that
// the rows before it leave.
template <typename T>
struct Share {
  std::uint64_t upTo;
  T value;
};

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}

  std::uint64_t next() {
    std::uint64_t mixed = (state_ += 0x9E3779B97F4A7C15ULL);
    mixed = (mixed ^ (mixed >> 30)) * 0xBF58476D1CE4E5B9ULL;
    mixed = (mixed ^ (mixed >> 27)) * 0x94D049BB133111EBULL;
    return mixed ^ (mixed >> 31);
  }

  // A number in [0, bound); 0 when bound is 0.
  std::uint64_t below(std::uint64_t bound) { return bound == 0 ? 0 : next() % bound; }
  // A number in [low, high].
  std::uint64_t between(std::uint64_t low, std::uint64_t high) {
    return low + below(high - low + 1);
  }
  // True with a probability of chance / 100, or perMille / 1000.
  bool percent(unsigned chance) { return below(100) < chance; }
  bool perMille(unsigned chance) { return below(1000) < chance; }

  // A value from a table of cumulative shares, whose last row's upTo is the whole.
  template <typename T, std::size_t N>
  T share(const Share<T> (&rows)[N]) {
    const std::uint64_t draw = below(rows[N - 1].upTo);
    std::size_t row = 0;
    while (draw >= rows[row].upTo) ++row;
    return rows[row].value;
  }

  template <typename T, std::size_t N>
  const T& pick(const T (&items)[N]) {
    return items[below(N)];
  }
  template <typename T, std::size_t N>
  const T& pick(const std::array<T, N>& items) {
    return items[below(N)];
  }

 private:
  std::uint64_t state_;
};

}  // namespace support
