// Writes the fuzz targets' seeds that come from the test-support generator: driver packages
// for the detector's per-file path, and generated INF files, each with one of the lookups
// worth making on it, for the INF reader. fuzz/run_fuzzers.sh runs it before each run, so
// the seeds follow the generator.
//
//   fuzz_seeds <folder>    writes <folder>/detector_fuzzer/ and <folder>/inf_reader_fuzzer/
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/inf_generator.h"

namespace {

namespace fs = std::filesystem;
using support::FIRST_ID;
using support::SECOND_ID;

constexpr int GENERATED_READER_SEEDS = 8;

// Two bytes of capacity (little-endian), a byte choosing the read size, the two names ended
// by a NUL, then the file: the reader target's input.
std::string readerInput(const std::string& section, const std::string& key, const std::string& file,
                        unsigned char readSize) {
  constexpr unsigned CAPACITY = 260;
  return std::string{static_cast<char>(CAPACITY & 0xFF), static_cast<char>(CAPACITY >> 8),
                     static_cast<char>(readSize)} +
         section + '\0' + key + '\0' + file;
}

std::string package(const std::string& models) {
  return support::packageText({.models = models});
}

// The detector target's input: a byte choosing the file name's length (8 plus the byte;
// 0xEC makes the full path 259 characters, 0xED one too many), then the file.
bool writeDetectorSeeds(const fs::path& folder) {
  const std::string first = std::string("%DeviceDesc%=Install, ") + FIRST_ID;
  const std::string text = package(first);
  const struct {
    const char* name;
    char nameLength;
    std::string file;
  } seeds[] = {
      {"first_id", '\x00', package(first)},
      {"compatible_after", '\x03', package(first + ", USB\\Class_08")},
      {"flash_key", '\x09', package(std::string("%DeviceDesc.Flash%=Install, ") + FIRST_ID)},
      {"path_of_259", '\xEC', package(std::string("%DeviceDesc%=Install, ") + SECOND_ID)},
      {"path_of_260", '\xED', package(first)},
      {"utf16", '\x05', support::utf16le(std::u16string(text.begin(), text.end()))},
  };
  bool written = fs::create_directories(folder) || fs::is_directory(folder);
  for (const auto& seed : seeds) {
    written = written &&
              support::writeWholeFile((folder / seed.name).string(), seed.nameLength + seed.file);
  }
  return written;
}

bool writeReaderSeeds(const fs::path& folder) {
  const std::string first = std::string("%DeviceDesc%=Install, ") + FIRST_ID;
  bool written = (fs::create_directories(folder) || fs::is_directory(folder)) &&
                 support::writeWholeFile((folder / "driver_version").string(),
                                         readerInput("Version", "DriverVer", package(first), 7));
  for (int index = 0; index < GENERATED_READER_SEEDS; ++index) {
    const support::GeneratedFile file = support::generateInf(1, index, support::FileShape::HOSTILE);
    const support::LookupProbe& probe = file.probes.front();
    const std::string name = "generated_" + std::to_string(index);
    written = written && support::writeWholeFile((folder / name).string(),
                                                 readerInput(probe.section, probe.key, file.bytes,
                                                             static_cast<unsigned char>(index)));
  }
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    (void)std::fputs("usage: fuzz_seeds <folder>\n", stderr);
    return 2;
  }
  const fs::path folder = argv[1];
  const bool written = writeDetectorSeeds(folder / "detector_fuzzer") &&
                       writeReaderSeeds(folder / "inf_reader_fuzzer");
  return written ? 0 : 1;
}
