// Bounded copies into fixed text buffers: every copy of text into a buffer of a fixed
// capacity, in every layer, goes through these. A text either fits whole, terminator
// included, or the buffer is left as it was; nothing is ever written past `capacity`.
#pragma once

#include <cstddef>
#include <cstring>

// Copies the `length` bytes at `source` into `destination` (`capacity` bytes, terminator
// included) and terminates them, if they fit; true then. `source` may overlap
// `destination`.
inline bool copyText(char* destination, std::size_t capacity, const char* source,
                     std::size_t length) {
  if (length >= capacity) return false;
  std::memmove(destination, source, length);
  destination[length] = '\0';
  return true;
}

// The same for a terminated `source`.
inline bool copyText(char* destination, std::size_t capacity, const char* source) {
  return copyText(destination, capacity, source, std::strlen(source));
}

// Appends the `length` bytes at `source` to the terminated text in `destination`, if they
// fit; true then.
inline bool appendText(char* destination, std::size_t capacity, const char* source,
                       std::size_t length) {
  const std::size_t used = strnlen(destination, capacity);
  return used < capacity && copyText(destination + used, capacity - used, source, length);
}

// The same for a terminated `source`.
inline bool appendText(char* destination, std::size_t capacity, const char* source) {
  return appendText(destination, capacity, source, std::strlen(source));
}
