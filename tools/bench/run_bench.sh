#!/usr/bin/env bash
# Usage: run_bench.sh BUILD_DIR PRODUCT_BUILD_DIR OUTPUT_FILE
# Runs the benchmark under Wine (on a virtual display when there is none) and writes its table.
set -euo pipefail
build=$(cd "$1" && pwd)
product=$(cd "$2" && pwd)
output=$3
here=$(cd "$(dirname "$0")" && pwd)
run=("$here/../../tests/support/wine_run.sh" "$build/wine/prefix64")
bench=("${run[@]}" "$build/tools/bench/bench.exe" "$build/medium/QB7_LX450.exe"
       "$build/tools/bench/bare_dialog.exe" "$build/medium")

report_version() {
  "${run[@]}" reg add 'HKCU\Software\Wine\AppDefaults\QB7_LX450.exe' /v Version /d "$1" /f \
    >/dev/null
}

{
  echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores of" \
       "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(/usr/lib/wine/wine64 --version 2>/dev/null || wine --version)."
  echo "Program measured: $(file -b "$build/medium/QB7_LX450.exe" | cut -d, -f1)."
  echo
  echo "| file | bytes |"
  echo "|---|---|"
  /usr/bin/python3 "$here/exe_size.py" "$product/ui/QB7_LX450.exe" | sed 's/^| exe size/| shipped exe (i686, stripped)/'
  echo "| bare dialog baseline (i686, same toolchain, templates, icon, banner) | $(stat -c %s "$product/tools/bench/bare_dialog.exe") bytes |"
  echo
  echo "| figure | median | min | max | runs |"
  echo "|---|---|---|---|---|"
  report_version win7
  "${bench[@]}" startup
  "${bench[@]}" latency "elevated road (Vista family)" 1000 8
  "${bench[@]}" wait "elevated road" 10000 3
  report_version winxp
  "${bench[@]}" latency "direct road (2000/XP family)" 0 8
} | tee "$output"
