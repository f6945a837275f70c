// The platform layer over the Win32 API: every service is the system's own.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "windows_text/screen_text.h"

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

// Text in the system's ANSI code page, the one the profile reader answers in.
std::size_t decodeAnsi(const char* bytes, std::size_t length, char16_t* units,
                       std::size_t capacity) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  const int decoded =
      MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(length),
                          reinterpret_cast<wchar_t*>(units), static_cast<int>(capacity));
  return decoded > 0 ? static_cast<std::size_t>(decoded) : 0;
}

// The message laid out for the screen, in one write, whatever the console's code page.
// False when it does not fit or the console refuses it.
bool writeToConsole(HANDLE console, const char* bytes, std::size_t length) {
  static char16_t units[SHOWN_MESSAGE_CAPACITY];
  std::size_t count = 0;
  if (!screen_text::layOut(bytes, length, decodeAnsi, units, SHOWN_MESSAGE_CAPACITY, count)) {
    return false;
  }
  DWORD written = 0;
  return WriteConsoleW(console, units, static_cast<DWORD>(count), &written, nullptr) != 0;
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
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  // Only a console has a mode: a file, a pipe or NUL gets the bytes, also when a console is
  // attached to the process.
  if (GetConsoleMode(output, &mode) != 0 && writeToConsole(output, bytes, length)) return;
  DWORD written = 0;
  WriteFile(output, bytes, static_cast<DWORD>(length), &written, nullptr);
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
