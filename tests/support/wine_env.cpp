// Runs a command in the Wine environment of the tests, so that scripts (CMake, Python) use
// the same one as the C++ harness:
//
//   wine_env <prefix> <command> [arguments...]     e.g. wine_env /tmp/p wine tool.exe
//
// A relative prefix is taken from the current directory, since Wine wants it absolute. The
// command is found on PATH when it holds no slash. Exits with 2 on a usage error and 127
// when the command cannot be run.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/wine_environment.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    (void)std::fputs("usage: wine_env <prefix> <command> [arguments...]\n", stderr);
    return 2;
  }
  const std::string prefix = std::filesystem::absolute(argv[1]).string();
  for (std::string variable : support::wineEnvironment(prefix)) {
    const std::size_t equals = variable.find('=');
    variable[equals] = '\0';
    if (setenv(variable.c_str(), variable.c_str() + equals + 1, 1) != 0) return 127;
  }
  execvp(argv[2], argv + 2);
  std::perror(argv[2]);
  return 127;
}
