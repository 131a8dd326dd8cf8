#!/usr/bin/env bash
# Usage: run_sample.sh BUILD_DIR
# Starts the program from the build's sample medium under Wine. With a display the user drives
# it; without one it walks the typical road on a virtual display, saves screenshots under
# build/run/ and prints what happened. QB7_WINDOWS_VERSION picks the reported system (win7).
set -euo pipefail
if [ -z "${DISPLAY:-}" ]; then
  exec "$(dirname "$0")/with_display.sh" "$1" env QB7_WALK=1 "$0" "$@"
fi

build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
run=("$here/../tests/support/wine_run.sh" "$build/wine/prefix64")
shots=$(dirname "$build")/run
log=$shots/installer.log
mkdir -p "$shots"
rm -f "$log" "$shots"/*.bmp "$shots"/*.png
trap '"$here/stop_wine.sh" "$build"' EXIT

"${run[@]}" reg add 'HKCU\Software\Wine\AppDefaults\QB7_LX450.exe' /v Version \
  /d "${QB7_WINDOWS_VERSION:-win7}" /f >/dev/null

if [ -z "${QB7_WALK:-}" ]; then
  cd "$build/medium"
  QB7_STANDIN_LOG="Z:${log//\//\\}" "${run[@]}" ./QB7_LX450.exe
  [ -f "$log" ] && echo "The installer stand-in recorded:" && cat "$log"
  exit 0
fi

"${run[@]}" "$build/tools/gui_driver/walk_sample.exe" "$build/medium/QB7_LX450.exe" "$shots" "$log"
for bmp in "$shots"/*.bmp; do
  /usr/bin/convert "$bmp" "${bmp%.bmp}.png" && echo "saved ${bmp%.bmp}.png"
done
