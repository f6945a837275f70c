// UTF-8 byte classes and encoding, shared by the units that read or write UTF-8. The
// decoders stay with their callers: each keeps the fault policy of the system function it
// stands in for.
#pragma once

#include <cstddef>

namespace utf8 {

// Whether `byte` continues a sequence (10xxxxxx).
inline bool isContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// How many bytes a sequence with this lead byte takes: 2 to 4, or 1 for a byte that starts
// none (ASCII, a continuation, or a lead that only overlong or out-of-range forms use).
inline std::size_t sequenceLength(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 1;
}

// The bits a lead byte of a sequence of `length` bytes carries.
inline unsigned leadBits(unsigned char lead, std::size_t length) {
  static constexpr unsigned MASKS[] = {0x7F, 0x7F, 0x1F, 0x0F, 0x07};
  return lead & MASKS[length];
}

// The longest encoding of one code point.
constexpr std::size_t MAX_SEQUENCE = 4;

// Writes the UTF-8 bytes of `point` (below 0x110000) to `out`, which has room for
// MAX_SEQUENCE; returns how many. A lone surrogate is written as its three bytes.
inline std::size_t encode(char32_t point, char* out) {
  if (point < 0x80) {
    out[0] = static_cast<char>(point);
    return 1;
  }
  if (point < 0x800) {
    out[0] = static_cast<char>(0xC0 | point >> 6);
    out[1] = static_cast<char>(0x80 | (point & 0x3F));
    return 2;
  }
  if (point < 0x10000) {
    out[0] = static_cast<char>(0xE0 | point >> 12);
    out[1] = static_cast<char>(0x80 | (point >> 6 & 0x3F));
    out[2] = static_cast<char>(0x80 | (point & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | point >> 18);
  out[1] = static_cast<char>(0x80 | (point >> 12 & 0x3F));
  out[2] = static_cast<char>(0x80 | (point >> 6 & 0x3F));
  out[3] = static_cast<char>(0x80 | (point & 0x3F));
  return 4;
}

}  // namespace utf8
