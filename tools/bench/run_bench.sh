#!/usr/bin/env bash
# Usage: run_bench.sh BUILD_DIR PRODUCT_BUILD_DIR OUTPUT_FILE
# Runs the benchmark under Wine (on a virtual display when there is none) and writes its table.
set -euo pipefail
build=$(cd "$1" && pwd)
product=$(cd "$2" && pwd)
output=$3
here=$(cd "$(dirname "$0")" && pwd)
device='HKLM\System\CurrentControlSet\Enum\USB\VID_0B95&PID_7720\QB7BENCH'

# in_prefix ARCH COMMAND...: runs a Windows program of the build in its 64- or 32-bit prefix.
in_prefix() {
  local arch=$1
  shift
  "$here/../../tests/support/wine_run.sh" "$build/wine/prefix$arch" "$@"
}

bench() {
  in_prefix "$1" "$build/tools/bench/bench.exe" "$build/medium/QB7_LX450.exe" \
    "$build/tools/bench/bare_dialog.exe" "$build/medium" "${@:2}"
}

report_version() {
  in_prefix "$1" reg add 'HKCU\Software\Wine\AppDefaults\QB7_LX450.exe' /v Version /d "$2" /f \
    >/dev/null
}

# A device node the sample package serves, which Wine lists among the present devices.
plug_in() {
  in_prefix "$1" reg add "$device" /v HardwareID /t REG_MULTI_SZ /d 'USB\VID_0B95&PID_7720' /f \
    >/dev/null
  in_prefix "$1" reg add "$device" /v ClassGUID /d '{4d36e972-e325-11ce-bfc1-08002be10318}' /f \
    >/dev/null
}

unplug() { in_prefix "$1" reg delete "$device" /f >/dev/null 2>&1 || true; }

# Both roads, without and with the adapter: what the device check adds to the completion.
latencies() {
  local arch=$1 where=$2
  for adapter in none plugged; do
    [ $adapter = plugged ] && plug_in "$arch"
    report_version "$arch" win7
    bench "$arch" latency "elevated road (Vista family), $where, adapter $adapter" 1000 8
    report_version "$arch" winxp
    bench "$arch" latency "direct road (2000/XP family, INF check included), $where, adapter $adapter" 0 8
    unplug "$arch"
  done
}

{
  echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores of" \
       "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(/usr/lib/wine/wine64 --version 2>/dev/null || wine --version)."
  echo "Program measured: $(file -b "$build/medium/QB7_LX450.exe" | cut -d, -f1)."
  echo
  echo "| file | bytes |"
  echo "|---|---|"
  /usr/bin/python3 "$here/exe_size.py" "$product/ui/QB7_LX450.exe" | sed 's/^| exe size/| shipped exe (i686, stripped)/'
  echo "| bare dialog baseline (i686, same toolchain, templates, icon, banner) | $(stat -c %s "$build/tools/bench/bare_dialog.exe") bytes |"
  echo
  echo "| figure | median | min | max | runs |"
  echo "|---|---|---|---|---|"
  report_version 64 win7
  bench 64 startup
  bench 64 wait "elevated road" 10000 3
  latencies 64 "64-bit prefix"
  # Only an i686 build runs in a 32-bit prefix.
  if file -b "$build/tools/bench/bench.exe" | grep -q 'Intel 80386'; then
    latencies 32 "32-bit prefix"
  fi
} | tee "$output"
