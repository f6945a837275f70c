// POSIX fnmatch on the patterns of literals, "?" and "*" that the matcher benchmarks run,
// as a yardstick. Built only where the C library declares it.
#if MATCH_BENCH_HAVE_FNMATCH

#include <benchmark/benchmark.h>
#include <fnmatch.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* ID_PATTERNS[] = {"*USB\\VID_0BDB&PID_100E", "*USB\\VID_0FCE&PID_ADDE"};

std::string repeated(std::string_view piece, std::size_t count) {
  std::string out;
  out.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i) out += piece;
  return out;
}

// A backslash is an ordinary byte in the matcher's patterns, so it must be one here too.
bool matches(const char* pattern, const std::string& text) {
  return fnmatch(pattern, text.c_str(), FNM_NOESCAPE) == 0;
}

// The same lines as the matcher's detector case.
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
int countFound() {
  int found = 0;
  for (const std::string& line : deviceLines()) {
    found += matches(ID_PATTERNS[0], line) || matches(ID_PATTERNS[1], line);
  }
  return found;
}

void fnmatchDetectorLines(benchmark::State& state) {
  if (countFound() != FOUND_LINES) state.SkipWithError("wrong count of lines found");
  for (auto _ : state) benchmark::DoNotOptimize(countFound());
  state.SetItemsProcessed(state.iterations() * static_cast<long>(deviceLines().size()));
}
BENCHMARK(fnmatchDetectorLines)->Name("detectorLines/fnmatch");

// (a*)^n b against a^m: never matches.
void fnmatchStarRuns(benchmark::State& state) {
  const std::string pattern = repeated("a*", static_cast<std::size_t>(state.range(0))) + "b";
  const std::string text = repeated("a", static_cast<std::size_t>(state.range(1)));
  for (auto _ : state) benchmark::DoNotOptimize(matches(pattern.c_str(), text));
}
BENCHMARK(fnmatchStarRuns)
    ->Name("starRuns/fnmatch")
    ->ArgsProduct({{1, 10, 100}, {100, 1000, 10000}});

// 100,000 stars, alone (first argument 0) or followed by "b" (1), against a text of a's of
// the second argument's length that ends in "b".
void fnmatchManyStars(benchmark::State& state) {
  const std::string pattern = repeated("*", 100000) + (state.range(0) ? "b" : "");
  const std::string text = repeated("a", static_cast<std::size_t>(state.range(1))) + "b";
  for (auto _ : state) benchmark::DoNotOptimize(matches(pattern.c_str(), text));
}
BENCHMARK(fnmatchManyStars)->Name("manyStars/fnmatch")->ArgsProduct({{0, 1}, {3, 10000}});

}  // namespace

#endif
