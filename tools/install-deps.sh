#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the sample run need, and the Japanese
# locale, in which Wine uses the double-byte code page 932.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

packages=(
  cmake make g++ g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-tools
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  googletest wine wine32:i386 wine64 xvfb x11-utils xdotool xauth imagemagick icoutils
  fonts-liberation fonts-wine locales python3 python3-pefile python3-asn1crypto osslsigncode
  xorriso openssl
  clang-14 libclang-rt-14-dev llvm-14 cppcheck clang-format-14
)

locale=ja_JP.UTF-8

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  $sudo sed -i "s/^# *\($locale UTF-8\)/\1/" /etc/locale.gen
  grep -q "^$locale UTF-8" /etc/locale.gen || echo "$locale UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi
