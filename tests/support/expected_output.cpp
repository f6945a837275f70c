#include "tests/support/expected_output.h"

namespace support {

std::string countLine(int count) {
  return "\r\nfound " + std::to_string(count) + " drivers\r\n";
}

std::string record(const std::string& path, const std::string& provider, const std::string& device,
                   const std::string& version) {
  return path + "\r\n" + VALUE_LABELS[0] + provider + "\r\n" + VALUE_LABELS[1] + device + "\r\n" +
         VALUE_LABELS[2] + version + "\r\n";
}

}  // namespace support
