// The bytes the detector prints, as the tests expect them: the banner, a record of four
// lines per driver package, the count line and the prompt, every line ending in CR LF and
// the tree drawn with the code page 437 bytes 0xC3 0xC4 and 0xC0 0xC4.
#pragma once

#include <cstddef>
#include <string>

namespace support {

inline constexpr char BANNER[] = "quellmark usb flash drivers detector by orvin_ta =)\r\n\r\n";
inline constexpr char PROMPT[] = "press enter\r\n";

// The starts of a record's three value lines, tree bytes included; each is LABEL_LENGTH
// bytes. "\xC4" and "d" are split so that the escape ends where it should.
inline constexpr const char* VALUE_LABELS[] = {"\xC3\xC4provider: ",
                                               ("\xC3\xC4"
                                                "device  : "),
                                               "\xC0\xC4version : "};
inline constexpr std::size_t LABEL_LENGTH = 12;

// "\r\nfound <count> drivers\r\n": the blank line after the records, then the count.
inline std::string countLine(int count) {
  return "\r\nfound " + std::to_string(count) + " drivers\r\n";
}

// One record: the file's full path, then its provider, device and version lines.
inline std::string record(const std::string& path, const std::string& provider,
                          const std::string& device, const std::string& version) {
  return path + "\r\n" + VALUE_LABELS[0] + provider + "\r\n" + VALUE_LABELS[1] + device + "\r\n" +
         VALUE_LABELS[2] + version + "\r\n";
}

}  // namespace support
