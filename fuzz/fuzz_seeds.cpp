// Writes the fuzz targets' seeds that come from the test-support generator: driver packages
// for the detector's per-file path, and generated INF files, each with one of the lookups
// worth making on it, for the INF reader. The fuzz tests run it before the targets, so the
// seeds follow the generator.
//
//   fuzz_seeds <folder>    writes <folder>/detector_fuzzer/ and <folder>/inf_reader_fuzzer/
#include <cstdio>
#include <string>

#include "tests/support/files.h"
#include "tests/support/inf_generator.h"

namespace {

const std::string FIRST = std::string("%DeviceDesc%=Install, ") + support::FIRST_ID;
constexpr int GENERATED_READER_SEEDS = 8;

std::string package(const std::string& models) {
  return support::packageText({.models = models});
}

// The reader target's input: two bytes of capacity (260, little-endian), a byte choosing
// the read size, the two names ended by a NUL, then the file.
std::string readerInput(const support::LookupProbe& lookup, const std::string& file, int read) {
  return std::string{'\x04', '\x01', static_cast<char>(read)} + lookup.section + '\0' + lookup.key +
         '\0' + file;
}

// The detector target's input: a byte choosing the file name's length (8 plus the byte;
// 0xEC makes the full path 259 characters, 0xED one too many), then the file.
bool writeDetectorSeeds(const std::string& folder) {
  const std::string text = package(FIRST);
  const std::pair<const char*, std::string> seeds[] = {
      {"first_id", '\x00' + text},
      {"compatible_after", '\x03' + package(FIRST + ", USB\\Class_08")},
      {"flash_key",
       '\x09' + package(std::string("%DeviceDesc.Flash%=Install, ") + support::FIRST_ID)},
      {"path_of_259", '\xEC' + package(std::string("%DeviceDesc%=Install, ") + support::SECOND_ID)},
      {"path_of_260", '\xED' + text},
      {"utf16", '\x05' + support::utf16le(std::u16string(text.begin(), text.end()))},
  };
  bool written = support::freshDirectory(folder);
  for (const auto& [name, input] : seeds) {
    written = written && support::writeWholeFile(folder + "/" + name, input);
  }
  return written;
}

bool writeReaderSeeds(const std::string& folder) {
  bool written = support::freshDirectory(folder) &&
                 support::writeWholeFile(folder + "/driver_version",
                                         readerInput({"Version", "DriverVer"}, package(FIRST), 7));
  for (int index = 0; index < GENERATED_READER_SEEDS; ++index) {
    const support::GeneratedFile file = support::generateInf(1, index, support::FileShape::HOSTILE);
    written =
        written && support::writeWholeFile(folder + "/generated_" + std::to_string(index),
                                           readerInput(file.probes.front(), file.bytes, index));
  }
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    (void)std::fputs("usage: fuzz_seeds <folder>\n", stderr);
    return 2;
  }
  const std::string folder = argv[1];
  const bool written = writeDetectorSeeds(folder + "/detector_fuzzer") &&
                       writeReaderSeeds(folder + "/inf_reader_fuzzer");
  return written ? 0 : 1;
}
