#!/usr/bin/env bash
# Prints the Wine loader for 64-bit prefixes. Debian's /usr/bin/wine starts the 32-bit loader
# first, which fails outright on a kernel without 32-bit support, so the 64-bit one is named.
for candidate in /usr/lib/wine/wine64 /usr/lib/x86_64-linux-gnu/wine/wine64 "$(command -v wine64)"; do
  [ -n "$candidate" ] && [ -x "$candidate" ] && { echo "$candidate"; exit 0; }
done
command -v wine
