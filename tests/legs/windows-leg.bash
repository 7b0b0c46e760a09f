# One Windows leg, of the width its preset builds: run by windows.sh and
# windows32.sh as
#   windows-leg.bash PRESET ARCHIVE-SUFFIX SHIPPED-DLL...
# It installs what the preset needs, builds and tests under Wine, and checks
# that the archive of what to ship (zep00001-<version>-<suffix>.zip) holds
# each SHIPPED-DLL under bin/.
set -euo pipefail
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
echo "$preset leg: $((SECONDS - start)) s"
