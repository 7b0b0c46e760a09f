#!/usr/bin/env bash
# Release leg, clang: the plain build a user makes, no preset, warnings as
# errors, and every test, the Debian packages' included (they are made with
# cpack, unpacked with dpkg -x, and the example host is built against them).
set -euo pipefail
cd "$(dirname "$0")/../.."
tools/setup tests

start=$SECONDS
build=build-release-clang
mkdir -p $build
log=$build/leg.log
if ! {
  CC=clang CXX=clang++ cmake -S . -B $build -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DZEP_WARNINGS_AS_ERRORS=ON &&
    cmake --build $build -j2 &&
    ctest --test-dir $build --output-on-failure --no-tests=error --timeout 300
} >$log 2>&1; then
  tail -n 80 $log
  echo "release-clang leg failed; the whole log is $log"
  exit 1
fi
grep -E '^[0-9]+% tests passed' $log
echo "release-clang leg: $((SECONDS - start)) s"
