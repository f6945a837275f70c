#include "inf_text.h"

namespace scan {

namespace {

// Decodes one UTF-8 sequence at `at` (the generator writes only well-formed text in the
// Basic Multilingual Plane) and moves `at` past it.
std::uint32_t nextCodePoint(std::string_view text, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(text[at++]);
  if (lead < 0x80) return lead;
  const int continuationBytes = lead >= 0xE0 ? 2 : 1;
  std::uint32_t codePoint = lead & (continuationBytes == 2 ? 0x0F : 0x1F);
  for (int i = 0; i < continuationBytes && at < text.size(); ++i) {
    codePoint = (codePoint << 6) | (static_cast<unsigned char>(text[at++]) & 0x3F);
  }
  return codePoint;
}

}  // namespace

void EncodedText::line(std::string_view utf8) {
  if (encoding_ == Encoding::utf8 || encoding_ == Encoding::utf8WithBom ||
      encoding_ == Encoding::ascii) {
    bytes_ += utf8;
  } else {
    for (std::size_t at = 0; at < utf8.size();) appendCodePoint(nextCodePoint(utf8, at));
  }
  if (lineEnd_ == LineEnd::crlf) appendCodePoint('\r');
  appendCodePoint('\n');
}

void EncodedText::appendCodePoint(std::uint32_t codePoint) {
  if (encoding_ == Encoding::utf16LeWithBom) {
    bytes_ += static_cast<char>(codePoint & 0xFF);
    bytes_ += static_cast<char>(codePoint >> 8);
  } else {
    // Code page 1252 agrees with Latin-1 on every character the generator writes.
    bytes_ += static_cast<char>(codePoint);
  }
}

void EncodedText::dropLastLineEnd() {
  const std::size_t unit = encoding_ == Encoding::utf16LeWithBom ? 2 : 1;
  const std::size_t lineEndLength = (lineEnd_ == LineEnd::crlf ? 2 : 1) * unit;
  if (bytes_.size() >= lineEndLength) bytes_.erase(bytes_.size() - lineEndLength);
}

std::string_view EncodedText::byteOrderMark() const {
  if (encoding_ == Encoding::utf16LeWithBom) return "\xFF\xFE";
  if (encoding_ == Encoding::utf8WithBom) return "\xEF\xBB\xBF";
  return {};
}

}  // namespace scan
