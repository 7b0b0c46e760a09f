#!/usr/bin/env bash
# Windows leg: the same sources cross-built with MinGW-w64 into
# build-windows/ (PKG_ZEP00001.dll, _dll.dll, the .bpl test packages), and
# the suite run under Wine in a prefix of that build's own.
set -euo pipefail
cd "$(dirname "$0")/../.."

tools/setup windows

start=$SECONDS
mkdir -p build-windows
if ! cmake --workflow --preset windows >build-windows/workflow.log 2>&1; then
  tail -n 80 build-windows/workflow.log
  echo "windows leg failed; the whole log is build-windows/workflow.log"
  exit 1
fi
grep -E '^[0-9]+% tests passed' build-windows/workflow.log
# The archive of what to ship holds the module and _dll.dll side by side.
(cd build-windows && cpack -G ZIP) >>build-windows/workflow.log 2>&1 || { tail -n 20 build-windows/workflow.log; exit 1; }
shipped=$(cmake -E tar tf build-windows/zep00001-*-win64.zip)
for file in PKG_ZEP00001.dll _dll.dll; do
  grep -q "/bin/$file\$" <<<"$shipped" || { echo "windows leg: the archive lacks bin/$file"; exit 1; }
done
echo "windows leg: $((SECONDS - start)) s"
