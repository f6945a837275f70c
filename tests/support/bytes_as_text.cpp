#include "tests/support/bytes_as_text.h"

#include <algorithm>
#include <charconv>

namespace support {

namespace {

constexpr char HEX_DIGITS[] = "0123456789abcdef";

// One byte as printable ASCII: itself, a C escape, or \xHH.
std::string escapeByte(unsigned char byte) {
  constexpr std::string_view SPECIAL = "\r\n\t\\", LETTERS = "rnt\\";
  const std::size_t special = SPECIAL.find(static_cast<char>(byte));
  if (special != std::string_view::npos) return {'\\', LETTERS[special]};
  if (byte >= 0x20 && byte < 0x7F && byte != '"') return std::string(1, static_cast<char>(byte));
  return {'\\', 'x', HEX_DIGITS[byte >> 4], HEX_DIGITS[byte & 0x0F]};
}

// The line of `text` that holds byte `offset`, escaped.
std::string lineAround(std::string_view text, std::size_t offset) {
  const std::size_t start = text.rfind('\n', offset == 0 ? 0 : offset - 1);
  const std::size_t begin = start == std::string_view::npos ? 0 : start + 1;
  return escapeBytes(text.substr(begin, std::min(text.find('\n', offset), text.size()) - begin));
}

}  // namespace

std::string toHex(std::string_view bytes) {
  std::string hex;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    hex += {HEX_DIGITS[byte >> 4], HEX_DIGITS[byte & 0x0F]};
  }
  return hex;
}

bool fromHex(std::string_view hex, std::string& bytes) {
  if (hex.size() % 2 != 0) return false;
  bytes.clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    unsigned byte = 0;
    const char* pairEnd = hex.data() + i + 2;
    const auto [end, error] = std::from_chars(hex.data() + i, pairEnd, byte, 16);
    if (error != std::errc() || end != pairEnd) return false;
    bytes += static_cast<char>(byte);
  }
  return true;
}

std::string escapeBytes(std::string_view bytes) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size();) {
    std::size_t run = 1;
    while (i + run < bytes.size() && bytes[i + run] == bytes[i]) ++run;
    const std::string shown = escapeByte(static_cast<unsigned char>(bytes[i]));
    if (run > 8) {
      text += "\\{" + std::to_string(run) + "*" + shown + "}";
      i += run;
    } else {
      text += shown;
      ++i;
    }
  }
  return text;
}

std::vector<std::string> splitLines(std::string_view text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size() - 1) + 1;
    lines.emplace_back(text.substr(start, end - start));
    start = end;
  }
  return lines;
}

std::string describeDifference(std::string_view first, std::string_view second,
                               const std::string& firstName, const std::string& secondName) {
  const auto parting = std::mismatch(first.begin(), first.end(), second.begin(), second.end());
  const auto offset = static_cast<std::size_t>(parting.first - first.begin());
  const auto line = std::count(first.begin(), parting.first, '\n') + 1;
  const std::size_t width = std::max(firstName.size(), secondName.size()) + 1;
  auto shown = [&](const std::string& name, std::string_view text) {
    return "    " + name + std::string(width - name.size(), ' ') + lineAround(text, offset) + "\n";
  };
  return "part at byte " + std::to_string(offset) + " (line " + std::to_string(line) + "; " +
         firstName + " " + std::to_string(first.size()) + " bytes, " + secondName + " " +
         std::to_string(second.size()) + " bytes)\n" + shown(firstName, first) +
         shown(secondName, second);
}

}  // namespace support
