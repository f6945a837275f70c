// A small seeded generator (SplitMix64) with integer-only draws, so a seed gives the same
// directory on every system and standard library.
#pragma once

#include <cstdint>

namespace scan {

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}

  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }

  // A value in [0, bound); bound must be positive.
  std::uint64_t below(std::uint64_t bound) { return next() % bound; }

  // A value in [low, high].
  std::uint64_t between(std::uint64_t low, std::uint64_t high) {
    return low + below(high - low + 1);
  }

  // True with a probability of perMille / 1000.
  bool chance(unsigned perMille) { return below(1000) < perMille; }

 private:
  std::uint64_t state_;
};

}  // namespace scan
