// What the INF reader's tests, its fuzz target and the lookup programs hand it: bytes in
// pieces of a chosen size, and a destination watched for stray writes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace support {

// Hands out at most `chunk` bytes per read and counts the reads; `read` is the reader's
// byte source callback, with the ChunkedSource as its context.
struct ChunkedSource {
  std::string_view bytes;
  std::size_t chunk;
  std::size_t offset = 0;
  std::size_t reads = 0;

  static std::size_t read(void* context, unsigned char* buffer, std::size_t capacity) {
    auto& source = *static_cast<ChunkedSource*>(context);
    const std::size_t count =
        std::min({source.bytes.size() - source.offset, capacity, source.chunk});
    std::memcpy(buffer, source.bytes.data() + source.offset, count);
    source.offset += count;
    ++source.reads;
    return count;
  }
};

// An answer written into `capacity` bytes with guard bytes on both sides.
struct GuardedAnswer {
  std::size_t length = 0;   // what the writer returned
  std::string text;         // the bytes before that length, within the capacity
  bool terminated = false;  // a NUL at the length, within the capacity
  bool overrun = false;     // a guard byte changed
};

// Calls `write(destination)` and tells what it wrote.
template <typename Write>
GuardedAnswer guardedAnswer(std::size_t capacity, Write write) {
  constexpr std::size_t GUARD_SIZE = 32;
  constexpr char GUARD_BYTE = '\xA5';
  std::string buffer(GUARD_SIZE + capacity + GUARD_SIZE, GUARD_BYTE);
  char* destination = buffer.data() + GUARD_SIZE;
  GuardedAnswer answer;
  answer.length = write(destination);
  answer.text.assign(destination, std::min(answer.length, capacity));
  answer.terminated = answer.length < capacity && destination[answer.length] == '\0';
  const std::size_t first = buffer.find_first_not_of(GUARD_BYTE);
  const std::size_t last = buffer.find_last_not_of(GUARD_BYTE);
  answer.overrun =
      first < GUARD_SIZE || (last != std::string::npos && last >= GUARD_SIZE + capacity);
  return answer;
}

}  // namespace support
