// Feeds one profile lookup over arbitrary file bytes to the INF reader and checks that the
// answer stays inside its buffer, ends in a terminator at the length returned, and does
// not depend on how the bytes arrive, on the capacity (beyond the cut) or on whether the
// key shares the destination.
//
// Input: two bytes of capacity (little-endian, modulo 600), one byte choosing the size of
// the pieces a byte source hands out, the section name and the key name, each ended by a
// NUL, then the file's bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/reader_harness.h"
#include "windows_text/inf_reader.h"

namespace {

constexpr std::size_t CAPACITY_RANGE = 600;
constexpr std::size_t FULL_CAPACITY = 1 << 13;  // more than the cut capacities

struct Lookup {
  std::size_t capacity;
  std::size_t pieceSize;
  std::string section;
  std::string key;
  std::string_view file;
};

bool parse(const std::uint8_t* data, std::size_t size, Lookup& lookup) {
  if (size < 3) return false;
  lookup.capacity = (data[0] | std::size_t{data[1]} << 8) % CAPACITY_RANGE;
  lookup.pieceSize = 1 + data[2] % 64;
  const std::string_view names(reinterpret_cast<const char*>(data + 3), size - 3);
  const std::size_t sectionEnd = names.find('\0');
  const std::size_t keyEnd = names.find('\0', sectionEnd + 1);
  if (sectionEnd == std::string_view::npos || keyEnd == std::string_view::npos) return false;
  lookup.section = names.substr(0, sectionEnd);
  lookup.key = names.substr(sectionEnd + 1, keyEnd - sectionEnd - 1);
  lookup.file = names.substr(keyEnd + 1);
  return true;
}

void require(bool condition) {
  if (!condition) std::abort();
}

// The answer in a guarded buffer; checks the guards, the length and the terminator, and
// returns the text.
std::string lookUpGuarded(const Lookup& lookup, std::size_t capacity) {
  const support::GuardedAnswer answer = support::guardedAnswer(capacity, [&](char* destination) {
    return inf::lookupProfileStringInMemory(lookup.file.data(), lookup.file.size(),
                                            lookup.section.c_str(), lookup.key.c_str(), destination,
                                            capacity);
  });
  require(!answer.overrun);
  if (capacity == 0) {
    require(answer.length == 0);
    return {};
  }
  require(answer.length < capacity && answer.terminated);
  require(answer.text.find('\0') == std::string::npos);  // a NUL ends every value
  return answer.text;
}

// The answer through a byte source, into a buffer of exactly `capacity` bytes.
std::string lookUpInPieces(const Lookup& lookup) {
  std::vector<char> destination(lookup.capacity);
  support::ChunkedSource source{lookup.file, lookup.pieceSize};
  const std::size_t length =
      inf::lookupProfileString({support::ChunkedSource::read, &source}, lookup.section.c_str(),
                               lookup.key.c_str(), destination.data(), lookup.capacity);
  require(length == 0 || length < lookup.capacity);
  return std::string(destination.data(), length);
}

// The answer with the key in the destination buffer itself.
std::string lookUpInPlace(const Lookup& lookup) {
  std::vector<char> buffer(lookup.capacity);
  std::memcpy(buffer.data(), lookup.key.c_str(), lookup.key.size() + 1);
  const std::size_t length = inf::lookupProfileStringInMemory(
      lookup.file.data(), lookup.file.size(), lookup.section.c_str(), buffer.data(), buffer.data(),
      lookup.capacity);
  require(length < lookup.capacity && buffer[length] == '\0');
  return std::string(buffer.data(), length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Lookup lookup;
  if (!parse(data, size, lookup)) return 0;
  const std::string full = lookUpGuarded(lookup, FULL_CAPACITY);
  const std::string answer = lookUpGuarded(lookup, lookup.capacity);
  // A smaller buffer gets the same answer, cut to fit.
  const std::size_t kept = lookup.capacity == 0 ? 0 : lookup.capacity - 1;
  require(answer == full.substr(0, kept));
  require(lookUpInPieces(lookup) == answer);
  if (lookup.capacity > lookup.key.size()) require(lookUpInPlace(lookup) == answer);
  return 0;
}
