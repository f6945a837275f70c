// Bytes written as text: in hex for files that carry any byte, and escaped for messages.
#pragma once

#include <string>
#include <string_view>

namespace support {

// Two lower-case hex digits per byte.
std::string toHex(std::string_view bytes);

// Decodes `hex` into `bytes`; false when it is not an even run of hex digits.
bool fromHex(std::string_view hex, std::string& bytes);

// `bytes` with every byte that is not printable ASCII escaped (\r \n \t \\ \xHH), and
// runs of one byte longer than 8 written \{N*c}.
std::string escapeBytes(std::string_view bytes);

}  // namespace support
