// Runs a program to its end with its standard streams tied to files.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace parity {

struct ChildRun {
  // The program (a path) and its arguments.
  std::vector<std::string> command;
  // Variables set (or, with an empty value, left empty) on top of this process's own.
  std::vector<std::pair<std::string, std::string>> environment;
  std::string inputPath = "/dev/null";
  std::string outputPath = "/dev/null";
  std::string errorPath = "/dev/null";
  // Empty: this process's current directory.
  std::string workingDirectory;
};

// The program's exit status; 128 + the signal's number when a signal ended it; -1 when it
// could not be started.
int runChild(const ChildRun& run);

// The text of a file ("" when it cannot be read).
std::string readWholeFile(const std::string& path);

// Writes `bytes` to a new file at `path`; false on an error.
bool writeWholeFile(const std::string& path, const std::string& bytes);

}  // namespace parity
