// What one synthetic INF file is to hold, and the writer that turns that plan into bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "inf_text.h"

namespace scan {

// The overall shape of a file.
enum class Kind {
  tiny,      // a few keys: autorun and unattend files, stubs
  device,    // a driver package: version, manufacturer, models, install sections, strings
  registry,  // registry and setup data: long runs of registry lines, no models
};

// What [Manufacturer] and the models sections hold, as far as the detector is concerned.
enum class Models {
  none,                 // no [Manufacturer]
  otherKey,             // the manufacturer under a key other than %MfgName% (the common case)
  mfgNameUndecorated,   // %MfgName% names a section that exists, without device keys it reads
  mfgNameDecorated,     // %MfgName% names a section that exists only with a decoration
  deviceDescDecorated,  // %DeviceDesc% only in a decorated section under another key
  match,                // %DeviceDesc% ends in one of the two IDs: a record
  matchFlash,           // the same under %DeviceDesc.Flash%
  nearMiss,             // %DeviceDesc% holds an ID that the detector must not take
};

enum class Provider { absent, token, plainWords };
enum class DriverVersion { absent, plain, unusual };

struct FilePlan {
  std::string name;
  std::size_t size = 0;  // bytes on disk aimed at; the file ends at the first line past it
  Encoding encoding = Encoding::ascii;
  LineEnd lineEnd = LineEnd::crlf;
  Kind kind = Kind::device;
  Models models = Models::otherKey;
  Provider provider = Provider::token;
  DriverVersion driverVersion = DriverVersion::plain;
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

}  // namespace scan
