#!/usr/bin/env bash
# tools/setup evaluates no purpose it is given: under BASH_COMPAT=51, where a
# subscript is expanded twice, a purpose '$(touch X)' is refused as a wrong
# argument and creates nothing.
set -u
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
BASH_COMPAT=51 "$1" '$(touch X)' >/dev/null 2>&1
status=$?
if [[ -e X ]]; then
  echo "tools/setup ran the command in its argument"
  exit 1
fi
if ((status != 64)); then
  echo "tools/setup exited with $status, not 64"
  exit 1
fi
