# One Windows leg, of the width its preset builds: run by windows.sh and
# windows32.sh as
#   windows-leg.bash PRESET ARCHIVE-SUFFIX SHIPPED-DLL...
# It installs what the preset needs, builds and tests under Wine, and checks
# that the archive of what to ship (zep00001-<version>-<suffix>.zip) holds
# each SHIPPED-DLL under bin/. Where the .NET SDK is, it then has the main
# build (build/) pack the NuGet package with this build's runtime DLLs beside
# the Linux libraries and those of a Windows build packed before, and checks
# that the package holds each SHIPPED-DLL under runtimes/<rid>/native/.
set -euo pipefail
source "$(dirname "$0")/skip.bash"
preset=$1
suffix=$2
shift 2
cd "$(dirname "$0")/../.."

tools/setup "$preset"

start=$SECONDS
build=build-$preset
mkdir -p "$build"
if ! cmake --workflow --preset "$preset" >"$build/workflow.log" 2>&1; then
  tail -n 80 "$build/workflow.log"
  echo "$preset leg failed; the whole log is $build/workflow.log"
  exit 1
fi
grep -E '^[0-9]+% tests passed' "$build/workflow.log"
(cd "$build" && cpack -G ZIP) >>"$build/workflow.log" 2>&1 || { tail -n 20 "$build/workflow.log"; exit 1; }
shipped=$(cmake -E tar tf "$build"/zep00001-*-"$suffix".zip)
for file in "$@"; do
  grep -q "/bin/$file\$" <<<"$shipped" || { echo "$preset leg: the archive lacks bin/$file"; exit 1; }
done

if command -v dotnet >/dev/null; then
  case $suffix in
    win64) rid=win-x64 setting=ZEP_NUGET_WIN_X64 ;;
    win32) rid=win-x86 setting=ZEP_NUGET_WIN_X86 ;;
  esac
  runtime=$PWD/$build/runtime
  rm -rf "$runtime"
  if ! { cmake --install "$build" --component runtime --prefix "$runtime" &&
    cmake --preset default -D$setting="$runtime/bin" && cmake --build build --target packages_nuget; } \
    >>"$build/workflow.log" 2>&1; then
    tail -n 40 "$build/workflow.log"
    echo "$preset leg: the NuGet package was not packed"
    exit 1
  fi
  # The runtime package alone: Zep00001.Demo.* stands beside it.
  packed=$(cmake -E tar tf build/packages/Zep00001.[0-9]*.nupkg)
  for file in "${@/#/$rid/native/}" linux-x64/native/libzep00001_c.so; do
    grep -q "^runtimes/$file\$" <<<"$packed" || { echo "$preset leg: the NuGet package lacks runtimes/$file"; exit 1; }
  done
else
  skip_part "$preset" "packing the NuGet package: no dotnet (the .NET SDK) on this machine"
fi
echo "$preset leg: $((SECONDS - start)) s"
