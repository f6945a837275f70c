// Whole files and folders, made at once in the tests' scratch space.
#pragma once

#include <string>

namespace support {

// The bytes of a file ("" when it cannot be read).
std::string readWholeFile(const std::string& path);

// Creates `path` with exactly `bytes`; false, with the reason on standard error, when it
// cannot.
bool writeWholeFile(const std::string& path, const std::string& bytes);

// Empties the folder `path` and makes it again, with its parents; false, with the reason on
// standard error, when it cannot.
bool freshDirectory(const std::string& path);

}  // namespace support
