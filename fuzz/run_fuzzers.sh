#!/usr/bin/env bash
# Builds the fuzz targets with clang in the given build directory and runs each for a
# bounded time, starting from its committed seeds. Fails as soon as a target reports a
# crash, a sanitizer finding, a timeout or running out of memory; the input that caused
# it is left in <build dir>/fuzz-artifacts/<target>/ and named in the log.
#
# Usage: fuzz/run_fuzzers.sh <build dir> [seconds per target, default 60]
set -euo pipefail

if [[ $# -lt 1 || $# -gt 2 ]]; then
  echo "usage: $0 <build dir> [seconds per target]" >&2
  exit 2
fi
build_dir=$1
seconds=${2:-60}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
targets=(inf_reader_fuzzer match_fuzzer detector_fuzzer screen_fuzzer)

CC=clang CXX=clang++ cmake -S "$source_dir" -B "$build_dir" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DUSB_FLASH_DETECT_FUZZERS=ON \
  -DUSB_FLASH_DETECT_TESTS=OFF
cmake --build "$build_dir" --target "${targets[@]}" fuzz_seeds -j 2
# Seeds made by the test-support generator, beside the committed ones.
generated_seeds="$build_dir/fuzz-seeds"
rm -rf "$generated_seeds"
"$build_dir/fuzz/fuzz_seeds" "$generated_seeds"

for target in "${targets[@]}"; do
  # New inputs go to a working corpus in the build tree; the committed seeds stay as they are.
  work_corpus="$build_dir/fuzz-corpus/$target"
  artifacts="$build_dir/fuzz-artifacts/$target/"
  log="$build_dir/fuzz-logs/$target.log"
  mkdir -p "$work_corpus" "$artifacts" "$(dirname "$log")"
  corpora=("$work_corpus")
  for seeds in "$source_dir/fuzz/corpus/$target" "$generated_seeds/$target"; do
    if [[ -d $seeds ]]; then corpora+=("$seeds"); fi
  done
  echo "== $target: $seconds s (log: $log)"
  # libFuzzer's progress lines go to the log; the final statistics, or on a finding the
  # log's end, are shown.
  if ! "$build_dir/fuzz/$target" \
    -max_total_time="$seconds" \
    -timeout=10 \
    -rss_limit_mb=2048 \
    -print_final_stats=1 \
    -artifact_prefix="$artifacts" \
    "${corpora[@]}" >"$log" 2>&1; then
    tail -n 80 "$log"
    echo "== $target found a fault; the input is in $artifacts" >&2
    exit 1
  fi
  grep -E '^(Done|stat::)' "$log" || true
done
echo "== all fuzz targets ran $seconds s without a finding"
