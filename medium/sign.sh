#!/usr/bin/env bash
# Usage: sign.sh --check | sign.sh PROGRAM
# Authenticode signing (SHA-256) when the environment names a key, nothing otherwise:
# SIGN_CERT and SIGN_KEY (PEM) or SIGN_PKCS12, SIGN_PASS for the key's password, SIGN_URL for the
# vendor's address, TIMESTAMP_URL for an RFC 3161 time stamp server, SIGN_CAFILE for the
# certificate authority to verify against when it is not among the system's.
# --check refuses, before anything is built, a certificate Windows would not accept for code:
# without the code-signing extended key usage, with a key usage that excludes digital signatures,
# outside its validity, or not matching the key.
# PROGRAM is signed in place, then its signature must verify.
set -euo pipefail
# What Windows shows as the program's name when it asks the user about the signed program.
description="QB7_LX450 Setup"
# The code-signing extended key usage (id-kp-codeSigning).
code_signing=1.3.6.1.5.5.7.3.3

refuse() {
  echo "signing refused: $*" >&2
  exit 1
}

signing_key() {
  if [ -n "${SIGN_PKCS12:-}" ]; then
    key=(-pkcs12 "$SIGN_PKCS12")
    certificate_file=$SIGN_PKCS12
  elif [ -n "${SIGN_CERT:-}" ] || [ -n "${SIGN_KEY:-}" ]; then
    if [ -z "${SIGN_CERT:-}" ] || [ -z "${SIGN_KEY:-}" ]; then
      refuse "signing needs both SIGN_CERT and SIGN_KEY (or SIGN_PKCS12)"
    fi
    key=(-certs "$SIGN_CERT" -key "$SIGN_KEY")
    certificate_file=$SIGN_CERT
  else
    return 1
  fi
}

# The password reaches openssl and osslsigncode through a pipe, never a command line other
# users can read.
certificate() {
  if [ -n "${SIGN_PKCS12:-}" ]; then
    openssl pkcs12 -in "$SIGN_PKCS12" -clcerts -nokeys -passin stdin <<<"${SIGN_PASS:-}"
  else
    openssl x509 -in "$SIGN_CERT"
  fi
}

public_key_of_key() {
  if [ -n "${SIGN_PKCS12:-}" ]; then
    openssl pkcs12 -in "$SIGN_PKCS12" -nocerts -nodes -passin stdin <<<"${SIGN_PASS:-}" |
      openssl pkey -pubout
  else
    openssl pkey -in "$SIGN_KEY" -pubout -passin stdin <<<"${SIGN_PASS:-}"
  fi
}

# The usages a DER certificate on standard input allows, one a line: "extended" and the
# identifier of each extended key usage, "key" and the name of each key usage. Identifiers, not
# names: "Microsoft Individual Code Signing" is not code signing.
key_usages() {
  /usr/bin/python3 -c '
import sys
from asn1crypto import x509
certificate = x509.Certificate.load(sys.stdin.buffer.read())
for usage in certificate.extended_key_usage_value or []:
    print("extended", usage.dotted)
for usage in sorted(certificate.key_usage_value.native if certificate.key_usage_value else []):
    print("key", usage)'
}

check_certificate() {
  local pem usages not_before not_after key_public
  pem=$(certificate 2>&1) || refuse "$certificate_file: cannot read the certificate: $pem"
  usages=$(openssl x509 -outform DER <<<"$pem" | key_usages 2>&1) ||
    refuse "$certificate_file: cannot read the certificate's usages: $usages"
  grep -qxF "extended $code_signing" <<<"$usages" ||
    refuse "$certificate_file: the certificate lacks the code-signing extended key usage" \
      "(extendedKeyUsage codeSigning, $code_signing): Windows rejects its signatures on programs"
  if grep -q "^key " <<<"$usages" && ! grep -qxF "key digital_signature" <<<"$usages"; then
    refuse "$certificate_file: the certificate's key usage lacks digitalSignature: Windows" \
      "rejects its signatures on programs"
  fi
  not_before=$(openssl x509 -noout -startdate <<<"$pem" | cut -d= -f2)
  not_after=$(openssl x509 -noout -enddate <<<"$pem" | cut -d= -f2)
  [ "$(date -d "$not_before" +%s)" -le "$(date +%s)" ] ||
    refuse "$certificate_file: the certificate is not valid yet (from $not_before)"
  openssl x509 -noout -checkend 0 <<<"$pem" >/dev/null ||
    refuse "$certificate_file: the certificate expired on $not_after"
  key_public=$(public_key_of_key 2>&1) ||
    refuse "${SIGN_KEY:-$certificate_file}: cannot read the key: $key_public"
  [ "$key_public" = "$(openssl x509 -noout -pubkey <<<"$pem")" ] ||
    refuse "${SIGN_KEY:-$certificate_file}: the key does not belong to the certificate in" \
      "$certificate_file"
}

# Offline: no certificate revocation list is fetched or required. osslsigncode 2.5 (Debian 12's)
# checks none and knows neither option; newer ones fetch those a certificate names unless told
# -ignore-cdp, and then refuse a certificate that names one unless told -ignore-crl. The help
# of the one installed says which it offers.
offline_checks() {
  local offered option
  offered=$(osslsigncode -h 2>&1 || true)
  for option in -ignore-cdp -ignore-crl; do
    if grep -qwF -- "$option" <<<"$offered"; then
      echo "$option"
    fi
  done
}

sign() {
  local program=$1 signed=$1.signed verified authority="the system's certificate authorities"
  local options=(-h sha256 -n "$description")
  [ -n "${SIGN_URL:-}" ] && options+=(-i "$SIGN_URL")
  [ -n "${TIMESTAMP_URL:-}" ] && options+=(-ts "$TIMESTAMP_URL")
  [ -n "${SIGN_PASS:-}" ] && options+=(-readpass /dev/stdin)
  osslsigncode sign "${key[@]}" "${options[@]}" -in "$program" -out "$signed" \
    <<<"${SIGN_PASS:-}" >/dev/null
  local checks
  mapfile -t checks < <(offline_checks)
  [ -n "${SIGN_CAFILE:-}" ] && checks+=(-CAfile "$SIGN_CAFILE")
  if ! verified=$(osslsigncode verify "${checks[@]}" -in "$signed" 2>&1); then
    rm -f "$signed"
    refuse "the signature made with $certificate_file does not verify" \
      "(against ${SIGN_CAFILE:-$authority}):" \
      "$(grep -iE 'error|fail' <<<"$verified" | head -5)"
  fi
  mv "$signed" "$program"
  echo "signed $(basename "$program") with $(basename "$certificate_file"), signature verified"
}

signing_key || exit 0
if [ "$1" = --check ]; then
  check_certificate
else
  sign "$1"
fi
