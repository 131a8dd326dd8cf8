#!/usr/bin/env bash
# Usage: reproducible_test.sh SOURCE_DIR
# Builds the release medium twice from copies of SOURCE_DIR's working tree as it is, changes
# not yet committed included (over a clone, whose last commit dates the medium), in two folders,
# one after the other. The second has another time zone, umask and locale, and takes the first
# build's sample package through `make dist DRIVER_PACKAGE=` from a path with spaces and shell
# characters. The unsigned program, the zip and the CD image must be the same bytes. Exits 77
# (skipped) when a tool is missing or SOURCE_DIR is not a git checkout.
set -euo pipefail
source=$(cd "$1" && pwd)
for tool in git xorriso; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is missing (Debian package $tool)"
    exit 77
  fi
done
if ! commit=$(git -C "$source" rev-parse --short HEAD 2>/dev/null); then
  echo "skipped: $source is not a git checkout, so there is no commit to clone"
  exit 77
fi
scratch=$(mktemp -d "${TMPDIR:-/tmp}/qb7-reproducible-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
# Nothing of the calling make or of a signing setup reaches the two builds.
unset MAKEFLAGS MFLAGS MAKELEVEL SOURCE_DATE_EPOCH SIGN_CERT SIGN_KEY SIGN_PKCS12 SIGN_PKCS11_MODULE \
  SIGN_PASS SIGN_URL TIMESTAMP_URL

# Untracked files that git does not ignore come along; files deleted in the tree are deleted.
copy_working_tree() {
  local clone=$1
  git clone -q "$source" "$clone"
  (cd "$source" && git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' file; do
      if [ -e "$file" ] || [ -L "$file" ]; then printf '%s\0' "$file"; fi
    done | xargs -0 -r cp -P --parents -t "$clone")
  (cd "$source" && git ls-files -z --deleted) | (cd "$clone" && xargs -0 -r rm -f --)
}

build_medium() {
  local clone=$1
  shift
  copy_working_tree "$clone"
  if ! (cd "$clone" && make dist JOBS=2 "$@") >"$clone.log" 2>&1; then
    cat "$clone.log"
    echo "make dist failed in $clone"
    return 1
  fi
  echo "built at $(date -u +%H:%M:%S) in $clone"
}

changes=$(git -C "$source" status --porcelain | wc -l)
echo "working tree of $source: commit $commit and $changes changed or new files"
build_medium "$scratch/first"
package="$scratch/sample's package & (copy)"
cp -R "$scratch/first/build/product/medium" "$package"
(umask 027 && export TZ=Pacific/Auckland LC_ALL=C.UTF-8 &&
  build_medium "$scratch/second/other-place" DRIVER_PACKAGE="$package")

status=0
for file in QB7_LX450.exe QB7_LX450-1.0.0.1.zip QB7_LX450-1.0.0.1.iso SHA256SUMS; do
  if cmp -s "$scratch/first/build/dist/$file" "$scratch/second/other-place/build/dist/$file"; then
    echo "same: $file"
  else
    echo "DIFFERENT: $file"
    status=1
  fi
done
exit $status
