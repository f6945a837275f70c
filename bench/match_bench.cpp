// Speed of the wildcard matcher on the detector's work, on patterns that make a naive
// backtracker slow, and on captures, beside a plain recursive matcher written straight
// from the matching rules (the same as the tests' model). The recursive matcher runs only
// where it finishes quickly: its time grows with the number of ways the stars can split,
// and its stack with the number of stars.
#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tests/recursive_model.h"
#include "usb_flash_detect/match.h"

namespace {

using namespace usb_flash_detect::match;

using recursive_model::modelMatch;

// The matcher or the recursive model.
using Matcher = int (*)(const char*, const char*, int, MatchOutputList);

constexpr const char* ID_PATTERNS[] = {"*USB\\VID_0BDB&PID_100E", "*USB\\VID_0FCE&PID_ADDE"};

std::string repeated(std::string_view piece, std::size_t count) {
  std::string out;
  out.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i) out += piece;
  return out;
}

// Device lines as INF files carry them: the two IDs, one with a compatible ID after it,
// one in lower case, an unrelated device and a long list of IDs.
const std::vector<std::string>& deviceLines() {
  static const std::vector<std::string> lines = {
      "Install, USB\\VID_0BDB&PID_100E",
      "Install, USB\\VID_0FCE&PID_ADDE",
      "Install, USB\\VID_0FCE&PID_ADDE, USB\\Class_08&SubClass_06",
      "install, usb\\vid_0fce&pid_adde",
      "DriverInstall.NT, USB\\VID_1234&PID_5678&REV_0100&MI_00",
      "Install, " + repeated("USB\\VID_0FCE&PID_ADD0, ", 8) + "USB\\VID_0FCE&PID_ADDE",
  };
  return lines;
}

// Lines of deviceLines() that end in one of the IDs.
constexpr int FOUND_LINES = 3;

// Both IDs tried in turn, as the detector does, on every line.
int countFound(Matcher matcher) {
  int found = 0;
  for (const std::string& line : deviceLines()) {
    found += matcher(ID_PATTERNS[0], line.c_str(), 1, {}) ||
             matcher(ID_PATTERNS[1], line.c_str(), 1, {});
  }
  return found;
}

void detectorLines(benchmark::State& state, Matcher matcher) {
  if (countFound(matcher) != FOUND_LINES) state.SkipWithError("wrong count of lines found");
  for (auto _ : state) benchmark::DoNotOptimize(countFound(matcher));
  state.SetItemsProcessed(state.iterations() * static_cast<long>(deviceLines().size()));
}
BENCHMARK_CAPTURE(detectorLines, matcher, matchPatternCore);
BENCHMARK_CAPTURE(detectorLines, recursive, modelMatch);

// (a*)^n b against a^m: never matches, and a backtracker tries every way to split the a's.
void starRuns(benchmark::State& state, Matcher matcher) {
  const std::string pattern = repeated("a*", static_cast<std::size_t>(state.range(0))) + "b";
  const std::string text = repeated("a", static_cast<std::size_t>(state.range(1)));
  for (auto _ : state) benchmark::DoNotOptimize(matcher(pattern.c_str(), text.c_str(), 1, {}));
  state.SetBytesProcessed(state.iterations() * static_cast<long>(text.size()));
}
BENCHMARK_CAPTURE(starRuns, matcher, matchPatternCore)
    ->ArgsProduct({{1, 10, 100}, {100, 1000, 10000}});
BENCHMARK_CAPTURE(starRuns, recursive, modelMatch)
    ->ArgsProduct({{1}, {100, 1000, 10000}})
    ->ArgsProduct({{2}, {100, 1000}});

// 100,000 stars, alone (first argument 0) or followed by "b" (1), against a text of a's
// of the second argument's length that ends in "b". The recursive matcher would need
// one frame per star.
void manyStars(benchmark::State& state) {
  const std::string pattern = repeated("*", 100000) + (state.range(0) ? "b" : "");
  const std::string text = repeated("a", static_cast<std::size_t>(state.range(1))) + "b";
  for (auto _ : state) {
    benchmark::DoNotOptimize(matchPatternCore(pattern.c_str(), text.c_str(), 1, {}));
  }
}
BENCHMARK(manyStars)->Name("manyStars/matcher")->ArgsProduct({{0, 1}, {3, 10000}});

// Patterns dense in stars or directives, each element opening a star or taking a
// directive: (*a)^n against a^n, (*%s)^n into n outputs against "abc", and
// (%:%=%%%?%*)^n against (%?*)^n. All match.
void denseMatch(benchmark::State& state, const std::string& pattern, const std::string& text,
                MatchOutputList outputs) {
  if (matchPatternCore(pattern.c_str(), text.c_str(), 1, outputs) != 1) {
    state.SkipWithError("no match");
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(matchPatternCore(pattern.c_str(), text.c_str(), 1, outputs));
    benchmark::ClobberMemory();
  }
}

void denseStars(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  denseMatch(state, repeated("*a", n), repeated("a", n), {});
}
BENCHMARK(denseStars)->Name("denseStars/matcher")->Arg(50000);

void storingStars(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  std::vector<std::array<char, 4>> texts(n);
  std::vector<MatchOutput> outputs;
  for (auto& text : texts) outputs.push_back(match_output::describe(std::span<char>(text)));
  denseMatch(state, repeated("*%s", n), "abc", {outputs.data(), outputs.size()});
}
BENCHMARK(storingStars)->Name("storingStars/matcher")->Arg(100000);

void directiveRuns(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  denseMatch(state, repeated("%:%=%%%?%*", n), repeated("%?*", n), {});
}
BENCHMARK(directiveRuns)->Name("directiveRuns/matcher")->Arg(20000);

// Captures: the argument picks a row.
struct CaptureRow {
  const char* pattern;
  std::string text;
};

const CaptureRow& captureRow(long index) {
  static const CaptureRow rows[] = {
      {"*VID_*%s&PID_*%s", "Install, USB\\VID_0FCE&PID_ADDE"},
      {"*%s, *%s", "Install, USB\\VID_0FCE&PID_ADDE"},
      {"*%d/*%d/*%d,*%d.*%d.*%d.*%d", "06/21/2006,10.0.19041.1"},
      {"*%s", repeated("USB\\VID_0FCE&PID_ADDE, ", 12)},
      {"???????%s, ?????????????????????%s", "Install, USB\\VID_0FCE&PID_ADDE"},
  };
  return rows[index];
}

void captures(benchmark::State& state, Matcher matcher) {
  const CaptureRow& row = captureRow(state.range(0));
  char first[64];
  char second[64];
  int numbers[7];
  MatchOutput outputs[] = {match_output::describe(std::span<char>(first)),
                           match_output::describe(std::span<char>(second))};
  MatchOutput integers[7];
  for (int i = 0; i < 7; ++i) integers[i] = match_output::describe(&numbers[i]);
  const bool wantsIntegers = std::strstr(row.pattern, "%d") != nullptr;
  const MatchOutputList list =
      wantsIntegers ? MatchOutputList{integers, 7} : MatchOutputList{outputs, 2};
  if (matcher(row.pattern, row.text.c_str(), 1, list) != 1) state.SkipWithError("no match");
  for (auto _ : state) {
    benchmark::DoNotOptimize(matcher(row.pattern, row.text.c_str(), 1, list));
    benchmark::ClobberMemory();
  }
}
BENCHMARK_CAPTURE(captures, matcher, matchPatternCore)->DenseRange(0, 4);
BENCHMARK_CAPTURE(captures, recursive, modelMatch)->DenseRange(0, 4);

}  // namespace
