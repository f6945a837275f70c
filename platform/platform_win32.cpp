// The platform layer over the Win32 API: every service is the system's own.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "windows_text/bounded_text.h"
#include "windows_text/screen_text.h"

namespace platform {

// An enumeration: the system's handle, its entry record, and how it ended.
struct DirectorySearch {
  HANDLE handle;
  WIN32_FIND_DATAW data;
  bool complete;  // false: a fetch failed before the last entry
  bool inUse;
};

namespace {

// One enumeration at a time is all the run needs, so its state lives in static storage.
DirectorySearch activeSearch;

// The ANSI spelling of a listed name, as FindFirstFileA gives it, into the entry. False for
// a name that would not lead back to its entry: one with a character the page lacks (the
// ANSI functions give a best-fit letter or "?", whose path opens a namesake or nothing),
// one that ends in a dot or a blank (a path drops them), or one that does not fit.
bool narrowName(const wchar_t* name, DirectoryEntry& entry) {
  const int length = lstrlenW(name);
  if (length == 0 || name[length - 1] == L'.' || name[length - 1] == L' ') return false;
  // UTF-8 has every character, and refuses the lost-character report.
  const bool utf8 = GetACP() == CP_UTF8;
  BOOL lost = FALSE;
  const int narrowed = WideCharToMultiByte(
      CP_ACP, utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS, name, length, entry.fileName,
      static_cast<int>(FILE_NAME_CAPACITY - 1), nullptr, utf8 ? nullptr : &lost);
  if (narrowed <= 0 || lost) return false;
  entry.fileName[narrowed] = '\0';
  return true;
}

// Fetches entries until one leads back to itself; false at the end or when a fetch fails,
// which marks the listing incomplete.
bool nextListedName(DirectorySearch& search, DirectoryEntry& entry) {
  for (;;) {
    if (FindNextFileW(search.handle, &search.data) == 0) {
      search.complete = search.complete && GetLastError() == ERROR_NO_MORE_FILES;
      return false;
    }
    if (narrowName(search.data.cFileName, entry)) return true;
  }
}

// `text` in the ANSI code page as UTF-16, terminated, into `wide` (`capacity` units).
bool widen(const char* text, wchar_t* wide, int capacity) {
  return MultiByteToWideChar(CP_ACP, 0, text, -1, wide, capacity) > 0;
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

// Writes all of `bytes` to a file, a pipe or NUL. Returns 0, or the system's error code.
DWORD writeBytes(HANDLE handle, const char* bytes, std::size_t length) {
  DWORD written = 0;
  if (WriteFile(handle, bytes, static_cast<DWORD>(length), &written, nullptr) == 0) {
    return GetLastError();
  }
  return written == length ? 0 : ERROR_WRITE_FAULT;
}

// The bytes with every control byte but the line ends as "?", for a console that refused
// the laid-out message.
DWORD writeWithoutControls(HANDLE handle, const char* bytes, std::size_t length) {
  char shown[SHOWN_MESSAGE_CAPACITY];
  for (std::size_t done = 0; done < length;) {
    const std::size_t part = std::min(length - done, sizeof shown);
    screen_text::replaceControlBytes(bytes + done, part, shown);
    const DWORD error = writeBytes(handle, shown, part);
    if (error != 0) return error;
    done += part;
  }
  return 0;
}

// One message to a standard handle: laid out on a console, as bytes anywhere else. Only a
// console has a mode: a file, a pipe or NUL gets the bytes, also when a console is attached
// to the process. Returns 0, or the system's error code.
DWORD writeMessage(HANDLE handle, const char* bytes, std::size_t length) {
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode) == 0) return writeBytes(handle, bytes, length);
  if (writeToConsole(handle, bytes, length)) return 0;
  return writeWithoutControls(handle, bytes, length);
}

// The first failed write to standard output: its error code, or 0 while every write went
// whole.
DWORD firstOutputError = 0;

// The system's message for `error`, without its line end and closing full stop.
void describeError(DWORD error, char* reason, std::size_t capacity) {
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                     reason, static_cast<DWORD>(capacity), nullptr);
  std::size_t end = length;
  while (end > 0 && std::strchr("\r\n .", reason[end - 1]) != nullptr) --end;
  if (end > 0) {
    reason[end] = '\0';
  } else {
    (void)std::snprintf(reason, capacity, "error %lu", static_cast<unsigned long>(error));
  }
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
  if (activeSearch.inUse) return nullptr;
  wchar_t widePattern[2 * MAX_PATH];
  if (!widen(pattern, widePattern, 2 * MAX_PATH)) return nullptr;
  activeSearch.handle = FindFirstFileW(widePattern, &activeSearch.data);
  if (activeSearch.handle == INVALID_HANDLE_VALUE) return nullptr;
  activeSearch.complete = true;
  if (!narrowName(activeSearch.data.cFileName, entry) && !nextListedName(activeSearch, entry)) {
    FindClose(activeSearch.handle);
    return nullptr;  // canListDirectory tells an empty folder from a failed listing
  }
  activeSearch.inUse = true;
  return &activeSearch;
}

bool findNextFile(DirectorySearch* search, DirectoryEntry& entry) {
  return nextListedName(*search, entry);
}

bool findClose(DirectorySearch* search) {
  FindClose(search->handle);
  search->inUse = false;
  return search->complete;
}

bool canListDirectory(const char* path) {
  char pattern[MAX_PATH + 2];
  const int length = std::snprintf(pattern, sizeof pattern, "%s\\*", path);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof pattern) return false;
  WIN32_FIND_DATAA data;
  const HANDLE handle = FindFirstFileA(pattern, &data);  // a directory lists "." at least
  if (handle == INVALID_HANDLE_VALUE) return false;
  while (FindNextFileA(handle, &data) != 0) {
  }
  const bool whole = GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(handle);
  return whole;
}

std::size_t readProfileString(const char* section, const char* key, char* destination,
                              std::size_t capacity, const char* path) {
  const DWORD length =
      GetPrivateProfileStringA(section, key, "", destination, static_cast<DWORD>(capacity), path);
  // An empty answer may mean the folder went away: then the path is not found, not only
  // the file.
  if (length == 0 && activeSearch.inUse && GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES &&
      GetLastError() == ERROR_PATH_NOT_FOUND) {
    activeSearch.complete = false;
  }
  return length;
}

void writeStandardOutput(const char* bytes, std::size_t length) {
  const DWORD error = writeMessage(GetStdHandle(STD_OUTPUT_HANDLE), bytes, length);
  if (firstOutputError == 0) firstOutputError = error;
}

OutputOutcome standardOutputOutcome(char* reason, std::size_t capacity) {
  if (capacity > 0) reason[0] = '\0';
  if (firstOutputError == 0) return OutputOutcome::WHOLE;
  // Windows reports a pipe whose reader went away as ERROR_NO_DATA, Wine (8.0, measured) as
  // ERROR_PIPE_NOT_CONNECTED.
  if (firstOutputError == ERROR_NO_DATA || firstOutputError == ERROR_BROKEN_PIPE ||
      firstOutputError == ERROR_PIPE_NOT_CONNECTED) {
    return OutputOutcome::READER_GONE;
  }
  if (capacity > 0) describeError(firstOutputError, reason, capacity);
  return OutputOutcome::FAILED;
}

void writeStandardError(const char* bytes, std::size_t length) {
  (void)writeMessage(GetStdHandle(STD_ERROR_HANDLE), bytes, length);
}

std::size_t describeInfFolder(const char* infDirectory, char* buffer, std::size_t capacity) {
  const char* described = infDirectory[0] != '\0' ? infDirectory : "(no Windows directory)";
  if (copyText(buffer, capacity, described)) return std::strlen(buffer);
  if (capacity > 0) buffer[0] = '\0';
  return 0;
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
