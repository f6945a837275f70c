// File names between a POSIX file system, which holds them in UTF-8, and the Windows ANSI
// file functions, which give and take them in code page 1252, as Wine converts them: a
// name whose characters all have a byte in the page goes there and back unchanged; any
// other name comes out with best-fit letters or "?", so that it leads to no file.
#pragma once

#include <cstddef>

namespace windows_names {

// The ANSI spelling of the UTF-8 host name `hostName`, terminated, in `windowsName`: each
// character's byte in code page 1252, its best-fit byte, or "?"; a byte that is not part of
// a UTF-8 sequence gives "?". False when it does not fit `capacity`.
bool fromHostName(const char* hostName, char* windowsName, std::size_t capacity);

// Appends the UTF-8 spelling of the `length` code page 1252 bytes at `windowsName` to the
// terminated string in `hostPath`. False, leaving `hostPath` as it was, when it does not
// fit `capacity`.
bool appendHostName(const char* windowsName, std::size_t length, char* hostPath,
                    std::size_t capacity);

}  // namespace windows_names
