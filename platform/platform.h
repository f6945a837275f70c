// What the detector needs of the operating system. One implementation per system:
// platform_win32.cpp calls the Win32 API; platform_posix.cpp stands in for it over a Wine
// prefix (or a mounted Windows installation) laid out on a POSIX file system.
//
// Paths are DOS paths ("C:\windows\inf\oem1.inf") on every system; the POSIX layer maps
// them to host paths. Text is single bytes throughout.
#pragma once

#include <cstddef>

namespace platform {

// Readies the process for the run, once, before anything is written: a reader of standard
// output that goes away must end nothing but the write (POSIX ignores SIGPIPE; Windows
// needs nothing), and a POSIX terminal's character set is looked up.
void prepareProcess();

// Capacity of a file name in a directory entry, terminator included (Windows' MAX_PATH).
constexpr std::size_t FILE_NAME_CAPACITY = 260;

// Copies the Windows directory ("C:\windows") into `buffer`, terminated. Returns its
// length, or 0 when it cannot be had or does not fit (then `buffer` holds "" if
// capacity > 0).
std::size_t getWindowsDirectory(char* buffer, std::size_t capacity);

// Makes `path` the process's current directory. False when it cannot.
bool setCurrentDirectory(const char* path);

// One entry of a directory enumeration.
struct DirectoryEntry {
  char fileName[FILE_NAME_CAPACITY];
};

// An enumeration in progress; nullptr stands for none.
struct DirectorySearch;

// Starts enumerating the entries that `pattern` ("C:\windows\inf\*.inf": a directory, a
// backslash and a wildcard name with "*" and "?", matched against an entry's name or its
// short name without regard to case) matches, directories included, in the order the
// system yields them (NTFS: by name). Only names whose path leads back to the entry itself
// are yielded: a name the ANSI code page cannot spell, or that ends in a dot or a blank
// (which a path drops), would lead to another file or none. Fills `entry` with the first.
// nullptr when the enumeration cannot start or nothing matches (canListDirectory tells
// which). One enumeration at a time: a second findFirstFile before findClose is refused
// with nullptr.
DirectorySearch* findFirstFile(const char* pattern, DirectoryEntry& entry);

// Fills `entry` with the next matching entry. False after the last, or when the listing
// fails partway.
bool findNextFile(DirectorySearch* search, DirectoryEntry& entry);

// Ends an enumeration that findFirstFile started. True when it yielded every matching
// entry and its folder stayed; false when the listing failed partway, or a profile lookup
// during it found the folder itself gone (readProfileString), so that what the run read
// is only part of the folder.
bool findClose(DirectorySearch* search);

// True when `path` names a directory whose entries can all be listed, so that a
// findFirstFile in it that found nothing means it holds nothing that matches.
bool canListDirectory(const char* path);

// The system's profile (INF/INI) reader with an empty default: copies the value of `key`
// in `section` of the file at the full path `path` into `destination`, at most
// capacity - 1 bytes and a terminator, and returns the number of bytes copied. A missing
// file, section or key, or one that cannot be read, gives "" (0). `key` and
// `destination` may be the same buffer: the key is taken in full before the destination
// is written. A file that cannot be opened because its folder has gone (moved away,
// unmounted) marks the enumeration in progress as failed; one file that cannot be read
// does not.
std::size_t readProfileString(const char* section, const char* key, char* destination,
                              std::size_t capacity, const char* path);

// The longest message, in bytes, that writeStandardOutput lays out for a screen; a longer
// one goes there as its bytes. Every message of the detector is shorter.
constexpr std::size_t SHOWN_MESSAGE_CAPACITY = 2048;

// Writes one message of `length` bytes to standard output, after what was written before,
// in one write. A file or a pipe gets the bytes exactly. A screen gets the characters they
// stand for (windows_text/screen_text.h): on Windows a console, its text in the system's
// ANSI code page, whatever the console's code page; on POSIX a terminal, its text in code
// page 1252, in the character set of the user's locale (a character the set lacks as one
// ASCII character). A message that cannot be laid out goes as its bytes with each control
// byte as "?". A failed write never ends the process: standardOutputOutcome tells of it.
void writeStandardOutput(const char* bytes, std::size_t length);

// How the writes to standard output went; the first that failed decides.
enum class OutputOutcome {
  WHOLE,        // every byte was written
  READER_GONE,  // the reader of a pipe closed it (EPIPE; ERROR_NO_DATA and its kin)
  FAILED,       // a write failed otherwise: a full disk, a closed output, an I/O error
};

// The outcome of the writes so far. For FAILED, the system's message for the error goes
// into `reason` (terminated; "" when it does not fit); otherwise `reason` holds "".
OutputOutcome standardOutputOutcome(char* reason, std::size_t capacity);

// Writes one line of `length` bytes to standard error, in one write. On Windows as
// writeStandardOutput writes a message; on POSIX as the bytes are, since the line names a
// host folder, spelled in the host's own encoding. Failures are ignored.
void writeStandardError(const char* bytes, std::size_t length);

// Where the INF folder `infDirectory` ("C:\windows\inf"; "" when there is no Windows
// directory) was looked for, for a person to read, into `buffer` (terminated; "" when it
// does not fit): the folder itself on Windows; on POSIX the host folder it maps to (that
// of "C:\windows\inf" when there is no Windows directory), with a word on WINEPREFIX when
// it is not set. Returns the length.
std::size_t describeInfFolder(const char* infDirectory, char* buffer, std::size_t capacity);

// Consumes one line of standard input, of any length, and discards it. Returns at the end
// of input or on an error.
void consumeStandardInputLine();

}  // namespace platform
