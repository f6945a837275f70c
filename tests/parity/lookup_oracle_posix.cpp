// Answers lookup requests with the POSIX INF reader, the way the tool's POSIX build reads a
// file: a stream of bytes handed over in pieces.
//
//   parity_lookup_posix [--chunk N] <request file> <answer file>
//
// --chunk N hands the reader at most N bytes per read, to exercise every boundary between
// two pieces of the file.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "lookup_protocol.h"
#include "windows_text/inf_reader.h"

namespace {

struct FileSource {
  std::FILE* file;
  std::size_t chunk;
};

std::size_t largestChunk = static_cast<std::size_t>(-1);

std::size_t readFromFile(void* context, unsigned char* buffer, std::size_t capacity) {
  auto* source = static_cast<FileSource*>(context);
  return std::fread(buffer, 1, capacity < source->chunk ? capacity : source->chunk, source->file);
}

// A file that cannot be opened is read as no bytes, which gives the empty default.
std::size_t lookUpWithInfReader(const std::string& path, const char* section, const char* key,
                                char* destination, std::size_t capacity) {
  FileSource source{std::fopen(path.c_str(), "rb"), largestChunk};
  if (source.file == nullptr) {
    return inf::lookupProfileStringInMemory("", 0, section, key, destination, capacity);
  }
  const std::size_t length =
      inf::lookupProfileString({readFromFile, &source}, section, key, destination, capacity);
  (void)std::fclose(source.file);
  return length;
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
