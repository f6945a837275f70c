// The platform layer over the Win32 API: every service is the system's own.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace platform {

// An enumeration: the system's handle and its entry record.
struct DirectorySearch {
  HANDLE handle;
  WIN32_FIND_DATAA data;
};

namespace {

// One enumeration at a time is all the run needs, so its state lives in static storage.
DirectorySearch activeSearch;
bool searchInUse = false;

// Copies the found name; names that do not fit the entry cannot come from the system.
void copyEntry(const WIN32_FIND_DATAA& data, DirectoryEntry& entry) {
  lstrcpynA(entry.fileName, data.cFileName, static_cast<int>(FILE_NAME_CAPACITY));
}

}  // namespace

void prepareProcess() {}

std::size_t getWindowsDirectory(char* buffer, std::size_t capacity) {
  if (capacity == 0) return 0;
  const UINT length = GetWindowsDirectoryA(buffer, static_cast<UINT>(capacity));
  if (length == 0 || length >= capacity) {
    buffer[0] = '\0';
    return 0;
  }
  return length;
}

bool setCurrentDirectory(const char* path) {
  return SetCurrentDirectoryA(path) != 0;
}

DirectorySearch* findFirstFile(const char* pattern, DirectoryEntry& entry) {
  if (searchInUse) return nullptr;
  activeSearch.handle = FindFirstFileA(pattern, &activeSearch.data);
  if (activeSearch.handle == INVALID_HANDLE_VALUE) return nullptr;
  searchInUse = true;
  copyEntry(activeSearch.data, entry);
  return &activeSearch;
}

bool findNextFile(DirectorySearch* search, DirectoryEntry& entry) {
  if (FindNextFileA(search->handle, &search->data) == 0) return false;
  copyEntry(search->data, entry);
  return true;
}

void findClose(DirectorySearch* search) {
  FindClose(search->handle);
  searchInUse = false;
}

bool canListDirectory(const char* path) {
  char pattern[MAX_PATH + 2];
  const int length = std::snprintf(pattern, sizeof pattern, "%s\\*", path);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof pattern) return false;
  WIN32_FIND_DATAA data;
  const HANDLE handle = FindFirstFileA(pattern, &data);  // a directory lists "." at least
  if (handle == INVALID_HANDLE_VALUE) return false;
  FindClose(handle);
  return true;
}

std::size_t readProfileString(const char* section, const char* key, char* destination,
                              std::size_t capacity, const char* path) {
  return GetPrivateProfileStringA(section, key, "", destination, static_cast<DWORD>(capacity),
                                  path);
}

void writeStandardOutput(const char* bytes, std::size_t length) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes, static_cast<DWORD>(length), &written, nullptr);
}

void consumeStandardInputLine() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  char chunk[512];
  DWORD got = 0;
  while (ReadFile(input, chunk, sizeof chunk, &got, nullptr) && got > 0) {
    if (std::memchr(chunk, '\n', got) != nullptr) return;
  }
}

}  // namespace platform
