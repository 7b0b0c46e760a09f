#!/usr/bin/env bash
# Release leg, g++: the plain build a user makes, no preset, warnings as
# errors, with none of the optional packages (GoogleTest, Google Benchmark,
# nlohmann-json): what needs them must be left out and the rest build and
# install. zep-host, built without JSON, must refuse --json as a wrong argument.
set -euo pipefail
cd "$(dirname "$0")/../.."
tools/setup demo

start=$SECONDS
build=build-release-gcc
mkdir -p $build
log=$build/leg.log
if ! {
  CC=gcc CXX=g++ cmake -S . -B $build -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEP_WARNINGS_AS_ERRORS=ON \
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON \
    -DCMAKE_DISABLE_FIND_PACKAGE_nlohmann_json=ON &&
    cmake --build $build -j2 &&
    cmake --install $build --prefix $build/installed
} >$log 2>&1; then
  tail -n 60 $log
  echo "release-gcc leg failed; the whole log is $log"
  exit 1
fi
grep -- '-- .* left out' $log

status=0
$build/installed/bin/zep-host check Sat --json 2>$build/json.err || status=$?
if [[ $status != 64 ]] || ! grep -q 'built without nlohmann-json' $build/json.err; then
  cat $build/json.err
  echo "release-gcc leg: zep-host without JSON exited $status on --json"
  exit 1
fi
echo "release-gcc leg: $((SECONDS - start)) s"
