// An in-memory stand-in for the operating system, so the detector's run can be tested
// without files: a Windows directory, INF files by full path, standard output captured.
#pragma once

#include <map>
#include <string>
#include <vector>

struct FakeSystem {
  std::string windowsDirectory = "C:\\WINDOWS";
  std::vector<std::string> entries;          // names the INF directory yields, in order
  std::map<std::string, std::string> files;  // full path to file bytes
  std::string output;                        // what the run wrote
  std::string errors;                        // what it wrote to standard error
  std::vector<std::string> lookups;          // "path|section|key" for every profile lookup
  std::vector<std::string> searchPatterns;   // patterns enumerations started with
  std::string currentDirectory = "(unchanged)";
  bool infDirectoryListable = true;       // whether the INF directory can be listed
  bool listingFailsAfterEntries = false;  // the listing fails after yielding `entries`
  int inputLinesConsumed = 0;
};

// The system the fake platform serves; reset it between runs.
FakeSystem& fakeSystem();
