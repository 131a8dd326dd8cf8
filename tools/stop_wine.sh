#!/usr/bin/env bash
# Usage: stop_wine.sh BUILD_DIR — ends whatever the build tree's Wine prefixes left running,
# those of every slot (tests/support/wine_slot.sh) included.
here=$(cd "$(dirname "$0")" && pwd)
for prefix in "$1"/wine/prefix{64,32} "$1"/wine/slot*/prefix{64,32}; do
  [ -d "$prefix" ] || continue
  prefix=$(cd "$prefix" && pwd)
  arch=win64
  [[ $prefix == *32 ]] && arch=win32
  loader=$("$here/../tests/support/wine_loader.sh" "$arch")
  WINEPREFIX=$prefix "$(dirname "$loader")/wineserver" -k 2>/dev/null
done
exit 0
