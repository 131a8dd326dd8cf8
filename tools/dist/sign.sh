#!/usr/bin/env bash
# Usage: sign.sh PROGRAM
# Signs PROGRAM in place with Authenticode (SHA-256) when the environment names a key, and does
# nothing otherwise: SIGN_CERT and SIGN_KEY (PEM) or SIGN_PKCS12, SIGN_PASS for the key's
# password, SIGN_URL for the vendor's address, TIMESTAMP_URL for an RFC 3161 time stamp server.
set -euo pipefail
program=$1
# What Windows shows as the program's name when it asks the user about the signed program.
description="QB7_LX450 Setup"

if [ -n "${SIGN_PKCS12:-}" ]; then
  key=(-pkcs12 "$SIGN_PKCS12")
elif [ -n "${SIGN_CERT:-}" ] || [ -n "${SIGN_KEY:-}" ]; then
  if [ -z "${SIGN_CERT:-}" ] || [ -z "${SIGN_KEY:-}" ]; then
    echo "signing needs both SIGN_CERT and SIGN_KEY (or SIGN_PKCS12)" >&2
    exit 1
  fi
  key=(-certs "$SIGN_CERT" -key "$SIGN_KEY")
else
  exit 0
fi

options=(-h sha256 -n "$description")
[ -n "${SIGN_URL:-}" ] && options+=(-i "$SIGN_URL")
[ -n "${TIMESTAMP_URL:-}" ] && options+=(-ts "$TIMESTAMP_URL")
# The password goes through a pipe, not the command line other users can read.
[ -n "${SIGN_PASS:-}" ] && options+=(-readpass /dev/stdin)

signed=$program.signed
osslsigncode sign "${key[@]}" "${options[@]}" -in "$program" -out "$signed" \
  <<<"${SIGN_PASS:-}" >/dev/null
mv "$signed" "$program"
echo "signed $(basename "$program") with $(basename "${SIGN_PKCS12:-$SIGN_CERT}")"
