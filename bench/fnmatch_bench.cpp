// The matcher against the C library's fnmatch in one process, on the same patterns (the
// backslashes doubled for fnmatch, flags 0) and texts. Each benchmark iteration is one
// round: a batch of matchPatternCore calls and a batch of fnmatch calls, timed apart, in
// alternating order. The counter "ratio" is the median over the rounds of the matcher's
// time divided by fnmatch's; "matcher_ns" and "fnmatch_ns" are the medians of one run of
// the workload. Built only where the C library declares fnmatch.
#if MATCH_BENCH_HAVE_FNMATCH

#include <benchmark/benchmark.h>
#include <fnmatch.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "usb_flash_detect/match.h"

namespace {

namespace match = usb_flash_detect::match;

std::string repeated(std::string_view piece, std::size_t count) {
  std::string out;
  out.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i) out += piece;
  return out;
}

// fnmatch's spelling of a pattern: a backslash escapes there, so it is doubled.
std::string forFnmatch(std::string_view pattern) {
  std::string out;
  for (const char c : pattern) {
    if (c == '\\') out += '\\';
    out += c;
  }
  return out;
}

// A workload: patterns tried in turn on each text until one matches, as the detector
// tries its two IDs on each device line.
struct Workload {
  std::vector<std::string> patterns;
  std::vector<std::string> texts;
};

// How many texts one of the patterns matches; `matches` says whether one does.
template <class Matches>
int countFound(const std::vector<std::string>& patterns, const std::vector<std::string>& texts,
               Matches matches) {
  int found = 0;
  for (const std::string& text : texts) {
    found += std::any_of(patterns.begin(), patterns.end(),
                         [&](const std::string& pattern) { return matches(pattern, text); });
  }
  return found;
}

bool matcherMatches(const std::string& pattern, const std::string& text) {
  return match::matchPatternCore(pattern.c_str(), text.c_str(), 1, {}) == 1;
}

bool fnmatchMatches(const std::string& pattern, const std::string& text) {
  return fnmatch(pattern.c_str(), text.c_str(), 0) == 0;
}

using Clock = std::chrono::steady_clock;

template <class Run>
double batchSeconds(Run run, int batch) {
  const auto start = Clock::now();
  for (int i = 0; i < batch; ++i) benchmark::DoNotOptimize(run());
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Rounds of `mine` (the matcher) and `theirs` (fnmatch), each a run of the workload.
template <class Mine, class Theirs>
void interleavedRuns(benchmark::State& state, const Mine& mine, const Theirs& theirs) {
  if (mine() != theirs()) state.SkipWithError("the matchers disagree");
  // A batch of about 50 microseconds of fnmatch.
  const double once = std::max(batchSeconds(theirs, 3) / 3, 1e-9);
  const int batch = std::max(1, static_cast<int>(50e-6 / once));
  std::vector<double> ratios;
  std::vector<double> mineTimes;
  std::vector<double> theirTimes;
  for (auto _ : state) {
    const bool mineFirst = ratios.size() % 2 == 0;
    const double first = mineFirst ? batchSeconds(mine, batch) : batchSeconds(theirs, batch);
    const double second = mineFirst ? batchSeconds(theirs, batch) : batchSeconds(mine, batch);
    mineTimes.push_back((mineFirst ? first : second) / batch);
    theirTimes.push_back((mineFirst ? second : first) / batch);
    ratios.push_back(mineTimes.back() / theirTimes.back());
    state.SetIterationTime(first + second);
  }
  state.counters["ratio"] = median(ratios);
  state.counters["matcher_ns"] = median(mineTimes) * 1e9;
  state.counters["fnmatch_ns"] = median(theirTimes) * 1e9;
}

void interleaved(benchmark::State& state, const Workload& workload) {
  std::vector<std::string> fnmatchPatterns;
  for (const std::string& pattern : workload.patterns)
    fnmatchPatterns.push_back(forFnmatch(pattern));
  interleavedRuns(
      state, [&] { return countFound(workload.patterns, workload.texts, matcherMatches); },
      [&] { return countFound(fnmatchPatterns, workload.texts, fnmatchMatches); });
}

// Rounds of `mine` and `theirs` on each text, both with patterns written into the calls as
// constants, as a user writes them (matchPattern then reads them at compile time).
template <class Mine, class Theirs>
void constantRow(benchmark::State& state, const std::vector<std::string>& texts, Mine mine,
                 Theirs theirs) {
  std::vector<const char*> t;
  t.reserve(texts.size());
  for (const std::string& text : texts) t.push_back(text.c_str());
  interleavedRuns(
      state, [&] { return std::count_if(t.begin(), t.end(), mine); },
      [&] { return std::count_if(t.begin(), t.end(), theirs); });
}

// Device lines as INF files carry them, 21 to 260 bytes: the two IDs bare and after an
// install section, one with a compatible ID after it, one in lower case, unrelated devices
// and long lists of IDs.
Workload deviceLines() {
  return {{"*USB\\VID_0BDB&PID_100E", "*USB\\VID_0FCE&PID_ADDE"},
          {
              "USB\\VID_0FCE&PID_ADDE",
              "Install, USB\\VID_0BDB&PID_100E",
              "Install, USB\\VID_0FCE&PID_ADDE",
              "Install, USB\\VID_0FCE&PID_ADDE, USB\\Class_08&SubClass_06",
              "install, usb\\vid_0fce&pid_adde",
              "DriverInstall.NT, USB\\VID_1234&PID_5678&REV_0100&MI_00",
              "USBSTOR_Install.NTamd64, USB\\VID_0BDB&PID_100E&REV_0200, USB\\Class_08",
              "Install, " + repeated("USB\\VID_0FCE&PID_ADD0, ", 8) + "USB\\VID_0FCE&PID_ADDE",
              "Install, " + repeated("USB\\VID_0BDB&PID_100F, ", 10) + "USB\\VID_0BDB&PID_1",
          }};
}

void detectorLines(benchmark::State& state) {
  static const Workload workload = deviceLines();
  interleaved(state, workload);
}
BENCHMARK(detectorLines)->Name("vsFnmatch/detectorLines")->UseManualTime();

// Patterns users write: ID parts on those lines, file-name patterns on names of 9-17 bytes.
BENCHMARK_CAPTURE(
    constantRow, idParts, deviceLines().texts,
    [](const char* s) {
      return match::matchPattern("*VID_0FCE*", s) || match::matchPattern("*PID_100E*", s) ||
             match::matchPattern("*&MI_0?*", s);
    },
    [](const char* s) {
      return fnmatch("*VID_0FCE*", s, 0) == 0 || fnmatch("*PID_100E*", s, 0) == 0 ||
             fnmatch("*&MI_0?*", s, 0) == 0;
    })
    ->Name("vsFnmatch/idParts")
    ->UseManualTime();

BENCHMARK_CAPTURE(interleaved, idPartsRuntime,
                  Workload{{"*VID_0FCE*", "*PID_100E*", "*&MI_0?*"}, deviceLines().texts})
    ->Name("vsFnmatch/idPartsRuntime")
    ->UseManualTime();

const Workload FILE_NAMES{{"*.inf", "oem*.inf", "*usb*"},
                          {"oem12.inf", "usbstor.inf", "machine.PNF", "oem104.pnf",
                           "usbport_amd64.inf", "setupapi.dev.log"}};

BENCHMARK_CAPTURE(
    constantRow, fileNames, FILE_NAMES.texts,
    [](const char* s) {
      return match::matchPattern("*.inf", s) || match::matchPattern("oem*.inf", s) ||
             match::matchPattern("*usb*", s);
    },
    [](const char* s) {
      return fnmatch("*.inf", s, 0) == 0 || fnmatch("oem*.inf", s, 0) == 0 ||
             fnmatch("*usb*", s, 0) == 0;
    })
    ->Name("vsFnmatch/fileNames")
    ->UseManualTime();

BENCHMARK_CAPTURE(interleaved, fileNamesRuntime, FILE_NAMES)
    ->Name("vsFnmatch/fileNamesRuntime")
    ->UseManualTime();

// (a*)^n b against a^m: never matches.
void starRuns(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto m = static_cast<std::size_t>(state.range(1));
  interleaved(state, {{repeated("a*", n) + "b"}, {repeated("a", m)}});
}
BENCHMARK(starRuns)
    ->Name("vsFnmatch/starRuns")
    ->ArgsProduct({{1, 10, 100}, {100, 10000}})
    ->UseManualTime();

// Many stars and a "b" against a^30.
void manyStars(benchmark::State& state) {
  const auto stars = static_cast<std::size_t>(state.range(0));
  interleaved(state, {{repeated("*", stars) + "b"}, {repeated("a", 30)}});
}
BENCHMARK(manyStars)->Name("vsFnmatch/manyStars")->Arg(10000)->UseManualTime();

// *a*a*a*a*a*b against a^m.
void starLetters(benchmark::State& state) {
  const auto m = static_cast<std::size_t>(state.range(0));
  interleaved(state, {{"*a*a*a*a*a*b"}, {repeated("a", m)}});
}
BENCHMARK(starLetters)->Name("vsFnmatch/starLetters")->Arg(1000)->UseManualTime();

// Patterns whose first star must try nearly every split of a^1000: *ab*, *a?b*, *?x*.
void everySplit(benchmark::State& state) {
  static const char* const PATTERNS[] = {"*ab*", "*a?b*", "*?x*"};
  interleaved(state, {{PATTERNS[state.range(0)]}, {repeated("a", 1000)}});
}
BENCHMARK(everySplit)->Name("vsFnmatch/everySplit")->DenseRange(0, 2)->UseManualTime();

}  // namespace
#endif
