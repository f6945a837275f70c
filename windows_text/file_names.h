// File names as Windows lists and opens them, for a POSIX file system that holds a Windows
// tree the way Wine lays it out (host names in UTF-8). Pure rules, no file access: the
// POSIX platform layer reads directories and opens files around them.
//
// - A host name becomes the name the ANSI functions list: code page 1252, as Wine
//   converts it; a name whose characters all have a byte in the page goes there and back
//   unchanged, any other comes out with best-fit letters or "?". Such a name, and one that
//   ends in a dot or a blank (a path drops them), is not listed at all: its path would
//   lead to another file ("\u0100.inf" to "A.inf", "k.inf." to "k.inf") or to none.
// - A listing pattern matches a name as FindFirstFile matches it: the name itself, or its
//   short (8.3) name, compared as UTF-16 without regard to case.
// - Names come in NTFS order: UTF-16 units upper-cased, ties in ordinal order.
// - A DOS path maps to a host path under the prefix; a path that Windows would read as
//   leaving its folders, or that names a device, maps to nothing.
#pragma once

#include <cstddef>

namespace file_names {

// The ANSI spelling of the UTF-8 host name `hostName`, terminated, in `windowsName`: each
// character's byte in code page 1252, its best-fit byte, or "?"; a byte that is not part of
// a UTF-8 sequence gives "?". False when it does not fit `capacity`.
bool fromHostName(const char* hostName, char* windowsName, std::size_t capacity);

// Appends the UTF-8 spelling of the `length` code page 1252 bytes at `windowsName` to the
// terminated string in `hostPath`. False, leaving `hostPath` as it was, when it does not
// fit `capacity`.
bool appendHostName(const char* windowsName, std::size_t length, char* hostPath,
                    std::size_t capacity);

// Whether Windows could hold the host name `hostName` as one file name: at most 255 UTF-16
// units, no control character and none of \ / : * ? " < > |. A name it could not hold is
// never listed: read through a Windows path it would name another file, or none.
bool isHoldableName(const char* hostName);

// Whether the host name `hostName` matches `pattern` (code page 1252 bytes, "*" for any run
// and "?" for one unit) as Windows lists it: the name itself, or, for a name that is not
// already a short name, its short name ("b.infx" is "B~~~~XYZ.INF"), both compared as
// UTF-16 without regard to case. The short name's three generated characters are not
// reproduced: only "*" or "?" match them.
bool matchesPattern(const char* pattern, const char* hostName);

// Whether the ANSI spelling `windowsName` of the host name `hostName` leads back to it as
// the last component of a path: it spells the host name exactly (no best-fit letter or
// "?"), and ends in neither a dot nor a blank.
bool leadsBack(const char* hostName, const char* windowsName);

// The name listed for the host name `hostName` under `pattern`, in `windowsName` (its ANSI
// spelling, terminated): true when the name is one Windows could hold, matches the pattern,
// its ANSI spelling fits `capacity` and leads back to it. Windows' ANSI functions also list
// names that do not lead back, whose paths open a namesake; those are left out, so that
// no package is read through another's name.
bool listedName(const char* pattern, const char* hostName, char* windowsName, std::size_t capacity);

// Compares two host names in NTFS order: UTF-16 units upper-cased, then, for names equal
// but for case, the units themselves. Negative, zero or positive.
int compareNames(const char* hostName, const char* otherName);

// Whether the host name `hostName` equals the `length` bytes at `otherName` without regard
// to case, as Windows finds a name in a folder.
bool sameNameIgnoringCase(const char* hostName, const char* otherName, std::size_t length);

// Whether the last component of a DOS path names a device (CON, PRN, AUX, NUL, COM1 to
// COM9, LPT1 to LPT9, CONIN$, CONOUT$), whatever its extension and trailing blanks.
bool isDeviceName(const char* dosPath);

// The length of the folder part of a DOS path: its root ("C:", "\") and every component
// up to and including the last separator.
std::size_t folderLength(const char* dosPath);

// Where a host path from toHostPath starts.
enum class PathBase {
  PREFIX,             // the Wine prefix: "drive_c/windows/inf"
  CURRENT_DIRECTORY,  // a DOS path without a root
};

// Maps the first `length` bytes of a DOS path to a host path, terminated: "C:\windows\x"
// to "drive_c/windows/x" and "D:\x" to "dosdevices/d:/x" under the prefix, "inf\x" to
// "inf/x" under the current directory. Components are converted to UTF-8; "." and empty
// ones are dropped, and the last loses its trailing dots and blanks, as in a Windows
// path. False when a component is ".." or holds ":" or a character Windows forbids (the
// path would leave its folders or name no file), or the path does not fit `capacity`.
bool toHostPath(const char* dosPath, std::size_t length, char* hostPath, std::size_t capacity,
                PathBase& base);

}  // namespace file_names
