#!/usr/bin/env bash
# The cases of windows_trust_tests, made on the Unix side as Wine shows them:
# a file of another user has the owner S-1-5-7, mode o+w an allow entry for
# Everyone. Run before the tests, on the build machine:
#   trust_cases.sh CASES PACKAGES PACKAGE DEPENDENT DEPENDENCY ABSENT DELAYED
# CASES is made afresh; PACKAGES is the tree's test packages; PACKAGE an
# answering package's file, DEPENDENT the file of a package that needs the
# library DEPENDENCY (in PACKAGES/beside) or ABSENT (in PACKAGES/unreachable),
# or loads DELAYED at its first call (in PACKAGES/delayed), and of a
# PACKAGE with an entry forwarded to DELAYED (PACKAGES/forwarding).
set -euo pipefail
cases=$1 packages=$2 package=$3 dependent=$4 dependency=$5 absent=$6 delayed=$7
rm -rf "$cases"
mkdir -p "$cases"
chmod 755 "$cases"
# A copy of the answering package in each of these directories.
for name in own file-everyone file-other dir-everyone dir-other held open-real; do
  mkdir -m 755 "$cases/$name"
  cp "$packages/answering/$package" "$cases/$name/"
done
chmod o+w "$cases/file-everyone/$package" "$cases/dir-everyone" "$cases/open-real"
# Wine shows a Unix symbolic link as the file it leads to.
mkdir -m 755 "$cases/link" "$cases/link-open"
ln -s "$cases/own/$package" "$cases/link/$package"
ln -s "$cases/open-real/$package" "$cases/link-open/$package"
# The package that needs a library beside it.
for name in beside beside-everyone beside-other; do
  mkdir -m 755 "$cases/$name"
  cp "$packages/beside/$dependent" "$packages/beside/$dependency" "$cases/$name/"
done
chmod o+w "$cases/beside-everyone/$dependency"
# A package whose library is only where the loader must not look: on PATH
# and in the current directory.
mkdir -m 755 "$cases/planted" "$cases/on-path" "$cases/current"
cp "$packages/broken/$dependent" "$cases/planted/"
cp "$packages/unreachable/$absent" "$cases/on-path/"
cp "$packages/unreachable/$absent" "$cases/current/"
# A package that loads its library by name at its first call: with the
# library beside it, and with it only where Windows's search would find it.
mkdir -m 755 "$cases/delayed" "$cases/delayed-planted" "$cases/forwarded-planted"
cp "$packages/delayed/$dependent" "$packages/delayed/$delayed" "$packages/forwarding/$package" \
  "$cases/delayed/"
cp "$packages/delayed/$dependent" "$cases/delayed-planted/"
cp "$packages/forwarding/$package" "$cases/forwarded-planted/"
cp "$packages/delayed/$delayed" "$cases/on-path/"
cp "$packages/delayed/$delayed" "$cases/current/"
# Trace directories: one only its owner may write, one everybody may.
mkdir -m 755 "$cases/trace-own"
mkdir -m 777 "$cases/trace-open"
# Giving files away takes root; without it those tests say they are skipped.
if ! chown 65534 "$cases/file-other/$package" "$cases/dir-other" \
  "$cases/beside-other/$dependency" 2>/dev/null; then
  touch "$cases/no-chown"
fi
