#include "tests/support/wine_environment.h"

namespace support {

std::vector<std::string> wineEnvironment(const std::string& prefix) {
  return {"WINEPREFIX=" + prefix, "WINEDEBUG=-all",
          "WINEDLLOVERRIDES=mscoree,mshtml=", "LC_ALL=C.UTF-8"};
}

}  // namespace support
