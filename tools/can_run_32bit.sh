#!/usr/bin/env bash
# Succeeds when 32-bit Wine can start on this machine. Some kernels have 32-bit support
# switched off; there even the loader itself fails with "Exec format error".
loader=/usr/lib/wine/wine
[ -x "$loader" ] && timeout 20 "$loader" --version >/dev/null 2>&1
