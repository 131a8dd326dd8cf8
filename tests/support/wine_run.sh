#!/usr/bin/env bash
# Usage: wine_run.sh PREFIX PROGRAM [ARGS...]
# Runs a Windows program in the given Wine prefix, creating the prefix on first use (once, even
# when several tests start together). A prefix folder whose name ends in 32 is a 32-bit Windows,
# any other a 64-bit one. Quiet: no debug output, no Mono or Gecko prompts. A case that CTest
# runs on a slot of its own gets that slot's prefix and display (wine_slot.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_slot.sh"
prefix=$(wine_slot_prefix "$1")
shift
display=$(wine_slot_display)
[ -n "$display" ] && export DISPLAY=$display

arch=win64
[[ $prefix == *32 ]] && arch=win32
export WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
loader=$("$here/wine_loader.sh" "$arch")

# The prefix's settings, one step after another; false at the first that fails, named in
# `failed`.
prepare_prefix() {
  "$loader" wineboot -i >/dev/null 2>&1 || true
  # A fresh prefix has no "Courier New" or "MS Sans Serif"; map them to metric-compatible fonts.
  # Wine's message boxes and captions ask for Tahoma, which falls back to Liberation Sans unless
  # a Japanese font below is nearer; that would draw a backslash as a yen sign.
  # The Japanese, Chinese and Korean dialog fonts, by the fonts tools/install-deps.sh installs:
  # monospaced for the program's templates, and for the fonts Wine links its own message box and
  # caption font to for those scripts.
  local fonts='HKCU\Software\Wine\Fonts\Replacements' face
  for face in "Courier New=Liberation Mono" "MS Sans Serif=Liberation Sans" \
    "Tahoma=Liberation Sans" "MS Gothic=IPAGothic" "NSimSun=WenQuanYi Zen Hei Mono" \
    "MingLiU=WenQuanYi Zen Hei Mono" "GulimChe=NanumGothicCoding" "MS UI Gothic=IPAPGothic" \
    "SimSun=WenQuanYi Zen Hei" "PMingLiU=WenQuanYi Zen Hei" "Gulim=NanumGothicCoding"; do
    failed="the font replacement for ${face%%=*}"
    "$loader" reg add "$fonts" /v "${face%%=*}" /d "${face#*=}" /f >/dev/null 2>&1 || return 1
  done
  # Caption buttons are glyphs of Wine's Marlett font (Debian's fonts-wine). This Wine does not
  # load the fonts of its own data folder, only those of the prefix's Fonts folder; without it
  # every close box shows a stray "r".
  local marlett=/usr/share/wine/fonts/marlett.ttf
  failed="copying Marlett"
  [ ! -f "$marlett" ] || cp "$marlett" "$prefix/drive_c/windows/Fonts/" || return 1
  "$(dirname "$loader")/wineserver" -w 2>/dev/null || true
}

# Once in a while a step of a prefix being made fails for no reason of its own; the prefix is
# made again once from where it stands, after its server has ended, before a case fails for it.
make_prefix() {
  [ -f "$prefix/.qb7-ready" ] && return
  mkdir -p "$prefix"
  local try failed=""
  for try in 1 2; do
    if prepare_prefix; then
      touch "$prefix/.qb7-ready"
      return
    fi
    echo "wine_run.sh: making $prefix failed at $failed (try $try of 2)" >&2
    "$(dirname "$loader")/wineserver" -k 2>/dev/null || true
  done
  return 1
}

mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
make_prefix
flock -u 9
# A server that outlives each program spares every test the start of Wine's services. It lasts
# until tools/stop_wine.sh ends it (tools/with_display.sh does, after the run): one that timed
# out after a quiet spell would leave a test to meet it just ending, or to wait for a new one and
# its services. Prefix creation above waits out the servers of its own tools, so the first test
# starts this one. It is started here, away from the caller's output pipes: a test runner waits
# for those to close.
if "$(dirname "$loader")/wineserver" -p </dev/null >/dev/null 2>&1; then
  "$loader" cmd /c exit </dev/null >/dev/null 2>&1 || true
fi
# A program that ends at once with an error status prints nothing of its own: say it here.
started=$(date +%s%N)
status=0
"$loader" "$@" || status=$?
if [ $status -ne 0 ]; then
  echo "wine_run.sh: $(basename "$1") ended with status $status after" \
    "$(( ($(date +%s%N) - started) / 1000000 )) ms" >&2
fi
exit $status
