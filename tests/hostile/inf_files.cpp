#include "tests/hostile/inf_files.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include "tests/support/child_process.h"

namespace hostile {

const char* const DETECTOR = DETECTOR_PROGRAM;
const char* const WORK_DIRECTORY = HOSTILE_WORK_DIR;

std::string infFolder(const std::string& prefix) {
  return prefix + "/drive_c/windows/inf";
}

std::string recordOf(const std::string& name, const Package& package) {
  return support::record(std::string(DOS_INF_FOLDER) + "\\" + name, package.provider,
                         package.description, package.version);
}

bool freshDirectory(const std::string& path) {
  std::error_code error;
  std::filesystem::remove_all(path, error);
  std::filesystem::create_directories(path, error);
  if (error) std::cerr << "cannot make " << path << ": " << error.message() << "\n";
  return !error;
}

bool makeOnePackagePrefix(const std::string& prefix, std::string& expectedOutput) {
  const Package package{FIRST_ID_LINE, "Quellmark", "Flash Device", "01/02/2020,1.0.0.1"};
  if (!freshDirectory(infFolder(prefix))) return false;
  expectedOutput = support::wholeOutput(recordOf("oem1.inf", package), 1);
  return support::writeWholeFile(infFolder(prefix) + "/oem1.inf", packageText(package));
}

}  // namespace hostile
