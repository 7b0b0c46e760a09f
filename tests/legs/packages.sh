#!/usr/bin/env bash
# Packages leg: `cmake --build build --target packages` in the main build
# (which tests/run-all has just built and tested) and the tests of what it
# makes, labelled packaging: lintian on the Debian packages, the example host
# against them unpacked, the wheel in a fresh venv and then the demo wheel
# beside it running the README's sale, the NuGet package under xunit and in a
# fresh console project, and with the demo package in a second one running the
# README's sale. Without the .NET SDK the NuGet part is left out, and said to be.
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/legs/skip.bash
tools/setup tests

start=$SECONDS
log=build/packages-leg.log
if ! { cmake --preset default && cmake --build --preset default &&
  ctest --test-dir build -L packaging --output-on-failure --no-tests=error --timeout 600; } >"$log" 2>&1; then
  tail -n 80 "$log"
  echo "packages leg failed; the whole log is $log"
  exit 1
fi
grep -E '^[0-9]+% tests passed' "$log"
if ! command -v dotnet >/dev/null; then
  skip_part packages "the NuGet package and its tests: no dotnet (the .NET SDK) on this machine"
fi
echo "packages leg: $((SECONDS - start)) s"
