#!/usr/bin/env bash
# Usage: make_dist.sh PRODUCT_BUILD_DIR OUTPUT_DIR [DRIVER_PACKAGE]
# Packs the release medium QB7_LX450-<version>.zip: the stripped program at the root and the
# four driver folders. DRIVER_PACKAGE is a folder holding Driver\Win2000_WinXP, Driver\WinXP_64,
# Driver\Vista_32 and Driver\Vista_64; without it the sample package of our own goes in, which
# is for trying the program, not for installing a real adapter.
set -euo pipefail
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
package=${3:-$build/medium}
version=1.0.0.1
folders=(Win2000_WinXP WinXP_64 Vista_32 Vista_64)

for folder in "${folders[@]}"; do
  [ -d "$package/Driver/$folder" ] || { echo "missing $package/Driver/$folder" >&2; exit 1; }
done

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$build/ui/QB7_LX450.exe" "$stage/"
i686-w64-mingw32-strip "$stage/QB7_LX450.exe"
for folder in "${folders[@]}"; do
  mkdir -p "$stage/Driver/$folder"
  cp -R "$package/Driver/$folder/." "$stage/Driver/$folder/"
done
# Windows tools read INF and text files; give them CRLF line endings whatever the source had.
find "$stage" -type f \( -iname '*.inf' -o -iname '*.txt' -o -iname '*.ini' \) \
  -exec sed -i 's/\r*$/\r/' {} +

zip_file=$out/QB7_LX450-$version.zip
rm -f "$zip_file"
(cd "$stage" && TZ=UTC zip -q -X -r "$zip_file" QB7_LX450.exe Driver)
echo "$zip_file"
