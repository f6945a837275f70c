// One comparison of the two profile readers over a set of files: the Windows one under
// Wine, which is the ground truth, and the POSIX INF reader.
//
// First the Windows reader lists every section and key of every file and answers the
// tool's first lookups (the ones later lookups depend on). Then both readers answer the
// same requests: every lookup the tool makes, every listed key, and the probes a file
// brings along. Every answer is compared byte for byte, with its returned length.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/bytes_as_text.h"
#include "tests/support/inf_generator.h"

namespace parity {

using support::escapeBytes;
using support::LookupProbe;

struct Programs {
  std::string wine;
  std::string winePrefix;
  // The lookup program built for Windows, and the native one.
  std::string windowsLookup;
  std::string nativeLookup;
  // Scratch space: request and answer files, generated files.
  std::string workDirectory;
  // The native reader is run once per size: the most bytes it is handed per read, 0 for
  // as many as it asks for.
  std::vector<std::size_t> chunkSizes{0};
};

struct FileUnderTest {
  std::string path;
  // Lookups the file's listing cannot yield.
  std::vector<LookupProbe> probes;
};

// The shape of the pinned difference in one value: the reader gives 259 bytes where the
// Windows reader gives the first 258 of them.
bool isPinnedValue(const std::string& native, const std::string& windows);

// Compares the readers on `files` and reports to `report` under the heading `runName`.
// True when every answer agrees, the pinned difference apart (a quoted value whose inner
// text fills the buffer exactly comes back whole, where the Windows reader drops its last
// byte).
bool compareReaders(const Programs& programs, const std::vector<FileUnderTest>& files,
                    const std::string& runName, std::ostream& report);

// Holds a table of cases to the Windows reader: `rowsPath` lists one lookup a line (hex
// path, section, key and the answer the table expects from Windows, tab-separated). True
// when Windows gives every expected answer.
bool checkRowsAgainstWindows(const Programs& programs, const std::string& rowsPath,
                             std::ostream& report);

}  // namespace parity
