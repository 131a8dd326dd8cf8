#!/usr/bin/env bash
# Usage: stop_wine.sh BUILD_DIR — ends whatever the build tree's Wine prefix left running.
[ -d "$1/wine/prefix64" ] || exit 0
prefix=$(cd "$1/wine/prefix64" && pwd)
loader=$("$(dirname "$0")/../tests/support/wine_loader.sh")
WINEPREFIX=$prefix "$(dirname "$loader")/wineserver" -k 2>/dev/null
exit 0
