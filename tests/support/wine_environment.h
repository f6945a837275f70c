// The one environment every Wine process of the tests and benchmarks runs in. POSIX only.
#pragma once

#include <string>
#include <vector>

namespace support {

// "NAME=value" for a private prefix, no debug output, no Mono or Gecko installer, and the
// UTF-8 locale: Wine takes the ANSI code page (1252) from it, and reads host file names in
// its character set, which the native build takes to be UTF-8.
inline std::vector<std::string> wineEnvironment(const std::string& prefix) {
  return {"WINEPREFIX=" + prefix, "WINEDEBUG=-all",
          "WINEDLLOVERRIDES=mscoree,mshtml=", "LC_ALL=C.UTF-8"};
}

}  // namespace support
