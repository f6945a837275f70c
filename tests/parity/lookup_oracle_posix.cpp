// Answers lookup requests with the POSIX INF reader, the way the tool's POSIX build reads a
// file: a stream of bytes handed over in pieces.
//
//   parity_lookup_posix [--chunk N] <request file> <answer file>
//
// --chunk N hands the reader at most N bytes per read, to exercise every boundary between
// two pieces of the file.
#include <iostream>
#include <string>
#include <vector>

#include "lookup_protocol.h"
#include "tests/support/files.h"
#include "tests/support/reader_harness.h"
#include "windows_text/inf_reader.h"

namespace {

std::size_t largestChunk = static_cast<std::size_t>(-1);

// A file that cannot be read is read as no bytes, which gives the empty default.
std::size_t lookUpWithInfReader(const std::string& path, const char* section, const char* key,
                                char* destination, std::size_t capacity) {
  const std::string bytes = support::readWholeFile(path);
  support::ChunkedSource source{bytes, largestChunk};
  return inf::lookupProfileString({support::ChunkedSource::read, &source}, section, key,
                                  destination, capacity);
}

// The reader converts decoded text to code page 1252.
unsigned codePage1252() {
  return 1252;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.size() >= 2 && arguments[0] == "--chunk") {
    largestChunk = std::stoul(arguments[1]);
    if (largestChunk == 0) {
      std::cerr << "--chunk needs a positive size\n";
      return 2;
    }
    arguments.erase(arguments.begin(), arguments.begin() + 2);
  }
  return parity::runLookupProgram(arguments, {lookUpWithInfReader, nullptr, codePage1252});
}
