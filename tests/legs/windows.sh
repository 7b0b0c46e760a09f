#!/usr/bin/env bash
# Windows leg: the same sources cross-built with MinGW-w64 for x86-64 into
# build-windows/ (PKG_ZEP00001.dll, _dll.dll, zep00001_c.dll, the .bpl test
# packages), the suite run under Wine in a prefix of that build's own, and
# the archive of what to ship checked.
set -euo pipefail
exec bash "$(dirname "$0")/windows-leg.bash" windows win64 PKG_ZEP00001.dll _dll.dll zep00001_c.dll
