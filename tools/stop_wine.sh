#!/usr/bin/env bash
# Usage: stop_wine.sh BUILD_DIR — ends whatever the build tree's Wine prefix left running.
prefix=$1/wine/prefix64
[ -d "$prefix" ] || exit 0
WINEPREFIX=$prefix "$(dirname "$("$(dirname "$0")/../tests/support/wine_loader.sh")")/wineserver" -k 2>/dev/null
exit 0
