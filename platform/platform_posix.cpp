// The platform layer on POSIX systems. It stands in for Windows the way Wine lays a
// Windows system out on a POSIX file system: drive C: is the folder $WINEPREFIX/drive_c
// (~/.wine/drive_c without WINEPREFIX), other drives are $WINEPREFIX/dosdevices/<x>:, and
// each component of a DOS path is found without regard to ASCII case when the exact name
// is absent, so a mounted Windows installation ("Windows/INF") works too.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "windows_text/inf_reader.h"
#include "windows_text/windows_names.h"

namespace platform {

struct DirectorySearch {
  std::vector<std::string> names;
  std::size_t next = 0;
};

namespace {

constexpr std::size_t HOST_PATH_CAPACITY = PATH_MAX;

char upperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool sameNameIgnoringCase(const char* a, const char* b, std::size_t bLength) {
  for (std::size_t i = 0; i < bLength; ++i) {
    if (a[i] == '\0' || upperAscii(a[i]) != upperAscii(b[i])) return false;
  }
  return a[bLength] == '\0';
}

// Appends `name` (of `length` bytes) to the host path in `path`, after a "/" unless the
// path is empty (relative). False when it does not fit.
bool appendComponent(char* path, const char* name, std::size_t length) {
  std::size_t used = std::strlen(path);
  if (used + 1 + length >= HOST_PATH_CAPACITY) return false;
  if (used != 0) path[used++] = '/';
  std::memcpy(path + used, name, length);
  path[used + length] = '\0';
  return true;
}

// The entry of `directory` whose name equals `name` without regard to ASCII case; of
// several, the first in byte order, so the choice never depends on the directory's order.
bool findNameIgnoringCase(const char* directory, const char* name, std::size_t length,
                          std::string& found) {
  DIR* listing = opendir(directory);
  if (listing == nullptr) return false;
  found.clear();
  while (const dirent* entry = readdir(listing)) {
    if (!sameNameIgnoringCase(entry->d_name, name, length)) continue;
    if (found.empty() || found > entry->d_name) found = entry->d_name;
  }
  closedir(listing);
  return !found.empty();
}

// Appends one DOS path component to the host path, spelled as it is on disk.
bool resolveComponent(char* path, const char* name, std::size_t length) {
  const std::size_t used = std::strlen(path);
  if (!appendComponent(path, name, length)) return false;
  struct stat status;
  if (lstat(path, &status) == 0) return true;
  path[used] = '\0';
  std::string onDisk;
  if (!findNameIgnoringCase(used == 0 ? "." : path, name, length, onDisk)) {
    return appendComponent(path, name, length);  // absent: the lookups then find nothing
  }
  return appendComponent(path, onDisk.c_str(), onDisk.size());
}

// The Wine prefix: $WINEPREFIX, or ~/.wine without it; empty when neither is set or the
// path does not fit. A relative path is taken from the directory the run starts in, once:
// the run changes its current directory, after which the same text would name another
// folder.
const char* winePrefix() {
  static char prefix[HOST_PATH_CAPACITY];
  static bool known = false;
  if (known) return prefix;
  known = true;
  const char* fromEnvironment = std::getenv("WINEPREFIX");
  const bool given = fromEnvironment != nullptr && *fromEnvironment != '\0';
  const char* base = given ? fromEnvironment : std::getenv("HOME");
  if (base == nullptr) return prefix;
  char start[HOST_PATH_CAPACITY] = "";
  const bool relative = base[0] != '/' && base[0] != '\0';
  if (relative && getcwd(start, sizeof start) == nullptr) return prefix;
  const int length = std::snprintf(prefix, sizeof prefix, "%s%s%s%s", start,
                                   start[0] == '\0' ? "" : "/", base, given ? "" : "/.wine");
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof prefix) prefix[0] = '\0';
  return prefix;
}

// The host folder that stands for a drive's root.
bool driveRoot(char letter, char* path) {
  const char* prefix = winePrefix();
  if (*prefix == '\0') return false;
  const char drive = static_cast<char>(upperAscii(letter) - 'A' + 'a');
  char otherDrive[] = "/dosdevices/?:";
  otherDrive[12] = drive;
  const char* folder = drive == 'c' ? "/drive_c" : otherDrive;
  const int length = std::snprintf(path, HOST_PATH_CAPACITY, "%s%s", prefix, folder);
  return length > 0 && static_cast<std::size_t>(length) < HOST_PATH_CAPACITY;
}

// Characters Windows never allows in a file name. A host name holding one (a line end,
// say) cannot be reached through a Windows path, so a path through it finds nothing.
bool isForbiddenInName(unsigned char c) {
  switch (c) {
    case '"':
    case '*':
    case '<':
    case '>':
    case '?':
    case '|':
      return true;
    default:
      return c >= 0x01 && c <= 0x1F;
  }
}

bool hasForbiddenCharacter(const char* name, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (isForbiddenInName(static_cast<unsigned char>(name[i]))) return true;
  }
  return false;
}

// How a DOS path's components become host path components.
enum class Spelling {
  AsWritten,      // byte for byte: the usual case, and one system call to open
  AsFoundOnDisk,  // each component looked up without regard to ASCII case
};

// Appends the components of the DOS path `rest` to the host path. "." and empty components
// are dropped.
bool appendComponents(const char* rest, std::size_t restLength, Spelling spelling, char* hostPath) {
  const char* const end = rest + restLength;
  while (rest < end) {
    std::size_t length = std::strcspn(rest, "\\/");
    if (rest + length > end) length = static_cast<std::size_t>(end - rest);
    if (hasForbiddenCharacter(rest, length)) return false;
    const bool skip = length == 0 || (length == 1 && rest[0] == '.');
    if (!skip) {
      char name[HOST_PATH_CAPACITY] = "";
      if (!windows_names::appendHostName(rest, length, name, sizeof name)) return false;
      const std::size_t nameLength = std::strlen(name);
      const bool appended = spelling == Spelling::AsWritten
                                ? appendComponent(hostPath, name, nameLength)
                                : resolveComponent(hostPath, name, nameLength);
      if (!appended) return false;
    }
    rest += length;
    if (rest < end) ++rest;
  }
  return true;
}

// The part of a DOS path that names its root: "C:", "\" or nothing (relative).
std::size_t rootLength(const char* dosPath) {
  if (dosPath[0] != '\0' && dosPath[1] == ':') return 2;
  return dosPath[0] == '\\' || dosPath[0] == '/' ? 1 : 0;
}

// Maps the first `length` bytes of a DOS path ("C:\windows\inf\x.inf", "\windows",
// "inf\x.inf") to a host path.
bool toHostPath(const char* dosPath, std::size_t length, Spelling spelling, char* hostPath) {
  hostPath[0] = '\0';
  const std::size_t root = std::min(rootLength(dosPath), length);
  if (root == 2 && !driveRoot(dosPath[0], hostPath)) return false;
  if (root == 1 && !driveRoot('C', hostPath)) return false;
  if (!appendComponents(dosPath + root, length - root, spelling, hostPath)) return false;
  if (hostPath[0] == '\0') std::memcpy(hostPath, ".", 2);
  return true;
}

bool isNotFound(int error) {
  return error == ENOENT || error == ENOTDIR;
}

// The folder of the last path that had to be found without regard to case, and where it
// is on disk. The detector looks up file after file in one folder; on a mounted Windows
// installation ("Windows/INF") each of them would otherwise search the folders again.
struct ResolvedFolder {
  char dosFolder[HOST_PATH_CAPACITY] = "";
  std::size_t dosLength = 0;
  char hostFolder[HOST_PATH_CAPACITY] = "";
  bool valid = false;

  bool holds(const char* dosPath, std::size_t length) const {
    return valid && dosLength == length && std::memcmp(dosFolder, dosPath, length) == 0;
  }
  void resolve(const char* dosPath, std::size_t length) {
    valid = length < HOST_PATH_CAPACITY &&
            toHostPath(dosPath, length, Spelling::AsFoundOnDisk, hostFolder);
    if (!valid) return;
    std::memcpy(dosFolder, dosPath, length);
    dosLength = length;
  }
  // The host path of `name` (the rest of a DOS path) inside this folder.
  bool pathOf(const char* name, Spelling spelling, char* hostPath) const {
    std::memcpy(hostPath, hostFolder, std::strlen(hostFolder) + 1);
    return appendComponents(name, std::strlen(name), spelling, hostPath);
  }
};

ResolvedFolder resolvedFolder;

// The length of the folder part of a DOS path, up to and including its last separator.
std::size_t folderLength(const char* dosPath) {
  std::size_t folder = rootLength(dosPath);
  for (std::size_t i = folder; dosPath[i] != '\0'; ++i) {
    if (dosPath[i] == '\\' || dosPath[i] == '/') folder = i + 1;
  }
  return folder;
}

// Runs `attempt` on the host path of a DOS path. The path is tried as written, except in
// the folder found last time without regard to case, where the name is tried as written
// and then as found on disk; when all that finds nothing, the folders are searched afresh.
// `attempt` returns false and leaves errno set when it fails.
template <typename Attempt>
bool onHostPath(const char* dosPath, Attempt attempt) {
  char hostPath[HOST_PATH_CAPACITY];
  const std::size_t folder = folderLength(dosPath);
  const char* name = dosPath + folder;
  if (resolvedFolder.holds(dosPath, folder)) {
    for (const Spelling spelling : {Spelling::AsWritten, Spelling::AsFoundOnDisk}) {
      if (!resolvedFolder.pathOf(name, spelling, hostPath)) return false;
      if (attempt(hostPath)) return true;
      if (!isNotFound(errno)) return false;
    }
  } else {
    if (!toHostPath(dosPath, std::strlen(dosPath), Spelling::AsWritten, hostPath)) return false;
    if (attempt(hostPath)) return true;
    if (!isNotFound(errno)) return false;
  }
  resolvedFolder.resolve(dosPath, folder);
  return resolvedFolder.valid && resolvedFolder.pathOf(name, Spelling::AsFoundOnDisk, hostPath) &&
         attempt(hostPath);
}

bool isDirectory(const char* hostPath) {
  struct stat status;
  return stat(hostPath, &status) == 0 && S_ISDIR(status.st_mode);
}

// A file name pattern with "*" and "?", compared without regard to ASCII case.
bool nameMatches(const char* pattern, const char* name) {
  const char* starPattern = nullptr;
  const char* starName = nullptr;
  while (*name != '\0') {
    if (*pattern == '*') {
      starPattern = ++pattern;
      starName = name;
    } else if (*pattern != '\0' && (*pattern == '?' || upperAscii(*pattern) == upperAscii(*name))) {
      ++pattern;
      ++name;
    } else if (starPattern != nullptr) {
      pattern = starPattern;
      name = ++starName;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

// The order in which NTFS (and Wine) yield names: bytes compared with ASCII letters
// upper-cased.
bool comesBefore(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(upperAscii(x)) < static_cast<unsigned char>(upperAscii(y));
  });
}

// The ANSI names of a host folder's entries that match `namePattern`, in NTFS order (which
// the host names' UTF-8 bytes keep). False, with errno set, when the folder cannot be read.
bool listMatchingNames(const char* hostDirectory, const char* namePattern,
                       std::vector<std::string>& names) {
  DIR* listing = opendir(hostDirectory);
  if (listing == nullptr) return false;
  std::vector<std::pair<std::string, std::string>> found;  // host name, ANSI name
  char windowsName[FILE_NAME_CAPACITY];
  while (const dirent* entry = readdir(listing)) {
    const bool fits = windows_names::fromHostName(entry->d_name, windowsName, sizeof windowsName);
    if (fits && nameMatches(namePattern, windowsName))
      found.emplace_back(entry->d_name, windowsName);
  }
  closedir(listing);
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return comesBefore(a.first, b.first); });
  for (auto& name : found) names.push_back(std::move(name.second));
  return true;
}

void fillEntry(const std::string& name, DirectoryEntry& entry) {
  std::memcpy(entry.fileName, name.c_str(), name.size() + 1);
}

// DOS device names are devices in every folder, whatever their extension.
bool isDeviceName(const char* dosPath) {
  const char* base = dosPath;
  for (const char* c = dosPath; *c != '\0'; ++c) {
    if (*c == '\\' || *c == '/' || *c == ':') base = c + 1;
  }
  const std::size_t stem = std::strcspn(base, ".");
  static const char* const DEVICES[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* device : DEVICES) {
    if (stem == 3 && sameNameIgnoringCase(device, base, 3)) return true;
  }
  const bool numbered = stem == 4 && base[3] >= '1' && base[3] <= '9';
  return numbered && (sameNameIgnoringCase("COM", base, 3) || sameNameIgnoringCase("LPT", base, 3));
}

std::size_t readFromDescriptor(void* context, unsigned char* buffer, std::size_t capacity) {
  const int descriptor = *static_cast<int*>(context);
  for (;;) {
    const ssize_t got = read(descriptor, buffer, capacity);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return 0;
  }
}

// Opens a regular file for reading, never blocking on a FIFO or a device; -1 otherwise.
int openRegularFile(const char* hostPath) {
  const int descriptor = open(hostPath, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (descriptor < 0) return -1;
  struct stat status;
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(descriptor);
    errno = EISDIR;  // found, but not a file: another spelling would find the same
    return -1;
  }
  return descriptor;
}

}  // namespace

std::size_t getWindowsDirectory(char* buffer, std::size_t capacity) {
  if (capacity == 0) return 0;
  buffer[0] = '\0';
  char hostPath[HOST_PATH_CAPACITY];
  std::string onDisk;
  if (!driveRoot('C', hostPath) || !findNameIgnoringCase(hostPath, "windows", 7, onDisk)) return 0;
  if (!appendComponent(hostPath, onDisk.c_str(), onDisk.size()) || !isDirectory(hostPath)) return 0;
  const std::string windowsDirectory = "C:\\" + onDisk;  // only ASCII letters match "windows"
  if (windowsDirectory.size() >= capacity) return 0;
  std::memcpy(buffer, windowsDirectory.c_str(), windowsDirectory.size() + 1);
  return windowsDirectory.size();
}

bool setCurrentDirectory(const char* path) {
  return path[0] != '\0' &&
         onHostPath(path, [](const char* hostPath) { return chdir(hostPath) == 0; });
}

DirectorySearch* findFirstFile(const char* pattern, DirectoryEntry& entry) {
  const char* lastSeparator = std::strrchr(pattern, '\\');
  const char* namePattern = lastSeparator == nullptr ? pattern : lastSeparator + 1;
  const std::string dosDirectory(pattern, static_cast<std::size_t>(namePattern - pattern));
  auto* search = new DirectorySearch;
  onHostPath(dosDirectory.c_str(), [&](const char* hostDirectory) {
    return listMatchingNames(hostDirectory, namePattern, search->names);
  });
  if (search->names.empty()) {
    delete search;
    return nullptr;
  }
  fillEntry(search->names[search->next++], entry);
  return search;
}

bool findNextFile(DirectorySearch* search, DirectoryEntry& entry) {
  if (search->next == search->names.size()) return false;
  fillEntry(search->names[search->next++], entry);
  return true;
}

void findClose(DirectorySearch* search) {
  delete search;
}

bool canListDirectory(const char* path) {
  return path[0] != '\0' && onHostPath(path, [](const char* hostDirectory) {
           DIR* listing = opendir(hostDirectory);
           if (listing == nullptr) return false;
           closedir(listing);
           return true;
         });
}

std::size_t readProfileString(const char* section, const char* key, char* destination,
                              std::size_t capacity, const char* path) {
  int descriptor = -1;
  if (!isDeviceName(path)) {
    onHostPath(path, [&](const char* hostPath) {
      descriptor = openRegularFile(hostPath);
      return descriptor >= 0;
    });
  }
  if (descriptor < 0) {
    if (capacity > 0) destination[0] = '\0';
    return 0;
  }
  const std::size_t length = inf::lookupProfileString({readFromDescriptor, &descriptor}, section,
                                                      key, destination, capacity);
  close(descriptor);
  return length;
}

}  // namespace platform
