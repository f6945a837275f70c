// The bytes of one synthetic INF file as it would sit in a Windows INF folder: text written
// as UTF-8 in the generator and stored in the file's own encoding and line ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace scan {

enum class Encoding { ascii, utf8, utf8WithBom, windows1252, utf16LeWithBom };
enum class LineEnd { crlf, lf };

// Lines of one part of a file (a run of sections), already encoded.
class EncodedText {
 public:
  EncodedText(Encoding encoding, LineEnd lineEnd) : encoding_(encoding), lineEnd_(lineEnd) {}

  // Appends one line, given as UTF-8, and its line end.
  void line(std::string_view utf8);
  void blankLine() { line({}); }
  void append(const EncodedText& other) { bytes_ += other.bytes_; }
  // Drops the last line end, for files whose last line has none.
  void dropLastLineEnd();

  std::size_t size() const { return bytes_.size(); }
  const std::string& bytes() const { return bytes_; }
  Encoding encoding() const { return encoding_; }
  // The byte-order mark the file starts with, if any.
  std::string_view byteOrderMark() const;

 private:
  void appendCodePoint(std::uint32_t codePoint);

  Encoding encoding_;
  LineEnd lineEnd_;
  std::string bytes_;
};

}  // namespace scan
