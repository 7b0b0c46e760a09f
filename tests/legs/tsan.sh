#!/usr/bin/env bash
# ThreadSanitizer leg: the tests that run threads against the real shared
# package and the module (the shared package's concurrent loads and unloads,
# the builders called at once, the binding stress test), with every target
# they load instrumented. Builds only those programs; the filter and the
# options are in the tsan presets.
set -euo pipefail
cd "$(dirname "$0")/../.."
tools/setup tests
cmake --workflow --preset tsan
