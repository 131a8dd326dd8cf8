#!/usr/bin/env bash
# Succeeds when 32-bit Wine can start on this machine. Some kernels have 32-bit support
# switched off; there even the loader itself fails with "Exec format error".
#   can_run_32bit.sh                 exit 0 or 1
#   can_run_32bit.sh --explain-skip  says why the 32-bit suites did not run, and exits 77
loader=/usr/lib/wine/wine
if [ "${1:-}" != --explain-skip ]; then
  [ -x "$loader" ] && timeout 20 "$loader" --version >/dev/null 2>&1
  exit
fi
if [ ! -x "$loader" ]; then
  echo "skipped: the 32-bit suites need 32-bit Wine ($loader, Debian's wine32:i386)"
elif error=$(timeout 20 "$loader" --version 2>&1 >/dev/null); then
  echo "skipped: this build is not the 32-bit one; make test TEST_ARCH=i686 runs the 32-bit suites"
else
  echo "skipped: this machine cannot run 32-bit x86 code, so 32-bit Wine does not start: $error"
fi
exit 77
