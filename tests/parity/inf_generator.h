// A seeded generator of INF-like files that mix what real files hold with what hostile
// ones do: blanks around names and values, quotes, comment lines, repeated sections and
// keys, names in other cases, bytes above 0x7F, long lines, every line end, NUL bytes,
// byte-order marks and UTF-16. The same seed gives the same bytes on every system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace parity {

// splitmix64: small, fast, and fully specified, unlike the standard distributions.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next();
  // A number in [0, bound); 0 when bound is 0.
  std::size_t below(std::size_t bound) { return bound == 0 ? 0 : next() % bound; }
  bool percent(unsigned chance) { return below(100) < chance; }
  template <typename T, std::size_t N>
  const T& pick(const T (&items)[N]) {
    return items[below(N)];
  }

 private:
  std::uint64_t state_;
};

// A lookup worth making on a generated file besides those its listing yields: names as
// written, in other spellings, and names the listing leaves out (comment lines, lines
// without "=", lines before the first header).
struct LookupProbe {
  std::string section;
  std::string key;
};

struct GeneratedFile {
  std::string bytes;
  std::vector<LookupProbe> probes;
};

enum class FileShape {
  // Anything goes.
  HOSTILE,
  // A driver package whose models line carries one of the two device IDs, dressed in the
  // same variety, so that the tool's whole run reports it (most of the time).
  MATCHING,
};

// The file number `index` of the run with `seed`.
GeneratedFile generateInf(std::uint64_t seed, std::uint64_t index, FileShape shape);

}  // namespace parity
