#!/usr/bin/env bash
# Usage: debian12_osslsigncode.sh FOLDER
# Unpacks Debian 12's own osslsigncode (2.5) below FOLDER (FOLDER/usr/bin/osslsigncode), so the
# signing tests can run it on a machine that has a newer one installed. Where apt offers no 2.5
# or cannot fetch it, FOLDER stays empty and says why in FOLDER/unavailable: the tests skip
# with that reason. Installs nothing.
set -uo pipefail
folder=$1
program=$folder/usr/bin/osslsigncode

unavailable() {
  echo "$*" >"$folder/unavailable"
  echo "debian12_osslsigncode.sh: $*" >&2
  exit 0
}

[ -x "$program" ] && "$program" --version 2>/dev/null | grep -q '^osslsigncode 2\.5' && exit 0
rm -rf "$folder"
mkdir -p "$folder"
version=$(apt-cache madison osslsigncode 2>/dev/null | awk '$3 ~ /^2\.5-/ { print $3; exit }')
[ -n "$version" ] ||
  unavailable "apt offers no osslsigncode 2.5 (apt-cache madison osslsigncode; run apt-get update)"
download=$(mktemp -d)
trap 'rm -rf "$download"' EXIT
(cd "$download" && apt-get download -q "osslsigncode=$version") >"$download/log" 2>&1 ||
  unavailable "apt-get download osslsigncode=$version failed: $(tail -1 "$download/log")"
dpkg-deb -x "$download"/osslsigncode_*.deb "$folder" ||
  unavailable "dpkg-deb could not unpack osslsigncode $version"
"$program" --version >/dev/null 2>&1 ||
  unavailable "osslsigncode $version from Debian 12 does not run here"
