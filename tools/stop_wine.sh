#!/usr/bin/env bash
# Usage: stop_wine.sh BUILD_DIR — ends whatever the build tree's Wine prefixes left running.
here=$(cd "$(dirname "$0")" && pwd)
for arch in 64 32; do
  [ -d "$1/wine/prefix$arch" ] || continue
  prefix=$(cd "$1/wine/prefix$arch" && pwd)
  loader=$("$here/../tests/support/wine_loader.sh" "win$arch")
  WINEPREFIX=$prefix "$(dirname "$loader")/wineserver" -k 2>/dev/null
done
exit 0
