#!/usr/bin/env bash
# Fuzz leg: the libFuzzer targets (fuzz/), built with clang and ASan + UBSan,
# each run for a bounded time from its seed corpus in fuzz/corpus/<target>/.
# What a run discovers goes to build-fuzz/corpus/, so the tree's seeds stay as
# committed; an input that breaks a target is kept in build-fuzz/crashes/.
#   ZEP_FUZZ_SECONDS=60 tests/legs/fuzz.sh   # a longer run
set -euo pipefail
cd "$(dirname "$0")/../.."
tools/setup tests
seconds=${ZEP_FUZZ_SECONDS:-10}

mkdir -p build-fuzz/crashes
cmake --workflow --preset fuzz >build-fuzz/workflow.log 2>&1 || { cat build-fuzz/workflow.log; exit 1; }
for seeds in fuzz/corpus/*/; do
  target=$(basename "$seeds")
  mkdir -p "build-fuzz/corpus/$target"
  log=build-fuzz/fuzz_$target.log
  if ! build-fuzz/bin/fuzz_"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="build-fuzz/crashes/$target-" \
      "build-fuzz/corpus/$target" "$seeds" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzz_$target failed; the input is in build-fuzz/crashes/"
    exit 1
  fi
  echo "fuzz_$target: $(grep -m1 '^Done' "$log")"
done
