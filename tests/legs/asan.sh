#!/usr/bin/env bash
# AddressSanitizer + UndefinedBehaviorSanitizer leg: the whole suite with
# every target instrumented (module, shared package, driver packages, tests),
# leak checking on, and the first error of either ending its test (the
# options are in the asan test preset).
set -euo pipefail
cd "$(dirname "$0")/../.."
tools/setup tests

started=$(mktemp)
trap 'rm -f "$started"' EXIT
if cmake --workflow --preset asan; then exit 0; fi

# A leak inside a package that was unloaded before the exit shows frames of
# "<unknown module>": run the failed tests again with every library kept
# mapped, so that the report names the code that allocated.
testing=build-asan/Testing/Temporary
if [[ $testing/LastTestsFailed.log -nt $started ]] &&
  grep -q '<unknown module>' "$testing/LastTest.log"; then
  echo "== the failed tests again, with dlclose kept from unmapping, for readable leak reports"
  c++ -shared -fPIC -O1 -o build-asan/keep_mapped.so tests/legs/keep_mapped.cpp
  failed=$(cut -d: -f2- "$testing/LastTestsFailed.log" | paste -sd: -)
  preload="$(c++ -print-file-name=libasan.so) $PWD/build-asan/keep_mapped.so"
  for program in build-asan/bin/*_tests; do
    LD_PRELOAD=$preload ASAN_OPTIONS=detect_leaks=1 "$program" --gtest_filter="$failed" \
      --gtest_brief=1 2>&1 | grep -v '^Running main()' || true
  done
fi
exit 1
