#include "lookup_protocol.h"

#include <cstring>
#include <fstream>
#include <iostream>

#include "tests/support/reader_harness.h"

namespace parity {

namespace {

// One lookup through a guarded buffer, written as its answer line.
std::string answerLookup(const LookupBackend& backend, const std::string& path,
                         const std::string& section, const std::string& key, bool sameBuffer,
                         std::size_t capacity) {
  const support::GuardedAnswer answer = support::guardedAnswer(capacity, [&](char* destination) {
    if (sameBuffer) std::memcpy(destination, key.c_str(), key.size() + 1);
    return backend.lookUp(path, section.c_str(), sameBuffer ? destination : key.c_str(),
                          destination, capacity);
  });
  std::string line = std::to_string(answer.length) + "\t" + toHex(answer.text);
  if (!answer.terminated) line += "\tunterminated";
  return answer.overrun ? line + "\toverrun" : line;
}

void answerListing(const LookupBackend& backend, const std::string& path, std::ostream& answers) {
  KeyList keys;
  if (backend.list != nullptr) backend.list(path, keys);
  for (const auto& [section, key] : keys) {
    answers << "K\t" << toHex(section) << '\t' << toHex(key) << '\n';
  }
  answers << "E\n";
}

// Decodes the hex fields after the kind; false when one is malformed or holds a NUL.
bool decodeFields(const std::vector<std::string>& fields, std::vector<std::string>& decoded) {
  decoded.assign(fields.size() - 1, std::string());
  for (std::size_t i = 1; i < fields.size(); ++i) {
    if (!fromHex(fields[i], decoded[i - 1])) return false;
    if (decoded[i - 1].find('\0') != std::string::npos) return false;
  }
  return true;
}

bool answerRequest(const std::string& line, std::ostream& answers, const LookupBackend& backend) {
  const std::vector<std::string> fields = splitFields(line);
  std::vector<std::string> values;
  if (fields.empty() || !decodeFields(fields, values)) return false;
  const std::string& kind = fields[0];
  if (kind == "P" && values.empty()) {
    answers << "P\t" << backend.codePage() << '\n';
    return true;
  }
  if (kind == "L" && values.size() == 1) {
    answerListing(backend, values[0], answers);
    return true;
  }
  if ((kind == "Q" || kind == "S" || kind == "W") && values.size() == 3) {
    if (kind == "S" && values[2].size() >= LOOKUP_CAPACITY) return false;
    const std::size_t capacity = kind == "W" ? LOOKUP_CAPACITY + 1 : LOOKUP_CAPACITY;
    answers << answerLookup(backend, values[0], values[1], values[2], kind == "S", capacity)
            << '\n';
    return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> splitFields(std::string_view line, char separator) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t tab = line.find(separator, start);
    fields.emplace_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

int runLookupProgram(const std::vector<std::string>& arguments, const LookupBackend& backend) {
  if (arguments.size() != 2) {
    std::cerr << "usage: <lookup program> <request file> <answer file>\n";
    return 2;
  }
  std::ifstream requests(arguments[0], std::ios::binary);
  std::ofstream answers(arguments[1], std::ios::binary);
  if (!requests || !answers) {
    std::cerr << "cannot open " << arguments[0] << " or " << arguments[1] << '\n';
    return 2;
  }
  std::string line;
  for (std::size_t number = 1; std::getline(requests, line); ++number) {
    if (!answerRequest(line, answers, backend)) {
      std::cerr << "malformed request on line " << number << '\n';
      return 1;
    }
  }
  answers.flush();
  return answers ? 0 : 1;
}

}  // namespace parity
