// Whole runs of the tool: the native build and the Windows build under Wine scan the same
// Windows INF folder, and their standard outputs must be the same bytes (but for the one
// deliberate difference: a quoted value of 259 bytes, which Windows gives one byte short).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "parity_session.h"

namespace parity {

struct ToolRun {
  std::string nativeTool;
  std::string windowsTool;
  // Real INF files to put into the folder; empty for none.
  std::string corpusDirectory;
  // Generated packages for the two devices, `count` per seed.
  std::vector<std::uint64_t> seeds;
  std::size_t count = 0;
};

// Every file under `directory` whose name ends in ".inf" (in any case), in name order.
std::vector<std::string> findInfFiles(const std::string& directory);

// Builds the folder, runs both builds over it and compares their outputs. True when they
// are the same bytes, but for record values of the one pinned difference, and both runs
// ended normally.
bool compareToolRuns(const Programs& programs, const ToolRun& run, std::ostream& report);

}  // namespace parity
