#!/usr/bin/env bash
# Usage: make_dist.sh PRODUCT_BUILD_DIR OUTPUT_DIR [DRIVER_PACKAGE]
# Makes the release medium from a product build: checks the driver package, then writes to
# OUTPUT_DIR the program QB7_LX450.exe (signed when asked, then its signature alone beside it as
# QB7_LX450.exe.sig), the medium as QB7_LX450-<version>.zip and as a CD image
# QB7_LX450-<version>.iso with AutoPlay, and SHA256SUMS over those. DRIVER_PACKAGE is a folder
# holding Driver\Win2000_WinXP, Driver\WinXP_64, Driver\Vista_32 and Driver\Vista_64; without
# it the sample package of our own goes in, which is for trying the program, not for installing
# a real adapter. Every file of the package goes on the medium as it is, byte for byte, under
# its own name: its catalogs sign those bytes. Both media are read back and compared with the
# package before they count. All or nothing: the files are made in a staging folder and moved to
# OUTPUT_DIR once all are done; a refusal or failure leaves no medium there, not even an
# earlier one.
#
# Signing (Authenticode, SHA-256): SIGN_CERT and SIGN_KEY (PEM), or SIGN_PKCS12, or a key on a
# token (SIGN_PKCS11_MODULE, SIGN_KEY and SIGN_CERT as medium/sign.sh says); SIGN_PASS
# unlocks the key, SIGN_URL is the vendor's address shown with the signature, TIMESTAMP_URL an
# RFC 3161 time stamp server (none without it: the signing time is then SOURCE_DATE_EPOCH),
# SIGN_CAFILE the certificate authority the program's signature is verified against when it is
# not among the system's. A signed medium is a release: the sample's stand-in installers are
# refused on it. The package's catalogs are judged as Windows judges them; CATALOG_CAFILE adds
# authorities to the roots Windows trusts for code signing, which the check carries.
#
# The same sources give the same bytes: every date on the medium is SOURCE_DATE_EPOCH, by
# default the time of the last commit.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd -- "$1" && pwd)
mkdir -p -- "$2"
out=$(cd -- "$2" && pwd)
package=${3:-$build/medium}
version=1.0.0.1
program=QB7_LX450.exe
zip_file=QB7_LX450-$version.zip
iso_file=QB7_LX450-$version.iso
volume_label=QB7_LX450
signature=$program.sig
medium_files=("$program" "$signature" "$zip_file" "$iso_file" SHA256SUMS)

# A refused package leaves no medium of an earlier run behind to be taken for this one.
for file in "${medium_files[@]}"; do
  rm -f -- "$out/$file"
done
release=()
[ -n "${SIGN_PKCS12:-}${SIGN_CERT:-}${SIGN_KEY:-}${SIGN_PKCS11_MODULE:-}" ] &&
  release=(--release)
# The check's report for machines goes beside OUTPUT_DIR (build/package-report.json), also when
# the package is refused.
"$here/check_package.py" "${release[@]}" --report "$(dirname -- "$out")/package-report.json" \
  -- "$package"
"$here/sign.sh" --check
package=$(cd -- "$package" && pwd)

if [ -z "${SOURCE_DATE_EPOCH:-}" ] &&
  ! SOURCE_DATE_EPOCH=$(git -C "$here" log -1 --format=%ct 2>/dev/null); then
  echo "not a git checkout: set SOURCE_DATE_EPOCH to the release time (seconds since 1970)" >&2
  exit 1
fi
# File names are UTF-8 whatever the caller's locale.
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C.UTF-8

# In OUTPUT_DIR, so that the finished files move there by renaming.
stage=$(mktemp -d "$out/.staging-XXXXXX")
trap 'rm -rf -- "$stage"' EXIT
medium=$stage/medium
made=$stage/made
mkdir -p "$medium" "$made"

# The build links the program stripped already; strip would stamp the time into it again.
cp "$build/ui/$program" "$made/$program"
"$here/sign.sh" "$made/$program"
cp "$made/$program" "$medium/"
# The four folders as the package spells them; links inside the package become what they point
# to (the check refused any that lead out of it).
"$here/package_tree.py" "$package" "$medium"
# The one file of the medium the builder writes itself; Windows reads it with CRLF line ends.
printf '%s\r\n' '[AutoRun]' "open=$program" "icon=$program,0" "label=$volume_label" \
  >"$medium/autorun.inf"

# What the archive and the image record besides the bytes: modes and dates, in name order.
find "$medium" -type d -exec chmod 755 {} +
find "$medium" -type f -exec chmod 644 {} +
find "$medium" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

"$here/medium_zip.py" "$medium" "$made/$zip_file"

iso_date=$(date -d "@$SOURCE_DATE_EPOCH" +%Y%m%d%H%M%S00)
# Every date given here; xorriso would only note SOURCE_DATE_EPOCH besides. Names are read as
# UTF-8, so that Joliet gets them whole. A warning (a name or path Joliet cannot hold, left out
# or cut) fails the image; its banner and notes are shown only then.
if ! log=$(env -u SOURCE_DATE_EPOCH xorriso -no_rc -report_about WARNING \
  -return_with WARNING 32 -local_charset UTF-8 -outdev "$made/$iso_file" -volid "$volume_label" \
  -joliet on -rockridge off \
  -volume_date c "=$SOURCE_DATE_EPOCH" -volume_date m "=$SOURCE_DATE_EPOCH" \
  -volume_date uuid "$iso_date" -volume_date all_file_dates "=$SOURCE_DATE_EPOCH" \
  -map "$medium" / -commit 2>&1); then
  echo "$log" >&2
  echo "the CD image could not be made: no medium written" >&2
  exit 1
fi

if ! "$here/medium_readback.py" "$package" "$medium" "$made/$zip_file" "$made/$iso_file"; then
  echo "the medium does not read back as the package: no medium written" >&2
  exit 1
fi

written=("$program" "$zip_file" "$iso_file")
[ -e "$made/$signature" ] && written+=("$signature")
(cd "$made" && sha256sum "${written[@]}" >SHA256SUMS)
for file in "${written[@]}" SHA256SUMS; do
  mv -- "$made/$file" "$out/$file"
  echo "$out/$file"
done
