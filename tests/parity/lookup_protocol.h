// The request and answer format shared by the two lookup programs: the Windows one, which
// asks the system's profile reader, and the native one, which asks the POSIX INF reader.
// Both read the same request file and write their answers in the same form, so that the
// answers can be compared line by line.
//
// A request is one line of tab-separated fields. Paths and names are hex-encoded, so they
// may hold any byte (a name cannot hold NUL: the readers take terminated names):
//   Q <path> <section> <key>   one lookup, capacity 260, empty default
//   S <path> <section> <key>   the same, with the key in the destination buffer itself
//   W <path> <section> <key>   the same as Q with capacity 261
//   L <path>                   every section the file lists, with the keys of each (and
//                              the names on its lines without "=")
//   P                          the code page the answers are in
// The answer to Q, S and W is one line: the returned length, a tab, and the hex bytes copied
// (the bytes before the returned length). A missing terminator at that length appends
// "\tunterminated", a byte changed past the capacity "\toverrun". The answer to L is one
// line "K <section> <key>" per key, then "E"; to P, "P <code page>". Paths are host paths; the
// Windows program reaches them through drive Z:.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/support/bytes_as_text.h"

namespace parity {

// The tool's capacity for every text it reads.
constexpr std::size_t LOOKUP_CAPACITY = 260;

using KeyList = std::vector<std::pair<std::string, std::string>>;

// What a lookup program puts behind the protocol.
struct LookupBackend {
  // The profile reader's answer for `key` in `section` of the file at host path `path`.
  std::size_t (*lookUp)(const std::string& path, const char* section, const char* key,
                        char* destination, std::size_t capacity);
  // Appends every (section, key) the file lists; nullptr when the reader cannot list.
  void (*list)(const std::string& path, KeyList& keys);
  // The single-byte code page of the answers (1252 is what the tool's output assumes).
  unsigned (*codePage)();
};

using support::fromHex;
using support::toHex;

// The fields of a line split at tabs (or `separator`), empty ones kept.
std::vector<std::string> splitFields(std::string_view line, char separator = '\t');

// The body of a lookup program: `arguments` are the request file and the answer file.
// Returns the process's exit status: 1 (with a message on standard error) at the first
// malformed request.
int runLookupProgram(const std::vector<std::string>& arguments, const LookupBackend& backend);

}  // namespace parity
