#include "tests/fake_platform.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"
#include "windows_text/bounded_text.h"
#include "windows_text/inf_reader.h"

FakeSystem& fakeSystem() {
  static FakeSystem system;
  return system;
}

namespace platform {

struct DirectorySearch {
  std::size_t next;
  bool inUse;
};

namespace {
DirectorySearch search;

void fill(DirectoryEntry& entry, const std::string& name) {
  if (!copyText(entry.fileName, sizeof entry.fileName, name.c_str())) entry.fileName[0] = '\0';
}
}  // namespace

void prepareProcess() {}

std::size_t getWindowsDirectory(char* buffer, std::size_t capacity) {
  const std::string& directory = fakeSystem().windowsDirectory;
  if (capacity == 0) return 0;
  if (copyText(buffer, capacity, directory.c_str())) return directory.size();
  buffer[0] = '\0';
  return 0;
}

bool setCurrentDirectory(const char* path) {
  fakeSystem().currentDirectory = path;
  return true;
}

DirectorySearch* findFirstFile(const char* pattern, DirectoryEntry& entry) {
  fakeSystem().searchPatterns.emplace_back(pattern);
  if (search.inUse || fakeSystem().entries.empty()) return nullptr;
  search = {1, true};
  fill(entry, fakeSystem().entries[0]);
  return &search;
}

bool findNextFile(DirectorySearch* current, DirectoryEntry& entry) {
  if (current->next >= fakeSystem().entries.size()) return false;
  fill(entry, fakeSystem().entries[current->next++]);
  return true;
}

bool findClose(DirectorySearch* current) {
  current->inUse = false;
  return !fakeSystem().listingFailsAfterEntries;
}

bool canListDirectory(const char* path) {
  const FakeSystem& system = fakeSystem();
  return system.infDirectoryListable && !system.listingFailsAfterEntries &&
         path == system.windowsDirectory + "\\inf";
}

std::size_t readProfileString(const char* section, const char* key, char* destination,
                              std::size_t capacity, const char* path) {
  FakeSystem& system = fakeSystem();
  system.lookups.push_back(std::string(path) + "|" + section + "|" + key);
  const auto file = system.files.find(path);
  if (file == system.files.end()) {
    if (capacity > 0) destination[0] = '\0';
    return 0;
  }
  return inf::lookupProfileStringInMemory(file->second.data(), file->second.size(), section, key,
                                          destination, capacity);
}

void writeStandardOutput(const char* bytes, std::size_t length) {
  fakeSystem().output.append(bytes, length);
}

OutputOutcome standardOutputOutcome(char* reason, std::size_t capacity) {
  if (capacity > 0) reason[0] = '\0';
  return OutputOutcome::WHOLE;
}

void writeStandardError(const char* bytes, std::size_t length) {
  fakeSystem().errors.append(bytes, length);
}

std::size_t describeInfFolder(const char* infDirectory, char* buffer, std::size_t capacity) {
  const std::string described = std::string("<") + infDirectory + ">";
  if (copyText(buffer, capacity, described.c_str())) return described.size();
  if (capacity > 0) buffer[0] = '\0';
  return 0;
}

void consumeStandardInputLine() {
  ++fakeSystem().inputLinesConsumed;
}

}  // namespace platform
