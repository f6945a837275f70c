// The seeded generator of INF files that the tests, the benchmarks and the fuzz seeds use.
// The same seed gives the same bytes on every system. Three kinds of file:
//
// - generateInf: files that mix what real files hold with what hostile ones do: blanks
//   around names and values, quotes, comment lines, repeated sections and keys, names in
//   other cases, bytes above 0x7F, long lines, every line end, NUL bytes, byte-order marks
//   and UTF-16; with the lookups worth making on each. For the parity checks.
// - buildInfFile: files laid out as a real INF folder's are (sizes, encodings, sections),
//   from a plan drawn by the caller. For the scan benchmark.
// - packageText: one plain driver package, written as given. For exact expected output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/inf_text.h"
#include "tests/support/random.h"

namespace support {

// ------------------------------------------------------------------ varied and hostile files

// A lookup worth making on a generated file besides those its listing yields: names as
// written, in other spellings, and names the listing leaves out (comment lines, lines
// without "=", lines before the first header).
struct LookupProbe {
  std::string section;
  std::string key;
};

struct GeneratedFile {
  std::string bytes;
  std::vector<LookupProbe> probes;
};

enum class FileShape {
  // Anything goes.
  HOSTILE,
  // A driver package whose models line carries one of the two device IDs, dressed in the
  // same variety, so that the tool's whole run reports it (most of the time).
  MATCHING,
};

// The file number `index` of the run with `seed`.
GeneratedFile generateInf(std::uint64_t seed, std::uint64_t index, FileShape shape);

// ------------------------------------------------------------------ a plain driver package

// The two device IDs the detector looks for.
inline constexpr char FIRST_ID[] = "USB\\VID_0BDB&PID_100E";
inline constexpr char SECOND_ID[] = "USB\\VID_0FCE&PID_ADDE";

// What a package says; each field is written into the file as it is.
struct Package {
  std::string models = std::string("%DeviceDesc%=Install, ") + FIRST_ID;  // [Models]' lines
  std::string provider = "Quellmark";                                     // [Strings] Prov
  std::string description = "Flash Device";                               // [Strings] DeviceDesc
  std::string version = "01/02/2020,1.0.0.1";                             // [Version] DriverVer
  std::string providerEntry = "%Prov%";                                   // [Version] Provider
  std::string manufacturer = "Models,NTamd64";  // [Manufacturer] %MfgName%
};

// The package in CR LF form: [Version], [Manufacturer] naming the models section, [Models],
// a decorated [Models.NTamd64] that the detector must not consult, and [Strings] (whose
// DeviceDesc.Flash is "Flash Mode Device").
std::string packageText(const Package& package);

// ------------------------------------------------------------------ files as real folders hold

// The overall shape of a file.
enum class Kind {
  TINY,      // a few keys: autorun and unattend files, stubs
  DEVICE,    // a driver package: version, manufacturer, models, install sections, strings
  REGISTRY,  // registry and setup data: long runs of registry lines, no models
};

// What [Manufacturer] and the models sections hold, as far as the detector is concerned.
enum class Models {
  NONE,                   // no [Manufacturer]
  OTHER_KEY,              // the manufacturer under a key other than %MfgName% (the common case)
  MFG_NAME_UNDECORATED,   // %MfgName% names a section that exists, without device keys it reads
  MFG_NAME_DECORATED,     // %MfgName% names a section that exists only with a decoration
  DEVICE_DESC_DECORATED,  // %DeviceDesc% only in a decorated section under another key
  MATCH,                  // %DeviceDesc% ends in one of the two IDs: a record
  MATCH_FLASH,            // the same under %DeviceDesc.Flash%
  NEAR_MISS,              // %DeviceDesc% holds an ID that the detector must not take
};

enum class Provider { ABSENT, TOKEN, PLAIN_WORDS };
enum class DriverVersion { ABSENT, PLAIN, UNUSUAL };

struct FilePlan {
  std::string name;
  std::size_t size = 0;  // bytes on disk aimed at; the file ends at the first line past it
  Encoding encoding = Encoding::ASCII;  // of these: ASCII, UTF8_PLAIN, UTF8_BOM, ANSI, UTF16LE_BOM
  LineEnd lineEnd = LineEnd::CRLF;      // CRLF or LF
  Kind kind = Kind::DEVICE;
  Models models = Models::OTHER_KEY;
  Provider provider = Provider::TOKEN;
  DriverVersion driverVersion = DriverVersion::PLAIN;
  bool hasVersion = true;
  bool continuationLines = false;
  bool duplicateSection = false;
  bool longValue = false;
  bool strayLineBeforeFirstSection = false;
  bool lastLineEnded = true;
  unsigned localeCount = 0;  // localised [Strings.xxxx] sections after [Strings]
  unsigned idVariant = 0;    // which ID (match) or which kind of near miss
  std::uint64_t seed = 0;    // the content's own seed
};

// The file's bytes, byte-order mark included.
std::string buildInfFile(const FilePlan& plan);

}  // namespace support
