// Serves the input as the one INF file of an in-memory system, runs the detector over it
// and checks that what it printed is well formed: the banner, records of four lines
// about that file (each line ending in CR LF, the path exactly the file's, every value a
// text of at most 259 bytes without line breaks), the count line with the number of
// records, and the prompt; and that every lookup went to that file.
//
// Input: one byte choosing the length of the file's name (8 to 255 bytes, so that some full
// paths fit the 259 characters of a text buffer and some do not), then the file's bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "detector/detector.h"
#include "tests/fake_platform.h"
#include "tests/support/expected_output.h"

namespace {

constexpr std::size_t SHORTEST_NAME = 8;
constexpr std::size_t LONGEST_NAME = 255;
constexpr std::size_t MOST_LOOKUPS = 7;

const std::string LINE_END = "\r\n";

void require(bool condition) {
  if (!condition) std::abort();
}

bool startsWithAt(const std::string& text, std::size_t at, const std::string& start) {
  return text.compare(at, start.size(), start) == 0;
}

// Checks one value line at `at`: its label, a text that fits a buffer and holds no line
// break, and CR LF. Returns where the next line starts.
std::size_t checkValueLine(const std::string& output, std::size_t at, const std::string& label) {
  require(startsWithAt(output, at, label));
  const std::size_t value = at + label.size();
  const std::size_t end = output.find(LINE_END, value);
  require(end != std::string::npos && end - value < TEXT_CAPACITY);
  require(output.find_first_of("\r\n", value) == end);
  return end + LINE_END.size();
}

// Checks the whole output; returns the number of records in it.
int checkOutput(const std::string& output, const std::string& path) {
  require(startsWithAt(output, 0, support::BANNER));
  std::size_t at = std::string(support::BANNER).size();
  int records = 0;
  while (startsWithAt(output, at, path + LINE_END)) {
    at += path.size() + LINE_END.size();
    for (const char* label : support::VALUE_LABELS) at = checkValueLine(output, at, label);
    ++records;
  }
  require(output.substr(at) == support::countLine(records) + support::PROMPT);
  return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t nameLength = SHORTEST_NAME + data[0] % (LONGEST_NAME - SHORTEST_NAME + 1);
  const std::string name = "oem" + std::string(nameLength - 7, 'n') + ".inf";
  FakeSystem& system = fakeSystem();
  system = FakeSystem{};
  resetDetectorState();
  const std::string path = system.windowsDirectory + "\\inf\\" + name;
  system.entries.push_back(name);
  system.files[path].assign(reinterpret_cast<const char*>(data + 1), size - 1);

  runDetector();

  const int records = checkOutput(system.output, path);
  require(records <= 1 && records == foundCount);
  require(system.inputLinesConsumed == 1 && system.lookups.size() <= MOST_LOOKUPS);
  for (const std::string& lookup : system.lookups) require(startsWithAt(lookup, 0, path + "|"));
  return 0;
}
