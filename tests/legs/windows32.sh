#!/usr/bin/env bash
# 32-bit Windows leg: the same sources cross-built for i686 into
# build-windows32/, the suite run under 32-bit Wine in a prefix of that
# build's own, and the archive of what to ship checked: the 32-bit build
# ships the shared unwinder's DLLs beside its own. Skipped where the kernel
# runs no 32-bit programs, since 32-bit Wine is one.
set -euo pipefail
source "$(dirname "$0")/skip.bash"
if ! reason=$(runs_32bit_programs); then
  skip_leg windows32 "this machine's kernel runs no 32-bit programs ($reason), and 32-bit Wine is one"
fi
exec bash "$(dirname "$0")/windows-leg.bash" windows32 win32 PKG_ZEP00001.dll _dll.dll \
  zep00001_c.dll libgcc_s_dw2-1.dll libwinpthread-1.dll
