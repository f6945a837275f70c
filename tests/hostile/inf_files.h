// Building blocks of the generated Windows directories: driver packages as INF text, the
// files and folders that hold them, and the records the detector prints about them.
#pragma once

#include <string>

#include "tests/support/expected_output.h"
#include "tests/support/files.h"
#include "tests/support/inf_generator.h"

namespace hostile {

// The detector under test and the folder the tests may fill, from the build.
extern const char* const DETECTOR;
extern const char* const WORK_DIRECTORY;

// The folder of a prefix that holds the INF files: <prefix>/drive_c/windows/inf, and the
// DOS path the detector prints for it.
std::string infFolder(const std::string& prefix);
inline constexpr char DOS_INF_FOLDER[] = "C:\\windows\\inf";

// The record the detector prints for the package in the file `name` of the INF folder.
std::string recordOf(const std::string& name, const support::Package& package);

// Models lines the detector must recognise. Constants, so that packages defined at
// namespace scope in other files can use them while they are being initialised.
inline constexpr char FIRST_ID_LINE[] = "%DeviceDesc%=Install, USB\\VID_0BDB&PID_100E";
inline constexpr char SECOND_ID_LINE[] = "%DeviceDesc%=Install, USB\\VID_0FCE&PID_ADDE";

// A prefix whose INF folder holds one package (the first ID's unless told), "oem1.inf".
bool makeOnePackagePrefix(const std::string& prefix, std::string& expectedOutput,
                          const support::Package& package = {});

}  // namespace hostile
