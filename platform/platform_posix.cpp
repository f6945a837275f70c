// The platform layer on POSIX systems. It stands in for Windows the way Wine lays a
// Windows system out on a POSIX file system: drive C: is the folder $WINEPREFIX/drive_c
// (~/.wine/drive_c without WINEPREFIX), other drives are $WINEPREFIX/dosdevices/<x>:, and
// each component of a DOS path is found without regard to case when the name as written
// is absent, so a mounted Windows installation ("Windows/INF") works too. Which names are
// listed, in what order, and which path leads where are the pure rules of
// windows_text/file_names.h; this file only reads folders and opens files.
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
#include "windows_text/bounded_text.h"
#include "windows_text/file_names.h"
#include "windows_text/inf_reader.h"

namespace platform {

struct DirectorySearch {
  std::vector<std::string> names;
  std::size_t next = 0;
  bool complete = true;  // false: the folder failed to list partway, names holds a part
  bool inUse = false;
};

namespace {

constexpr std::size_t HOST_PATH_CAPACITY = PATH_MAX;

// Appends `name` (of `length` bytes) to the host path in `path`, after a "/" unless the
// path is empty (relative). False when it does not fit.
bool appendComponent(char* path, const char* name, std::size_t length) {
  const std::size_t used = std::strlen(path);
  const bool separated = used == 0 || appendText(path, HOST_PATH_CAPACITY, "/");
  if (separated && appendText(path, HOST_PATH_CAPACITY, name, length)) return true;
  path[used] = '\0';
  return false;
}

// How far a folder's listing went.
enum class Listing {
  UNOPENED,  // the folder could not be opened (errno says why)
  PARTIAL,   // it failed partway
  WHOLE,     // every entry was read, or `take` stopped it
};

// Hands each entry name of the folder `directory` to `take` until it returns false or the
// entries end. readdir's end and its error differ only by errno.
template <typename Take>
Listing forEachEntry(const char* directory, Take take) {
  DIR* folder = opendir(directory);
  if (folder == nullptr) return Listing::UNOPENED;
  Listing listing = Listing::WHOLE;
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(folder);
    if (entry == nullptr) {
      if (errno != 0) listing = Listing::PARTIAL;
      break;
    }
    if (!take(entry->d_name)) break;
  }
  closedir(folder);
  return listing;
}

// The entry of `directory` whose name equals `name` without regard to case; of several,
// the first the folder yields, as Wine takes it.
bool findNameIgnoringCase(const char* directory, const char* name, std::size_t length,
                          std::string& found) {
  found.clear();
  forEachEntry(directory, [&](const char* entryName) {
    if (file_names::sameNameIgnoringCase(entryName, name, length)) found = entryName;
    return found.empty();
  });
  return !found.empty();
}

// Appends one host path component, as written when that exists, else as found on disk.
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

// How a DOS path's components become host path components.
enum class Spelling {
  AS_WRITTEN,        // byte for byte: the usual case, and one system call to open
  AS_FOUND_ON_DISK,  // each component as written when it exists, else found without regard to case
};

// Appends the '/'-separated host components of `relative` to `hostPath`.
bool appendHostComponents(const char* relative, Spelling spelling, char* hostPath) {
  while (*relative != '\0') {
    const std::size_t length = std::strcspn(relative, "/");
    const bool appended = spelling == Spelling::AS_WRITTEN
                              ? appendComponent(hostPath, relative, length)
                              : resolveComponent(hostPath, relative, length);
    if (!appended) return false;
    relative += length;
    if (*relative == '/') ++relative;
  }
  return true;
}

// Maps the first `length` bytes of a DOS path ("C:\windows\inf\x.inf", "\windows",
// "inf\x.inf") to a host path, after the host path already in `hostPath` when the DOS path
// has no root. False when the path is refused or does not fit.
bool toHostPath(const char* dosPath, std::size_t length, Spelling spelling, char* hostPath) {
  char relative[HOST_PATH_CAPACITY];
  file_names::PathBase base = file_names::PathBase::CURRENT_DIRECTORY;
  if (!file_names::toHostPath(dosPath, length, relative, sizeof relative, base)) return false;
  if (base == file_names::PathBase::PREFIX) {
    const char* prefix = winePrefix();
    if (*prefix == '\0' || !copyText(hostPath, HOST_PATH_CAPACITY, prefix)) return false;
  }
  if (!appendHostComponents(relative, spelling, hostPath)) return false;
  return hostPath[0] != '\0' || copyText(hostPath, HOST_PATH_CAPACITY, ".");
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
    hostFolder[0] = '\0';
    valid = toHostPath(dosPath, length, Spelling::AS_FOUND_ON_DISK, hostFolder) &&
            copyText(dosFolder, sizeof dosFolder, dosPath, length);
    dosLength = length;
  }
  // The host path of `name` (the rest of a DOS path) inside this folder.
  bool pathOf(const char* name, Spelling spelling, char* hostPath) const {
    return copyText(hostPath, HOST_PATH_CAPACITY, hostFolder) &&
           toHostPath(name, std::strlen(name), spelling, hostPath);
  }
};

ResolvedFolder resolvedFolder;

// Runs `attempt` on the host path of a DOS path. The path is tried as written, except in
// the folder found last time without regard to case, where the name is tried as written
// and then as found on disk; when all that finds nothing, the folders are searched afresh.
// `attempt` returns false and leaves errno set when it fails.
template <typename Attempt>
bool onHostPath(const char* dosPath, Attempt attempt) {
  char hostPath[HOST_PATH_CAPACITY] = "";
  const std::size_t folder = file_names::folderLength(dosPath);
  const char* name = dosPath + folder;
  if (resolvedFolder.holds(dosPath, folder)) {
    for (const Spelling spelling : {Spelling::AS_WRITTEN, Spelling::AS_FOUND_ON_DISK}) {
      if (!resolvedFolder.pathOf(name, spelling, hostPath)) return false;
      if (attempt(hostPath)) return true;
      if (!isNotFound(errno)) return false;
    }
  } else {
    if (!toHostPath(dosPath, std::strlen(dosPath), Spelling::AS_WRITTEN, hostPath)) return false;
    if (attempt(hostPath)) return true;
    if (!isNotFound(errno)) return false;
  }
  resolvedFolder.resolve(dosPath, folder);
  return resolvedFolder.valid &&
         resolvedFolder.pathOf(name, Spelling::AS_FOUND_ON_DISK, hostPath) && attempt(hostPath);
}

bool isDirectory(const char* hostPath) {
  struct stat status;
  return stat(hostPath, &status) == 0 && S_ISDIR(status.st_mode);
}

// The ANSI names of a host folder's entries that match `namePattern` as Windows lists
// them, in NTFS order, into `search`; names that Windows could not hold, or that would not
// lead back to their entry, are left out. False, with errno set, when the folder cannot be
// opened; a listing that fails partway leaves search.complete false.
bool listMatchingNames(const char* hostDirectory, const char* namePattern,
                       DirectorySearch& search) {
  std::vector<std::pair<std::string, std::string>> found;  // host name, ANSI name
  char windowsName[FILE_NAME_CAPACITY];
  const Listing listing = forEachEntry(hostDirectory, [&](const char* hostName) {
    if (file_names::listedName(namePattern, hostName, windowsName, sizeof windowsName))
      found.emplace_back(hostName, windowsName);
    return true;
  });
  if (listing == Listing::UNOPENED) return false;
  search.complete = listing == Listing::WHOLE;
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    return file_names::compareNames(a.first.c_str(), b.first.c_str()) < 0;
  });
  for (auto& name : found) search.names.push_back(std::move(name.second));
  return true;
}

// The one enumeration the run makes at a time.
DirectorySearch activeSearch;

// Names that do not fit an entry were never listed (listMatchingNames).
void fillEntry(const std::string& name, DirectoryEntry& entry) {
  (void)copyText(entry.fileName, sizeof entry.fileName, name.c_str());
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

// Whether the folder of the DOS path `path` is still a directory: a file that cannot be
// opened is then that file's own fault, not a sign that the whole folder went away.
bool folderRemains(const char* path) {
  char folder[HOST_PATH_CAPACITY];
  const std::size_t length = file_names::folderLength(path);
  return copyText(folder, sizeof folder, path, length) &&
         onHostPath(folder, [](const char* hostFolder) { return isDirectory(hostFolder); });
}

}  // namespace

std::size_t getWindowsDirectory(char* buffer, std::size_t capacity) {
  if (capacity == 0) return 0;
  buffer[0] = '\0';
  char hostPath[HOST_PATH_CAPACITY] = "";
  if (!toHostPath("C:", 2, Spelling::AS_WRITTEN, hostPath)) return 0;
  const std::size_t driveLength = std::strlen(hostPath);
  if (!resolveComponent(hostPath, "windows", 7) || !isDirectory(hostPath)) return 0;
  const char* onDisk = hostPath + driveLength + 1;  // only ASCII letters match "windows"
  const std::string windowsDirectory = std::string("C:\\") + onDisk;
  return copyText(buffer, capacity, windowsDirectory.c_str()) ? windowsDirectory.size() : 0;
}

bool setCurrentDirectory(const char* path) {
  return path[0] != '\0' &&
         onHostPath(path, [](const char* hostPath) { return chdir(hostPath) == 0; });
}

DirectorySearch* findFirstFile(const char* pattern, DirectoryEntry& entry) {
  if (activeSearch.inUse) return nullptr;
  const char* lastSeparator = std::strrchr(pattern, '\\');
  const char* namePattern = lastSeparator == nullptr ? pattern : lastSeparator + 1;
  const std::string dosDirectory(pattern, static_cast<std::size_t>(namePattern - pattern));
  activeSearch = DirectorySearch{};
  onHostPath(dosDirectory.c_str(), [&](const char* hostDirectory) {
    return listMatchingNames(hostDirectory, namePattern, activeSearch);
  });
  if (activeSearch.names.empty()) return nullptr;
  activeSearch.inUse = true;
  fillEntry(activeSearch.names[activeSearch.next++], entry);
  return &activeSearch;
}

bool findNextFile(DirectorySearch* search, DirectoryEntry& entry) {
  if (search->next == search->names.size()) return false;
  fillEntry(search->names[search->next++], entry);
  return true;
}

bool findClose(DirectorySearch* search) {
  search->inUse = false;
  return search->complete;
}

std::size_t describeInfFolder(const char* infDirectory, char* buffer, std::size_t capacity) {
  if (capacity == 0) return 0;
  const char* folder = infDirectory[0] != '\0' ? infDirectory : "C:\\windows\\inf";
  char hostPath[HOST_PATH_CAPACITY] = "";
  const bool mapped = toHostPath(folder, std::strlen(folder), Spelling::AS_WRITTEN, hostPath);
  const char* variable = std::getenv("WINEPREFIX");
  const bool prefixGiven = variable != nullptr && *variable != '\0';
  const int length = std::snprintf(buffer, capacity, "%s%s", mapped ? hostPath : "(no Wine prefix)",
                                   prefixGiven ? "" : " (WINEPREFIX is not set)");
  if (length < 0 || static_cast<std::size_t>(length) >= capacity) buffer[0] = '\0';
  return std::strlen(buffer);
}

bool canListDirectory(const char* path) {
  return path[0] != '\0' && onHostPath(path, [](const char* hostDirectory) {
           return forEachEntry(hostDirectory, [](const char*) { return true; }) == Listing::WHOLE;
         });
}

std::size_t readProfileString(const char* section, const char* key, char* destination,
                              std::size_t capacity, const char* path) {
  int descriptor = -1;
  if (!file_names::isDeviceName(path)) {
    onHostPath(path, [&](const char* hostPath) {
      descriptor = openRegularFile(hostPath);
      return descriptor >= 0;
    });
  }
  if (descriptor < 0) {
    if (activeSearch.inUse && !folderRemains(path)) activeSearch.complete = false;
    if (capacity > 0) destination[0] = '\0';
    return 0;
  }
  const std::size_t length = inf::lookupProfileString({readFromDescriptor, &descriptor}, section,
                                                      key, destination, capacity);
  close(descriptor);
  return length;
}

}  // namespace platform
