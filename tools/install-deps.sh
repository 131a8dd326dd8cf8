#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the sample run need, and the locales of
# the program's languages: Wine takes its code page and UI language from the locale a program is
# started in (Japanese: the double-byte code page 932), and falls back to English without it.
# Idempotent: when everything is present it only checks and returns.
#
# A package mirror in the middle of a sync serves an index that does not match its release file
# for a while. Then `apt-get update` is tried again a few times, the install goes ahead with the
# indexes apt has, and if it still cannot, the script says in one line that the mirror is the
# cause, rather than leaving apt's list of broken dependencies.
set -euo pipefail

packages=(
  cmake make g++ g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-tools
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  googletest wine wine32:i386 wine64 xvfb x11-utils xdotool xauth imagemagick icoutils
  fonts-liberation fonts-wine locales python3 python3-pefile python3-asn1crypto python3-cryptography osslsigncode
  xorriso openssl
  # Signing with a key on a token (the engine osslsigncode and openssl use, p11tool to read a
  # certificate there), and the tests' own token.
  libengine-pkcs11-openssl gnutls-bin softhsm2 opensc
  clang-14 libclang-rt-14-dev llvm-14 cppcheck clang-format-14
  # Stand-ins for the Japanese, Chinese and Korean dialog fonts (MS Gothic, NSimSun, MingLiU,
  # GulimChe), monospaced as they are; the test prefixes name them as replacements.
  fonts-ipafont-gothic fonts-wqy-zenhei fonts-nanum-coding
)

locales=(de_DE fr_FR es_ES pt_BR ru_RU ja_JP zh_CN zh_TW ko_KR)
update_tries=3
update_pause=15

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Fills failed_suites with the suites (the folder below dists/) whose index the last update
# could not fetch, and failed_urls with those indexes.
failed_suites=()
failed_urls=()
update_indexes() {
  local try
  for ((try = 1; try <= update_tries; try++)); do
    if $sudo apt-get update -qq 2>"$work/update.err"; then
      failed_suites=() failed_urls=()
      return 0
    fi
    mapfile -t failed_urls < <(grep -o 'Failed to fetch [^ ]*' "$work/update.err" | cut -d' ' -f4)
    mapfile -t failed_suites < <(printf '%s\n' "${failed_urls[@]}" |
      sed -n 's|.*/dists/\([^/]*\)/.*|\1|p' | sort -u)
    if ((try < update_tries)); then
      echo "install-deps.sh: apt-get update failed (try $try of $update_tries);" \
        "trying again in $update_pause s" >&2
      sleep "$update_pause"
    fi
  done
  echo "install-deps.sh: some package indexes could not be fetched, going on with those apt has:" \
    "${failed_urls[*]:-(apt names them below)}" >&2
  cat "$work/update.err" >&2
}

install_packages() {
  $sudo apt-get install -y -qq --no-install-recommends "$@" "${missing[@]}" \
    >"$work/install.log" 2>&1
}

# A suite whose index for one architecture is missing still offers its newer versions for the
# other, and a library of both architectures must have one version: the i386 twin of an amd64
# library from that suite cannot be found. Leaving such suites out for this install keeps both
# architectures on the versions the complete indexes hold.
install_without_failed_suites() {
  local suite preferences=$work/preferences
  : >"$preferences"
  for suite in "${failed_suites[@]}"; do
    printf 'Package: *\nPin: release n=%s\nPin-Priority: -1\n\n' "$suite" >>"$preferences"
    printf 'Package: *\nPin: release a=%s\nPin-Priority: -1\n\n' "$suite" >>"$preferences"
  done
  echo "install-deps.sh: installing without the suites whose index failed: ${failed_suites[*]}" >&2
  install_packages -o Dir::Etc::Preferences="$preferences" -o Dir::Etc::PreferencesParts=/nonexistent
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  update_indexes
  if ! install_packages && ! { [ ${#failed_suites[@]} -gt 0 ] && install_without_failed_suites; }; then
    if [ ${#failed_urls[@]} -gt 0 ] && ! grep -q 'Unable to locate package' "$work/install.log"; then
      echo "install-deps.sh: apt could not install ${missing[*]}: the package mirror did not" \
        "serve ${failed_urls[*]} (a mirror in the middle of a sync, not a fault of this project);" \
        "run the command again later. apt's output: $work/install.log" >&2
      trap - EXIT
    else
      cat "$work/install.log" >&2
      echo "install-deps.sh: apt could not install ${missing[*]} (its output is above)" >&2
    fi
    exit 1
  fi
fi

missing_locales=()
for name in "${locales[@]}"; do
  locale -a 2>/dev/null | grep -qix "$name.utf8" || missing_locales+=("$name")
done
if [ ${#missing_locales[@]} -gt 0 ]; then
  for name in "${missing_locales[@]}"; do
    $sudo sed -i "s/^# *\($name.UTF-8 UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$name.UTF-8 UTF-8" /etc/locale.gen || echo "$name.UTF-8 UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
  done
  $sudo locale-gen >/dev/null
fi
