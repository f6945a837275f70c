// Holds the POSIX INF reader to the Windows profile reader under Wine, and the tool's
// native build to its Windows build.
//
//   parity_check corpus <folder>    every .inf file under the folder
//   parity_check generated          generated files; --seeds 1,2,3 --count 250 (per seed)
//   parity_check cases              the measured rows of the INF reader's table
//                                   (--cases-test <inf_reader_test>) against Windows
//   parity_check tool-run           the whole tool over the corpus (--corpus <folder>) and
//                                   generated packages (--seeds, --count); needs --tool
//                                   <native build> and --tool-exe <Windows build>
// and always --wine <wine> --prefix <Wine prefix> --windows-lookup <.exe>
// --native-lookup <program> --work <scratch folder>; optionally --chunks 0,1 (the most
// bytes the native reader is handed per read, 0 for no limit; one run per size).
//
// Prints a report and exits with 0 when everything agreed, 1 when something did not, 2 on
// a usage or setup error. A line starting "parity-skip:" means there was nothing to run.
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "lookup_protocol.h"
#include "parity_session.h"
#include "tests/support/child_process.h"

namespace {

namespace fs = std::filesystem;

using Options = std::map<std::string, std::string>;

constexpr int AGREED = 0;
constexpr int DISAGREED = 1;
constexpr int SETUP_ERROR = 2;

// "--name value" pairs after the mode (and its operand, for the corpus). Of two with one
// name the first counts, so options typed before a wrapper's own ones override them.
bool parseOptions(int argc, char** argv, int first, Options& options) {
  for (int i = first; i < argc; i += 2) {
    const std::string name = argv[i];
    if (name.rfind("--", 0) != 0 || i + 1 >= argc) return false;
    options.emplace(name.substr(2), argv[i + 1]);  // the first of two wins
  }
  return true;
}

std::vector<std::uint64_t> parseNumbers(const std::string& list) {
  std::vector<std::uint64_t> numbers;
  for (const std::string& number : parity::splitFields(list, ',')) {
    if (!number.empty()) numbers.push_back(std::stoull(number));
  }
  return numbers;
}

std::string option(const Options& options, const std::string& name, const std::string& fallback) {
  const auto found = options.find(name);
  return found == options.end() ? fallback : found->second;
}

// Whether every option `needed` is given; names the first missing one on standard error.
bool has(const Options& options, std::initializer_list<const char*> needed, const char* mode) {
  for (const char* name : needed) {
    if (options.count(name) == 0) {
      std::cerr << mode << " needs --" << name << '\n';
      return false;
    }
  }
  return true;
}

bool readPrograms(const Options& options, parity::Programs& programs) {
  if (!has(options, {"wine", "prefix", "windows-lookup", "native-lookup", "work"},
           "parity_check")) {
    return false;
  }
  programs.wine = options.at("wine");
  programs.winePrefix = options.at("prefix");
  programs.windowsLookup = options.at("windows-lookup");
  programs.nativeLookup = options.at("native-lookup");
  programs.workDirectory = fs::absolute(options.at("work")).string();
  const std::vector<std::uint64_t> chunks = parseNumbers(option(options, "chunks", "0"));
  programs.chunkSizes.assign(chunks.begin(), chunks.end());
  fs::create_directories(programs.workDirectory);
  return true;
}

int checkCorpus(const parity::Programs& programs, const std::string& folder) {
  std::vector<parity::FileUnderTest> files;
  for (const std::string& path : parity::findInfFiles(folder)) files.push_back({path, {}});
  if (files.empty()) {
    std::cout << "parity-skip: no .inf file under '" << folder << "'\n";
    return AGREED;
  }
  return parity::compareReaders(programs, files, "corpus", std::cout) ? AGREED : DISAGREED;
}

// Writes the generated files into the scratch folder.
int checkGenerated(const parity::Programs& programs, const Options& options) {
  const auto count = static_cast<std::size_t>(std::stoull(option(options, "count", "250")));
  const std::string folder = programs.workDirectory + "/generated";
  std::vector<parity::FileUnderTest> files;
  if (!support::freshDirectory(folder) ||
      !parity::writeGeneratedFiles(folder,
                                   parseNumbers(option(options, "seeds", "1,2,3,4,5,6,7,8")), count,
                                   support::FileShape::HOSTILE, files)) {
    return SETUP_ERROR;
  }
  return parity::compareReaders(programs, files, "generated", std::cout) ? AGREED : DISAGREED;
}

// The table test writes its rows out, then the Windows reader answers them.
int checkCases(const parity::Programs& programs, const Options& options) {
  if (!has(options, {"cases-test"}, "cases")) return SETUP_ERROR;
  const fs::path folder = fs::path(programs.workDirectory) / "cases";
  if (!support::freshDirectory(folder.string())) return SETUP_ERROR;
  support::ChildSetup run;
  run.command = {options.at("cases-test"), "--gtest_filter=InfReaderTable.*"};
  run.environment = {"INF_READER_ROWS_FOR_WINDOWS=" + folder.string()};
  run.outputPath = (folder / "test.out").string();
  (void)support::runToEnd(run);  // rows the reader still fails are dumped all the same
  const bool agreed =
      parity::checkRowsAgainstWindows(programs, (folder / "rows.txt").string(), std::cout);
  return agreed ? AGREED : DISAGREED;
}

int checkToolRun(const parity::Programs& programs, const Options& options) {
  if (!has(options, {"tool", "tool-exe"}, "tool-run")) return SETUP_ERROR;
  parity::ToolRun run;
  run.nativeTool = options.at("tool");
  run.windowsTool = options.at("tool-exe");
  const std::string corpus = option(options, "corpus", "");
  if (!corpus.empty() && fs::is_directory(corpus)) run.corpusDirectory = corpus;
  run.seeds = parseNumbers(option(options, "seeds", "1,2"));
  run.count = static_cast<std::size_t>(std::stoull(option(options, "count", "100")));
  return parity::compareToolRuns(programs, run, std::cout) ? AGREED : DISAGREED;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const bool corpus = mode == "corpus";
  if (mode.empty() || (corpus && argc < 3)) {
    std::cerr << "usage: parity_check corpus <folder> | generated | cases | tool-run [--options]\n";
    return SETUP_ERROR;
  }
  Options options;
  parity::Programs programs;
  if (!parseOptions(argc, argv, corpus ? 3 : 2, options) || !readPrograms(options, programs)) {
    return SETUP_ERROR;
  }
  if (corpus) {
    if (!fs::is_directory(argv[2])) {
      std::cout << "parity-skip: no INF corpus at '" << argv[2] << "'\n";
      return AGREED;
    }
    return checkCorpus(programs, argv[2]);
  }
  if (mode == "generated") return checkGenerated(programs, options);
  if (mode == "tool-run") return checkToolRun(programs, options);
  if (mode == "cases") return checkCases(programs, options);
  std::cerr << "unknown mode '" << mode << "'\n";
  return SETUP_ERROR;
}
