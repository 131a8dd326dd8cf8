#!/usr/bin/env bash
# Usage: wine_loader.sh [win64|win32] — prints the Wine loader for prefixes of that kind (win64
# when not said). Debian's /usr/bin/wine starts the 32-bit loader first, which fails outright on a
# kernel without 32-bit support, so a 64-bit prefix names the 64-bit one; it starts 32-bit
# programs under WOW64 through the 32-bit loader where that works.
if [ "${1:-win64}" = win32 ]; then
  candidates=(/usr/lib/wine/wine /usr/lib/i386-linux-gnu/wine/wine)
else
  candidates=(/usr/lib/wine/wine64 /usr/lib/x86_64-linux-gnu/wine/wine64 "$(command -v wine64)")
fi
for candidate in "${candidates[@]}"; do
  [ -n "$candidate" ] && [ -x "$candidate" ] && { echo "$candidate"; exit 0; }
done
command -v wine
