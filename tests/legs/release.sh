#!/usr/bin/env bash
# Release leg: the plain builds users make, no preset, warnings as errors.
# - g++ with none of the optional packages (GoogleTest, Google Benchmark,
#   nlohmann-json): what needs them is left out, the rest builds and
#   installs, and zep-host, built without JSON, refuses --json as a wrong
#   argument.
# - clang with every test but the packages' (the packages leg runs those in
#   the main build).
set -euo pipefail
cd "$(dirname "$0")/../.."
tools/setup tests

# Runs a command with its output in $log, shown when it fails.
run() {
  if ! "$@" >>"$log" 2>&1; then
    tail -n 80 "$log"
    echo "release leg failed: $*; the whole log is $log"
    exit 1
  fi
}

# Configures and builds build-release-NAME as a user does, with the C and C++
# compilers given and any further cache settings; sets $build and $log.
release_build() {
  local name=$1 cc=$2 cxx=$3
  shift 3
  start=$SECONDS
  build=build-release-$name
  mkdir -p $build
  log=$build/leg.log
  : >"$log"
  run env CC=$cc CXX=$cxx cmake -S . -B $build -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DZEP_WARNINGS_AS_ERRORS=ON "$@"
  run cmake --build $build -j2
}

release_build gcc gcc g++ -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON -DCMAKE_DISABLE_FIND_PACKAGE_nlohmann_json=ON
run cmake --install $build --prefix $build/installed
grep -- '-- .* left out' "$log"
status=0
$build/installed/bin/zep-host check Sat --json 2>$build/json.err || status=$?
if [[ $status != 64 ]] || ! grep -q 'built without nlohmann-json' $build/json.err; then
  cat $build/json.err
  echo "release leg: zep-host without JSON exited $status on --json"
  exit 1
fi
echo "release leg, g++: $((SECONDS - start)) s"

release_build clang clang clang++
run ctest --test-dir $build --output-on-failure --no-tests=error --timeout 300 -LE packaging
grep -E '^[0-9]+% tests passed' "$log"
echo "release leg, clang: $((SECONDS - start)) s"
