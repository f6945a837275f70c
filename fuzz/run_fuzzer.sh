#!/usr/bin/env bash
# Runs one fuzz target for a bounded time from its seed folders; CTest runs it once per
# target (the fuzz preset). Fails when the target reports a crash, a sanitizer finding, a
# timeout or running out of memory; the input that caused it is left in
# <work dir>/artifacts/ and named in the log's end, which is shown.
#
# Usage: fuzz/run_fuzzer.sh <target> <seconds> <work dir> [seed folder...]
set -euo pipefail

if [[ $# -lt 3 ]]; then
  echo "usage: $0 <target> <seconds> <work dir> [seed folder...]" >&2
  exit 2
fi
target=$1 seconds=$2 work=$3
shift 3
# New inputs go to a working corpus; the committed seeds stay as they are.
mkdir -p "$work/corpus" "$work/artifacts"
corpora=("$work/corpus")
for seeds in "$@"; do
  if [[ -d $seeds ]]; then corpora+=("$seeds"); fi
done
log="$work/fuzz.log"
# libFuzzer's progress lines go to the log; the final statistics, or on a finding the
# log's end, are shown.
if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$work/artifacts/" "${corpora[@]}" >"$log" 2>&1; then
  tail -n 80 "$log"
  echo "== $(basename "$target") found a fault; the input is in $work/artifacts/" >&2
  exit 1
fi
grep -E '^(Done|stat::)' "$log" || true
