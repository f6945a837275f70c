// The comparisons parity_check makes. First, of the two profile readers over a set of files:
// the Windows one under Wine, which is the ground truth, and the POSIX INF reader. The
// Windows reader lists every section and key of every file and answers the tool's first
// lookups (the ones later lookups depend on). Then both readers answer the same requests:
// every lookup the tool makes, every listed key, and the probes a file brings along. Every
// answer is compared byte for byte, with its returned length.
#pragma once

#include <cstddef>
#include <cstdint>
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

// The one pinned difference, in one value: a quoted value whose inner text fills the buffer
// exactly comes back whole (259 bytes), where the Windows reader drops its last byte.
bool isPinnedValue(const std::string& native, const std::string& windows);

// Compares the readers on `files` and reports to `report` under the heading `runName`.
// True when every answer agrees, the pinned difference apart.
bool compareReaders(const Programs& programs, const std::vector<FileUnderTest>& files,
                    const std::string& runName, std::ostream& report);

// Holds a table of cases to the Windows reader: `rowsPath` lists one lookup a line (hex
// path, section, key and the answer the table expects from Windows, tab-separated). True
// when Windows gives every expected answer.
bool checkRowsAgainstWindows(const Programs& programs, const std::string& rowsPath,
                             std::ostream& report);

// Whole runs of the tool: the native build and the Windows build under Wine scan the same
// Windows INF folder, and their standard outputs must be the same bytes.
struct ToolRun {
  std::string nativeTool;
  std::string windowsTool;
  // Real INF files to put into the folder; empty for none.
  std::string corpusDirectory;
  // Generated packages for the two devices, `count` per seed.
  std::vector<std::uint64_t> seeds;
  std::size_t count = 0;
};

// Writes `count` generated files of `shape` per seed into `folder`, and appends each with
// its probes to `files`. False, with the reason on standard error, when one cannot be written.
bool writeGeneratedFiles(const std::string& folder, const std::vector<std::uint64_t>& seeds,
                         std::size_t count, support::FileShape shape,
                         std::vector<FileUnderTest>& files);

// Every file under `directory` whose name ends in ".inf" (in any case), in name order.
std::vector<std::string> findInfFiles(const std::string& directory);

// Builds the folder, runs both builds over it and compares their outputs. True when they
// are the same bytes, the pinned difference in record values apart, and both runs ended
// normally.
bool compareToolRuns(const Programs& programs, const ToolRun& run, std::ostream& report);

}  // namespace parity
