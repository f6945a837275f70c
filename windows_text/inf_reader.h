// A reader of INF/INI profile files that answers a lookup the way the Windows profile
// reader does, over bytes from any source. It holds no OS headers, so it builds and is
// tested on every system; platform_posix.cpp feeds it a file.
//
// One lookup is one pass over the bytes, from the start to the point where the answer is
// known, through fixed buffers: memory does not grow with the file, and nothing is cached
// between lookups. Those buffers are on the stack: a lookup takes up to about 130 KiB of
// it (99 to 129 KiB measured on x86-64 with GCC, Clang and MinGW-w64).
#pragma once

#include <cstddef>

namespace inf {

// Fills up to `capacity` bytes into `buffer` with the next bytes of the file; returns how
// many, and 0 at the end of the file or on an error.
using ReadBytes = std::size_t (*)(void* context, unsigned char* buffer, std::size_t capacity);

struct ByteSource {
  ReadBytes read;
  void* context;
};

// The value of `key` in `section` with an empty default: at most capacity - 1 bytes and a
// terminator in `destination`, and the number of bytes copied. A missing section or key,
// a key without "=", an empty file, or a section name of 32,767 bytes or more gives "" (0);
// a key name that long is taken as the empty name. With capacity 0 nothing is written.
// `key` and `destination` may be the same buffer. Files in UTF-16 (LE or BE, with a
// byte-order mark) or UTF-8 with a byte-order mark are decoded, and the answer comes back
// in code page 1252; any other file is taken byte for byte.
std::size_t lookupProfileString(ByteSource source, const char* section, const char* key,
                                char* destination, std::size_t capacity);

// The same over bytes in memory.
std::size_t lookupProfileStringInMemory(const void* bytes, std::size_t size, const char* section,
                                        const char* key, char* destination, std::size_t capacity);

}  // namespace inf
