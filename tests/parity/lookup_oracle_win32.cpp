// Answers lookup requests with the Windows profile reader (GetPrivateProfileStringA), the
// ground truth the POSIX INF reader is held to. Built with MinGW-w64 and run under Wine.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "lookup_protocol.h"

namespace {

// The longest section or key name, in bytes, that the profile reader takes.
constexpr std::size_t LONGEST_NAME = 32766;

// Host paths are reached through drive Z:, which Wine maps to the host's root.
std::string windowsPath(const std::string& hostPath) {
  std::string path = "Z:" + hostPath;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::size_t lookUpWithProfileReader(const std::string& path, const char* section, const char* key,
                                    char* destination, std::size_t capacity) {
  return GetPrivateProfileStringA(section, key, "", destination, static_cast<DWORD>(capacity),
                                  windowsPath(path).c_str());
}

// A NUL-separated list that `fill` writes; the buffer grows until the list fits (the
// reader signals a cut list by returning the capacity less two).
template <typename Fill>
std::vector<std::string> readNameList(Fill fill) {
  std::vector<char> buffer(1 << 16);
  DWORD length = 0;
  while (true) {
    length = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length + 2 < buffer.size()) break;
    buffer.resize(buffer.size() * 4);
  }
  std::vector<std::string> names;
  for (DWORD start = 0; start < length;) {
    const std::string name(buffer.data() + start);
    names.push_back(name);
    start += static_cast<DWORD>(name.size()) + 1;
  }
  return names;
}

void listWithProfileReader(const std::string& path, parity::KeyList& keys) {
  const std::string file = windowsPath(path);
  const std::vector<std::string> sections = readNameList([&](char* buffer, DWORD size) {
    return GetPrivateProfileSectionNamesA(buffer, size, file.c_str());
  });
  for (const std::string& section : sections) {
    const std::vector<std::string> names = readNameList([&](char* buffer, DWORD size) {
      return GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer, size, file.c_str());
    });
    for (const std::string& name : names) keys.emplace_back(section, name);
    // The key listing leaves out lines without "="; the section's lines hold them. Wine's
    // GetPrivateProfileSectionA crashes on a name it cannot convert, and no lookup can
    // reach such a section anyway.
    if (section.size() > LONGEST_NAME) continue;
    const std::vector<std::string> lines = readNameList([&](char* buffer, DWORD size) {
      return GetPrivateProfileSectionA(section.c_str(), buffer, size, file.c_str());
    });
    for (const std::string& line : lines) {
      if (line.find('=') == std::string::npos) keys.emplace_back(section, line);
    }
  }
}

unsigned ansiCodePage() {
  return GetACP();
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return parity::runLookupProgram(arguments,
                                  {lookUpWithProfileReader, listWithProfileReader, ansiCodePage});
}
