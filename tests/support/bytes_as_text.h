// Bytes written as text: in hex for files that carry any byte, and escaped for messages.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace support {

// Two lower-case hex digits per byte.
std::string toHex(std::string_view bytes);

// Decodes `hex` into `bytes`; false when it is not an even run of hex digits.
bool fromHex(std::string_view hex, std::string& bytes);

// `bytes` with every byte that is not printable ASCII escaped (\r \n \t \\ \xHH), and
// runs of one byte longer than 8 written \{N*c}.
std::string escapeBytes(std::string_view bytes);

// The lines of `text`, each with its line end.
std::vector<std::string> splitLines(std::string_view text);

// Where `second` first parts from `first`: the byte and its line, both sizes, and the line
// around that byte in each, escaped, under the names given. For failure messages.
std::string describeDifference(std::string_view first, std::string_view second,
                               const std::string& firstName, const std::string& secondName);

}  // namespace support
