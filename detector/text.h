// Bounded copies into the detector's fixed text buffers.
#pragma once

#include <cstddef>
#include <cstring>

// Copies `source` into `destination` (capacity bytes, terminator included), cutting it to
// fit. True when it fitted whole. With capacity 0 nothing is written.
inline bool copyText(char* destination, std::size_t capacity, const char* source) {
  if (capacity == 0) return false;
  const std::size_t length = std::strlen(source);
  const std::size_t kept = length < capacity ? length : capacity - 1;
  std::memmove(destination, source, kept);
  destination[kept] = '\0';
  return kept == length;
}

// Appends `source` to the text in `destination` only if the whole of it fits; true then.
// Otherwise the destination is left as it was.
inline bool appendText(char* destination, std::size_t capacity, const char* source) {
  const std::size_t used = strnlen(destination, capacity);
  if (used == capacity || std::strlen(source) >= capacity - used) return false;
  return copyText(destination + used, capacity - used, source);
}
