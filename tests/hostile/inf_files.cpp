#include "tests/hostile/inf_files.h"

#include "tests/support/files.h"

namespace hostile {

using namespace support;

const char* const DETECTOR = DETECTOR_PROGRAM;
const char* const WORK_DIRECTORY = HOSTILE_WORK_DIR;

std::string infFolder(const std::string& prefix) {
  return prefix + "/drive_c/windows/inf";
}

std::string recordOf(const std::string& name, const Package& package) {
  return support::record(std::string(DOS_INF_FOLDER) + "\\" + name, package.provider,
                         package.description, package.version);
}

bool makeOnePackagePrefix(const std::string& prefix, std::string& expectedOutput,
                          const Package& package) {
  if (!freshDirectory(infFolder(prefix))) return false;
  expectedOutput = BANNER + recordOf("oem1.inf", package) + countLine(1) + PROMPT;
  return support::writeWholeFile(infFolder(prefix) + "/oem1.inf", packageText(package));
}

}  // namespace hostile
