#!/usr/bin/env bash
# Runs every fuzz target of a build for the given number of seconds, each
# starting from its seed corpus in tests/fuzz/corpus. Fails at the first
# target that crashes, leaks, hits undefined behaviour or hangs, after
# printing the input that did it.
set -euo pipefail
build=${1:?usage: run-fuzzers.sh BUILD_DIR [SECONDS] [TARGET...]}
seconds=${2:-60}
shift $(($# < 2 ? $# : 2))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(page_body request_file number_rules sql_texts)

root=$(cd "$(dirname "$0")/.." && pwd)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

for target in "${targets[@]}"; do
  program="$build/tests/fuzz/fuzz_$target"
  # Inputs the fuzzer finds go to a scratch corpus; the seeds stay as they are.
  work="$build/fuzz-work/$target"
  artifacts="$build/fuzz-artifacts/$target"
  rm -rf "$artifacts"
  mkdir -p "$work" "$artifacts"
  dict=()
  [ -f "$root/tests/fuzz/$target.dict" ] && dict=(-dict="$root/tests/fuzz/$target.dict")
  echo "== fuzz_$target for ${seconds}s"
  if ! "$program" -max_total_time="$seconds" -timeout=25 -print_final_stats=1 \
      -artifact_prefix="$artifacts/" "${dict[@]}" "$work" "$root/tests/fuzz/corpus/$target" \
      >"$artifacts/log" 2>&1; then
    tail -n 60 "$artifacts/log"
    for input in "$artifacts"/crash-* "$artifacts"/leak-* "$artifacts"/timeout-* "$artifacts"/oom-*; do
      [ -f "$input" ] || continue
      echo "== input that failed: $input ($(stat -c %s "$input") bytes)"
      od -A d -t x1z -v "$input" | head -n 64
    done
    exit 1
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "$artifacts/log" |
    sed 's/^/   /'
done
