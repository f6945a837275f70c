// Compares a run's standard output with the expected bytes, to the byte:
//
//   compare_output <expected file> <output file>
//
// Exits with 0 when they are the same. Otherwise it prints where the two part and both
// texts with every byte that is not printable ASCII escaped, one output line per line, and
// exits with 1.
#include <iostream>
#include <string>
#include <string_view>

#include "tests/support/bytes_as_text.h"
#include "tests/support/files.h"

namespace {

// The text escaped, each of its lines on a line of its own.
std::string escapedByLines(std::string_view text) {
  std::string shown;
  for (const std::string& line : support::splitLines(text)) {
    shown += "    " + support::escapeBytes(line) + "\n";
  }
  return shown;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: compare_output <expected file> <output file>\n";
    return 2;
  }
  const std::string expected = support::readWholeFile(argv[1]);
  const std::string output = support::readWholeFile(argv[2]);
  if (output == expected) return 0;
  std::cout << "standard output differs from " << argv[1] << ": they "
            << support::describeDifference(expected, output, "expected", "got") << "--- expected:\n"
            << escapedByLines(expected) << "--- got:\n"
            << escapedByLines(output);
  return 1;
}
