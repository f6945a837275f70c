#include "parity_session.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <ostream>
#include <set>
#include <sstream>

#include "lookup_protocol.h"
#include "tests/support/child_process.h"
#include "tests/support/wine_environment.h"

namespace parity {

namespace {

using support::ChildSetup;
using support::readWholeFile;
using support::runToEnd;
using support::writeWholeFile;

enum class Origin { TOOL, LISTED, PROBE };
constexpr const char* ORIGIN_NAMES[] = {"tool", "listed", "probe"};
constexpr std::size_t ORIGIN_COUNT = 3;
// Disagreements printed in the report; all of them go to a file beside the answers.
constexpr std::size_t DISAGREEMENTS_SHOWN = 25;
// A crashed Wine program leaves a long dump on standard error; its start is enough.
constexpr std::size_t ERROR_TEXT_SHOWN = 2000;

struct Lookup {
  std::string section;
  std::string key;
  std::size_t file;
  Origin origin;
  char kind;  // 'Q', or 'S' for the key in the destination buffer
};

// What the Windows reader said about one file before the comparison.
struct FileFacts {
  KeyList listed;
  std::string provider;
  std::string manufacturer;
};

struct Answer {
  std::string length;
  std::string bytes;
  std::string flags;
};

struct Tally {
  std::size_t lookups[ORIGIN_COUNT] = {};
  std::size_t agreed[ORIGIN_COUNT] = {};
  std::size_t pinned = 0;
  std::size_t disagreed = 0;
};

std::string requestLine(char kind, const std::string& path, const std::string& section,
                        const std::string& key) {
  return std::string(1, kind) + '\t' + toHex(path) + '\t' + toHex(section) + '\t' + toHex(key);
}

std::vector<std::string> readLines(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

// Runs a lookup program whose last two arguments are the request and the answer file, and
// reads its answers to the lookups, after the code page's. Its errors go beside them and,
// when it fails, into the report.
bool runLookups(ChildSetup run, const std::string& side, std::vector<std::string>& answers,
                std::ostream& report) {
  run.errorPath = run.command.back() + ".stderr";
  const int status = runToEnd(run);
  answers = readLines(run.command.back());
  if (status != 0) {
    report << "the " << side << " lookup program failed (status " << status
           << "): " << readWholeFile(run.errorPath).substr(0, ERROR_TEXT_SHOWN) << '\n';
    return false;
  }
  if (answers.empty() || answers[0] != "P\t1252") {
    report << "the " << side
           << " reader's code page is not 1252: " << (answers.empty() ? "no answer" : answers[0])
           << '\n';
    return false;
  }
  answers.erase(answers.begin());
  return true;
}

// Writes `requests`, after one for the code page, to <stem>.req and has the Windows reader answer
// them into <stem>.windows.ans.
bool askWindows(const Programs& programs, const std::string& stem, const std::string& requests,
                std::vector<std::string>& answers, std::ostream& report) {
  ChildSetup run;
  run.command = {programs.wine, programs.windowsLookup, stem + ".req", stem + ".windows.ans"};
  run.environment = support::wineEnvironment(programs.winePrefix);
  return writeWholeFile(stem + ".req", "P\n" + requests) &&
         runLookups(run, "Windows", answers, report);
}

// The native reader's answers to <stem>.req, handed at most `chunk` bytes per read.
bool askNative(const Programs& programs, std::size_t chunk, const std::string& stem,
               std::vector<std::string>& answers, std::ostream& report) {
  ChildSetup run;
  run.command = {programs.nativeLookup};
  if (chunk != 0) run.command.insert(run.command.end(), {"--chunk", std::to_string(chunk)});
  run.command.insert(run.command.end(),
                     {stem + ".req", stem + ".native" + std::to_string(chunk) + ".ans"});
  return runLookups(run, "native", answers, report);
}

// One "K <section> <key>" line of a listing.
bool parseListed(const std::string& line, KeyList& listed) {
  const std::vector<std::string> fields = splitFields(line);
  std::string section;
  std::string key;
  if (fields.size() != 3 || !fromHex(fields[1], section) || !fromHex(fields[2], key)) {
    return false;
  }
  listed.emplace_back(section, key);
  return true;
}

// Per file, in the order they were asked: a listing ("K" lines up to "E") and three answers.
bool parseFacts(const std::vector<std::string>& lines, std::size_t fileCount,
                std::vector<FileFacts>& facts) {
  std::size_t next = 0;
  facts.assign(fileCount, FileFacts());
  for (FileFacts& file : facts) {
    for (; next < lines.size() && lines[next] != "E"; ++next) {
      if (!parseListed(lines[next], file.listed)) return false;
    }
    if (next + 3 >= lines.size()) return false;
    const std::vector<std::string> provider = splitFields(lines[next + 2]);
    const std::vector<std::string> manufacturer = splitFields(lines[next + 3]);
    if (provider.size() < 2 || !fromHex(provider[1], file.provider)) return false;
    if (manufacturer.size() < 2 || !fromHex(manufacturer[1], file.manufacturer)) return false;
    next += 4;
  }
  return next == lines.size();
}

// The Windows reader's listings and the values the tool's later lookups are built from.
bool gatherFacts(const Programs& programs, const std::vector<FileUnderTest>& files,
                 const std::string& stem, std::vector<FileFacts>& facts, std::ostream& report) {
  std::ostringstream requests;
  for (const FileUnderTest& file : files) {
    requests << "L\t" << toHex(file.path) << '\n'
             << requestLine('Q', file.path, "Version", "DriverVer") << '\n'
             << requestLine('Q', file.path, "Version", "Provider") << '\n'
             << requestLine('Q', file.path, "Manufacturer", "%MfgName%") << '\n';
  }
  std::vector<std::string> lines;
  if (!askWindows(programs, stem + ".facts", requests.str(), lines, report)) return false;
  if (parseFacts(lines, files.size(), facts)) return true;
  report << "cannot read the Windows reader's listing in " << stem << ".facts.windows.ans\n";
  return false;
}

std::string withoutPercent(std::string text) {
  std::erase(text, '%');
  return text;
}

// The lookups the tool makes on a file, the fallback ones included.
void addToolLookups(std::size_t index, const FileFacts& facts, std::vector<Lookup>& lookups) {
  const std::string models = facts.manufacturer.substr(0, facts.manufacturer.find_first_of(" ,"));
  const Lookup toolLookups[] = {
      {"Version", "DriverVer", index, Origin::TOOL, 'Q'},
      {"Version", "Provider", index, Origin::TOOL, 'Q'},
      {"Strings", withoutPercent(facts.provider), index, Origin::TOOL, 'S'},
      {"Manufacturer", "%MfgName%", index, Origin::TOOL, 'Q'},
      {models, "%DeviceDesc%", index, Origin::TOOL, 'Q'},
      {models, "%DeviceDesc.Flash%", index, Origin::TOOL, 'Q'},
      {"Strings", "DeviceDesc", index, Origin::TOOL, 'Q'},
      {"Strings", "DeviceDesc.Flash", index, Origin::TOOL, 'Q'},
  };
  lookups.insert(lookups.end(), std::begin(toolLookups), std::end(toolLookups));
}

// Appends the lookups not asked before on the same file.
void appendDistinct(const std::vector<Lookup>& candidates, std::vector<Lookup>& lookups) {
  std::set<std::string> seen;
  for (const Lookup& lookup : candidates) {
    if (seen.insert(requestLine(lookup.kind, "", lookup.section, lookup.key)).second) {
      lookups.push_back(lookup);
    }
  }
}

std::vector<Lookup> buildLookups(const std::vector<FileUnderTest>& files,
                                 const std::vector<FileFacts>& facts) {
  std::vector<Lookup> lookups;
  for (std::size_t index = 0; index < files.size(); ++index) {
    std::vector<Lookup> candidates;
    addToolLookups(index, facts[index], candidates);
    for (const auto& [section, key] : facts[index].listed) {
      candidates.push_back({section, key, index, Origin::LISTED, 'Q'});
    }
    for (const LookupProbe& probe : files[index].probes) {
      candidates.push_back({probe.section, probe.key, index, Origin::PROBE, 'Q'});
    }
    appendDistinct(candidates, lookups);
  }
  return lookups;
}

Answer parseAnswer(const std::string& line) {
  const std::vector<std::string> fields = splitFields(line);
  Answer answer;
  answer.length = fields[0];
  if (fields.size() < 2 || !fromHex(fields[1], answer.bytes)) answer.flags = "malformed answer";
  for (std::size_t i = 2; i < fields.size(); ++i) answer.flags += " " + fields[i];
  return answer;
}

std::string describe(const Answer& answer) {
  return "ret=" + answer.length + " \"" + escapeBytes(answer.bytes) + "\"" + answer.flags;
}

// What the deliberate difference looks like: 259 bytes inside quotes come back whole, where
// the Windows reader loses the last one. It is confirmed by asking the Windows reader again
// with one byte more of capacity, which returns the whole 259.
bool looksPinned(const Answer& windows, const Answer& native) {
  return windows.length == "258" && native.length == "259" && windows.flags.empty() &&
         native.flags.empty() && isPinnedValue(native.bytes, windows.bytes);
}

std::string describeLookup(const Lookup& lookup, const std::vector<FileUnderTest>& files) {
  return files[lookup.file].path + "\n    [" + escapeBytes(lookup.section) + "] " +
         escapeBytes(lookup.key) + (lookup.kind == 'S' ? " (key in the destination)" : "") + " (" +
         ORIGIN_NAMES[static_cast<int>(lookup.origin)] + ")";
}

void printTally(const Tally& tally, std::size_t fileCount, const std::string& heading,
                std::ostream& report) {
  std::size_t lookups = 0;
  std::size_t agreed = 0;
  std::ostringstream byOrigin;
  for (std::size_t origin = 0; origin < ORIGIN_COUNT; ++origin) {
    lookups += tally.lookups[origin];
    agreed += tally.agreed[origin];
    byOrigin << "  " << ORIGIN_NAMES[origin] << ": " << tally.agreed[origin] << " of "
             << tally.lookups[origin] << " agreed\n";
  }
  report << heading << ": " << fileCount << " files, " << lookups << " lookups\n"
         << byOrigin.str() << "  agreed " << agreed << ", pinned difference " << tally.pinned
         << ", disagreed " << tally.disagreed << "\n";
}

struct Comparison {
  const std::vector<Lookup>& lookups;
  const std::vector<FileUnderTest>& files;
  const std::vector<std::string>& windowsLines;
  // The Windows reader's answers with capacity 261, for the lookups that looked pinned.
  const std::map<std::size_t, std::string>& widerAnswers;

  bool isPinned(std::size_t index, const std::string& native) const {
    const auto wider = widerAnswers.find(index);
    return wider != widerAnswers.end() && wider->second == native &&
           looksPinned(parseAnswer(windowsLines[index]), parseAnswer(native));
  }
};

// Compares one native run's answers with the Windows reader's, as many.
bool compareAnswers(const Comparison& comparison, const std::vector<std::string>& nativeLines,
                    const std::string& heading, const std::string& stem, std::ostream& report) {
  Tally tally;
  std::ofstream all(stem + ".disagreements.txt", std::ios::binary);
  for (std::size_t i = 0; i < comparison.lookups.size(); ++i) {
    const Lookup& lookup = comparison.lookups[i];
    const std::string& windows = comparison.windowsLines[i];
    const auto origin = static_cast<std::size_t>(lookup.origin);
    ++tally.lookups[origin];
    if (windows == nativeLines[i]) {
      ++tally.agreed[origin];
      continue;
    }
    if (comparison.isPinned(i, nativeLines[i])) {
      ++tally.pinned;
      continue;
    }
    const std::string text = describeLookup(lookup, comparison.files) + "\n    Windows " +
                             describe(parseAnswer(windows)) + "\n    reader  " +
                             describe(parseAnswer(nativeLines[i])) + "\n";
    all << text;
    if (tally.disagreed++ < DISAGREEMENTS_SHOWN) report << "DISAGREE " << text;
  }
  printTally(tally, comparison.files.size(), heading, report);
  return tally.disagreed == 0;
}

std::string requestFor(const Lookup& lookup, char kind, const std::vector<FileUnderTest>& files) {
  return requestLine(kind, files[lookup.file].path, lookup.section, lookup.key) + '\n';
}

// The lookups whose answers differ only as the deliberate difference does, in some run.
std::vector<std::size_t> pinnedCandidates(const std::vector<std::string>& windowsLines,
                                          const std::vector<std::vector<std::string>>& native) {
  std::vector<std::size_t> candidates;
  for (std::size_t i = 0; i < windowsLines.size(); ++i) {
    const Answer windows = parseAnswer(windowsLines[i]);
    const bool pinned = std::any_of(native.begin(), native.end(), [&](const auto& lines) {
      return looksPinned(windows, parseAnswer(lines[i]));
    });
    if (pinned) candidates.push_back(i);
  }
  return candidates;
}

// Asks the Windows reader again, with capacity 261, about the candidates.
bool askWider(const Programs& programs, const std::vector<Lookup>& lookups,
              const std::vector<std::size_t>& candidates, const std::vector<FileUnderTest>& files,
              const std::string& stem, std::map<std::size_t, std::string>& wider,
              std::ostream& report) {
  if (candidates.empty()) return true;
  std::string requests;
  for (const std::size_t index : candidates) requests += requestFor(lookups[index], 'W', files);
  std::vector<std::string> lines;
  if (!askWindows(programs, stem + ".wider", requests, lines, report)) return false;
  if (lines.size() != candidates.size()) return false;
  for (std::size_t i = 0; i < candidates.size(); ++i) wider[candidates[i]] = lines[i];
  return true;
}

std::string nativeHeading(const std::string& runName, std::size_t chunk) {
  if (chunk == 0) return runName;
  return runName + " (reader fed " + std::to_string(chunk) + " byte(s) per read)";
}

}  // namespace

bool isPinnedValue(const std::string& native, const std::string& windows) {
  return native.size() == 259 && windows.size() == 258 && native.compare(0, 258, windows) == 0;
}

bool compareReaders(const Programs& programs, const std::vector<FileUnderTest>& files,
                    const std::string& runName, std::ostream& report) {
  const std::string stem = programs.workDirectory + "/" + runName;
  std::vector<FileFacts> facts;
  if (!gatherFacts(programs, files, stem, facts, report)) return false;
  const std::vector<Lookup> lookups = buildLookups(files, facts);
  std::string requests;
  for (const Lookup& lookup : lookups) requests += requestFor(lookup, lookup.kind, files);
  std::vector<std::string> windowsLines;
  if (!askWindows(programs, stem, requests, windowsLines, report)) return false;
  std::vector<std::vector<std::string>> nativeLines(programs.chunkSizes.size());
  for (std::size_t run = 0; run < nativeLines.size(); ++run) {
    if (!askNative(programs, programs.chunkSizes[run], stem, nativeLines[run], report))
      return false;
    if (nativeLines[run].size() != lookups.size() || windowsLines.size() != lookups.size()) {
      report << "missing answers from the native or the Windows reader in " << stem << ".*.ans\n";
      return false;
    }
  }
  std::map<std::size_t, std::string> wider;
  const std::vector<std::size_t> candidates = pinnedCandidates(windowsLines, nativeLines);
  if (!askWider(programs, lookups, candidates, files, stem, wider, report)) return false;
  bool agreed = true;
  for (std::size_t run = 0; run < nativeLines.size(); ++run) {
    const std::size_t chunk = programs.chunkSizes[run];
    agreed = compareAnswers({lookups, files, windowsLines, wider}, nativeLines[run],
                            nativeHeading(runName, chunk), stem + ".native" + std::to_string(chunk),
                            report) &&
             agreed;
  }
  return agreed;
}

bool checkRowsAgainstWindows(const Programs& programs, const std::string& rowsPath,
                             std::ostream& report) {
  const std::vector<std::string> rows = readLines(rowsPath);
  std::string requests;
  for (const std::string& row : rows) {
    const std::vector<std::string> fields = splitFields(row);
    if (fields.size() != 4) return false;
    requests += "Q\t" + fields[0] + '\t' + fields[1] + '\t' + fields[2] + '\n';
  }
  std::vector<std::string> answers;
  if (!askWindows(programs, programs.workDirectory + "/cases", requests, answers, report)) {
    return false;
  }
  if (answers.size() != rows.size()) return false;
  std::size_t agreed = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::vector<std::string> fields = splitFields(rows[i]);
    const Answer windows = parseAnswer(answers[i]);
    std::string path;
    std::string expected;
    if (fromHex(fields[3], expected) && windows.flags.empty() && windows.bytes == expected) {
      ++agreed;
    } else if (fromHex(fields[0], path)) {
      report << "TABLE " << path << "\n    expected \"" << escapeBytes(expected)
             << "\"\n    Windows  " << describe(windows) << '\n';
    }
  }
  report << "table: Windows gave " << agreed << " of " << rows.size() << " expected answers\n";
  return agreed == rows.size() && !rows.empty();
}

}  // namespace parity
