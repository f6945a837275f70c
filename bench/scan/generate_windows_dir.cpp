// Writes a synthetic Windows directory for the scan benchmark: <out>/drive_c/windows/inf
// with N INF files laid out as a corpus of real ones is, a few files of several megabytes
// and a handful of driver packages for the two devices. The same seed and count always
// give the same bytes. bench/README.md describes the layout and the summary it writes.
//
//   generate_windows_dir --out DIR [--files N] [--seed S] [--file-size BYTES[K|M]]
//                        [--encoding ascii|utf-8|utf-8-bom|cp1252|utf-16le-bom]
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/inf_generator.h"

namespace fs = std::filesystem;
using support::DriverVersion;
using support::Encoding;
using support::FilePlan;
using support::Kind;
using support::LineEnd;
using support::Models;
using support::Provider;
using support::Random;

namespace {

constexpr std::size_t KIB = 1024;
constexpr std::size_t MIB = 1024 * KIB;
constexpr std::size_t LARGE_FILE_MIN = 3 * MIB;
constexpr std::size_t LARGE_FILE_MAX = 17 * MIB;
constexpr std::size_t FILES_PER_LARGE_FILE = 250;
constexpr std::size_t FILES_PER_PACKAGE = 400;  // driver packages and near misses each
constexpr std::size_t FEWEST_FILES_FOR_LARGE = 100;
constexpr std::size_t FEWEST_FILES_FOR_PACKAGES = 20;
constexpr std::size_t TINY_FILE_LIMIT = 700;

// Sizes on disk of the corpus's files by rank (parts per million, bytes); a size is drawn
// by linear interpolation between neighbouring points.
struct SizePoint {
  std::uint64_t rank;
  std::uint64_t bytes;
};
constexpr std::array<SizePoint, 26> SIZE_QUANTILES = {{
    {0, 43},           {50000, 554},    {100000, 1392},  {150000, 1616},   {200000, 1828},
    {250000, 2038},    {300000, 2167},  {350000, 2260},  {400000, 2378},   {450000, 2574},
    {500000, 2815},    {550000, 3053},  {600000, 3367},  {650000, 3716},   {700000, 3923},
    {750000, 4328},    {800000, 5246},  {850000, 8070},  {900000, 11112},  {930000, 12550},
    {950000, 21214},   {970000, 36123}, {980000, 58935}, {990000, 199218}, {995000, 224581},
    {1000000, 838064},
}};

constexpr std::array<std::string_view, 24> NAME_STEMS = {
    "net",    "usb",   "hdaudio", "disk",    "mdm",      "prn",    "bth",     "wdma",
    "ks",     "sd",    "machine", "monitor", "keyboard", "mouse",  "battery", "display",
    "volume", "cdrom", "hidserv", "input",   "camera",   "sensor", "serial",  "c_media"};

struct Options {
  std::size_t files = 2000;
  std::uint64_t seed = 1;
  std::size_t fileSize = 0;          // 0: sizes drawn from the corpus
  std::optional<Encoding> encoding;  // every file's, instead of the corpus's mix
  fs::path out;
};

std::size_t drawSize(Random& random) {
  const std::uint64_t rank = random.below(SIZE_QUANTILES.back().rank);
  std::size_t upper = 1;
  while (SIZE_QUANTILES[upper].rank <= rank) ++upper;
  const SizePoint low = SIZE_QUANTILES[upper - 1];
  const SizePoint high = SIZE_QUANTILES[upper];
  return low.bytes + (high.bytes - low.bytes) * (rank - low.rank) / (high.rank - low.rank);
}

// About one file in ten is UTF-16LE; most of the 8-bit ones are plain ASCII.
constexpr support::Share<Encoding> ENCODINGS[] = {{107, Encoding::UTF16LE_BOM},
                                                  {278, Encoding::UTF8_PLAIN},
                                                  {284, Encoding::UTF8_BOM},
                                                  {290, Encoding::ANSI},
                                                  {1000, Encoding::ASCII}};
constexpr support::Share<Models> MODELS[] = {{80, Models::MFG_NAME_UNDECORATED},
                                             {160, Models::MFG_NAME_DECORATED},
                                             {172, Models::DEVICE_DESC_DECORATED},
                                             {240, Models::NONE},
                                             {1000, Models::OTHER_KEY}};
constexpr support::Share<Provider> PROVIDERS[] = {
    {63, Provider::ABSENT}, {109, Provider::PLAIN_WORDS}, {1000, Provider::TOKEN}};

// Line ends as the corpus has them for each encoding.
LineEnd drawLineEnd(Random& random, Encoding encoding) {
  switch (encoding) {
    case Encoding::ASCII:
      return random.perMille(802) ? LineEnd::LF : LineEnd::CRLF;
    case Encoding::UTF8_PLAIN:
      return random.perMille(964) ? LineEnd::CRLF : LineEnd::LF;
    case Encoding::UTF8_BOM:
      return random.perMille(500) ? LineEnd::CRLF : LineEnd::LF;
    default:
      return LineEnd::CRLF;
  }
}

void drawVersion(Random& random, FilePlan& plan) {
  if (plan.kind == Kind::REGISTRY) plan.hasVersion = !random.perMille(750);
  if (plan.kind == Kind::TINY) plan.hasVersion = plan.size >= 300 && random.perMille(700);
  if (!plan.hasVersion) {
    plan.provider = Provider::ABSENT;
    plan.driverVersion = DriverVersion::ABSENT;
    return;
  }
  plan.provider = random.share(PROVIDERS);
  if (random.perMille(143)) {
    plan.driverVersion = DriverVersion::ABSENT;
  } else {
    plan.driverVersion = random.perMille(179) ? DriverVersion::UNUSUAL : DriverVersion::PLAIN;
  }
}

unsigned drawLocaleCount(Random& random, Encoding encoding) {
  const bool eightBitText = encoding == Encoding::UTF8_PLAIN || encoding == Encoding::UTF8_BOM;
  if (random.perMille(eightBitText ? 800 : 30)) return static_cast<unsigned>(random.between(1, 8));
  return 0;
}

FilePlan drawOrdinaryFile(Random& random, std::string name) {
  FilePlan plan;
  plan.name = std::move(name);
  plan.size = drawSize(random);
  plan.encoding = random.share(ENCODINGS);
  plan.lineEnd = drawLineEnd(random, plan.encoding);
  if (plan.size < TINY_FILE_LIMIT) {
    plan.kind = Kind::TINY;
  } else {
    plan.kind = random.perMille(110) ? Kind::REGISTRY : Kind::DEVICE;
  }
  plan.models = plan.kind == Kind::DEVICE ? random.share(MODELS) : Models::NONE;
  drawVersion(random, plan);
  plan.continuationLines = random.perMille(89);
  plan.duplicateSection = random.perMille(9);
  plan.longValue = random.perMille(6);
  plan.strayLineBeforeFirstSection = random.perMille(31);
  plan.lastLineEnded = !random.perMille(119);
  plan.localeCount = plan.kind == Kind::TINY ? 0 : drawLocaleCount(random, plan.encoding);
  plan.seed = random.next();
  return plan;
}

// Unique names (without regard to case) in the styles of an INF folder: oem<n>.inf for
// third-party packages, short stems with a number, and a few with blanks.
class NameMaker {
 public:
  std::string next(Random& random) {
    for (;;) {
      std::string name = candidate(random);
      std::string folded = name;
      for (char& c : folded) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
      if (taken_.insert(folded).second) return name;
    }
  }

 private:
  std::string candidate(Random& random) {
    const std::uint64_t style = random.below(1000);
    const std::string number = std::to_string(random.below(10000));
    const std::string stem(random.pick(NAME_STEMS));
    if (style < 350) return "oem" + std::to_string(oemNumber_++) + ".inf";
    if (style < 393) return "Vendor " + stem + " Driver " + number + ".inf";
    return stem + number + ".inf";
  }

  std::set<std::string> taken_;
  std::uint64_t oemNumber_ = 0;
};

// A driver package with a complete [Version], whatever the draw gave.
void makeDevice(FilePlan& plan, Models models) {
  plan.kind = Kind::DEVICE;
  plan.models = models;
  plan.hasVersion = true;
  plan.provider = Provider::TOKEN;
  plan.driverVersion = DriverVersion::PLAIN;
}

void makeLarge(FilePlan& plan, std::size_t size) {
  makeDevice(plan, Models::OTHER_KEY);
  plan.size = size;
}

void makePackage(FilePlan& plan, Models models, unsigned variant) {
  makeDevice(plan, models);
  plan.idVariant = variant;
  plan.size = std::max(plan.size, TINY_FILE_LIMIT);
}

std::size_t largeFileCount(const Options& options) {
  if (options.fileSize != 0 || options.files < FEWEST_FILES_FOR_LARGE) return 0;
  return std::max<std::size_t>(1, options.files / FILES_PER_LARGE_FILE);
}

std::size_t packageCount(const Options& options) {
  if (options.fileSize != 0) return options.files == 0 ? 0 : 1;
  if (options.files < FEWEST_FILES_FOR_PACKAGES) return 0;
  return std::max<std::size_t>(1, options.files / FILES_PER_PACKAGE);
}

// The packages alternate between the two IDs and the two device keys; the first is
// UTF-16, so a decoded file is always among the records.
void shapePackage(FilePlan& plan, std::size_t index) {
  const Models models = index % 3 == 2 ? Models::MATCH_FLASH : Models::MATCH;
  makePackage(plan, models, static_cast<unsigned>(index));
  if (index == 0) {
    plan.encoding = Encoding::UTF16LE_BOM;
    plan.lineEnd = LineEnd::CRLF;
  }
}

// The encodings a plan takes, by their names on the command line and in the summary.
struct EncodingName {
  Encoding encoding;
  std::string_view name;
};
constexpr EncodingName ENCODING_NAMES[] = {{Encoding::ASCII, "ascii"},
                                           {Encoding::UTF8_PLAIN, "utf-8"},
                                           {Encoding::UTF8_BOM, "utf-8-bom"},
                                           {Encoding::ANSI, "cp1252"},
                                           {Encoding::UTF16LE_BOM, "utf-16le-bom"}};

std::string_view encodingName(Encoding encoding) {
  for (const EncodingName& entry : ENCODING_NAMES) {
    if (entry.encoding == encoding) return entry.name;
  }
  return "?";
}

// The encoding of that name; false for none.
bool encodingNamed(std::string_view name, Encoding& encoding) {
  for (const EncodingName& entry : ENCODING_NAMES) {
    if (entry.name != name) continue;
    encoding = entry.encoding;
    return true;
  }
  return false;
}

void forceEncoding(FilePlan& plan, Encoding encoding) {
  plan.encoding = encoding;
  if (encoding == Encoding::UTF16LE_BOM) plan.lineEnd = LineEnd::CRLF;
}

std::vector<FilePlan> planDirectory(const Options& options) {
  Random random(options.seed);
  NameMaker names;
  const std::size_t large = largeFileCount(options);
  const std::size_t packages = packageCount(options);
  const std::size_t nearMisses = options.fileSize != 0 ? 0 : packages;
  std::vector<FilePlan> plans;
  for (std::size_t i = 0; i < options.files; ++i) {
    FilePlan plan = drawOrdinaryFile(random, names.next(random));
    if (options.fileSize != 0) makeLarge(plan, options.fileSize);
    if (i < large) {
      makeLarge(plan, random.between(LARGE_FILE_MIN, LARGE_FILE_MAX));
    } else if (i < large + packages) {
      shapePackage(plan, i - large);
    } else if (i < large + packages + nearMisses) {
      makePackage(plan, Models::NEAR_MISS, static_cast<unsigned>(i - large - packages));
    }
    if (options.encoding) forceEncoding(plan, *options.encoding);
    plans.push_back(std::move(plan));
  }
  return plans;
}

bool isPackage(const FilePlan& plan) {
  return plan.models == Models::MATCH || plan.models == Models::MATCH_FLASH;
}

// Writes every file and the summary; false with a message on the first failure.
bool writeDirectory(const Options& options, const std::vector<FilePlan>& plans) {
  const fs::path infDirectory = options.out / "drive_c" / "windows" / "inf";
  std::error_code error;
  fs::create_directories(infDirectory, error);
  if (error || !fs::is_empty(infDirectory, error)) {
    (void)std::fprintf(stderr, "%s: missing or not empty; give a new directory\n",
                       infDirectory.c_str());
    return false;
  }
  std::string summary =
      "files " + std::to_string(plans.size()) + "\nseed " + std::to_string(options.seed) + "\n";
  if (options.fileSize != 0) summary += "file-size " + std::to_string(options.fileSize) + "\n";
  if (options.encoding)
    summary += "encoding " + std::string(encodingName(*options.encoding)) + "\n";
  std::uint64_t totalBytes = 0;
  std::size_t records = 0;
  for (const FilePlan& plan : plans) {
    const std::string bytes = support::buildInfFile(plan);
    if (!support::writeWholeFile((infDirectory / plan.name).string(), bytes)) return false;
    totalBytes += bytes.size();
    if (bytes.size() >= MIB)
      summary += "large " + plan.name + " " + std::to_string(bytes.size()) + "\n";
    if (isPackage(plan)) {
      summary += "record " + plan.name + " " + std::string(encodingName(plan.encoding)) + "\n";
      ++records;
    }
  }
  summary += "bytes " + std::to_string(totalBytes) + "\nrecords " + std::to_string(records) + "\n";
  (void)std::fputs(summary.c_str(), stdout);
  return support::writeWholeFile((options.out / "generator-summary.txt").string(), summary);
}

// A count with an optional K (KiB) or M (MiB) suffix.
bool parseCount(std::string_view text, std::uint64_t& value) {
  const char* end = text.data() + text.size();
  const auto [rest, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || rest == text.data()) return false;
  const std::string_view suffix(rest, static_cast<std::size_t>(end - rest));
  if (suffix == "K" || suffix == "k") value *= KIB;
  if (suffix == "M" || suffix == "m") value *= MIB;
  return suffix.empty() || suffix.size() == 1;
}

bool parseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view flag = argv[i];
    std::uint64_t value = 0;
    if (flag == "--out") {
      options.out = argv[i + 1];
      continue;
    }
    if (flag == "--encoding") {
      Encoding encoding = Encoding::ASCII;
      if (!encodingNamed(argv[i + 1], encoding)) return false;
      options.encoding = encoding;
      continue;
    }
    if (!parseCount(argv[i + 1], value)) return false;
    if (flag == "--files")
      options.files = value;
    else if (flag == "--seed")
      options.seed = value;
    else if (flag == "--file-size")
      options.fileSize = value;
    else
      return false;
  }
  return argc % 2 == 1 && !options.out.empty();
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, options)) {
    (void)std::fputs(
        "usage: generate_windows_dir --out DIR [--files N] [--seed S] "
        "[--file-size BYTES[K|M]]\n"
        "                            [--encoding ascii|utf-8|utf-8-bom|cp1252|utf-16le-bom]\n",
        stderr);
    return 2;
  }
  return writeDirectory(options, planDirectory(options)) ? 0 : 1;
}
