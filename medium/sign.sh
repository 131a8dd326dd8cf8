#!/usr/bin/env bash
# Usage: sign.sh --check | sign.sh PROGRAM
# Authenticode signing (SHA-256) when the environment names a key, nothing otherwise:
# SIGN_CERT and SIGN_KEY (PEM) or SIGN_PKCS12, or a key on a token: SIGN_PKCS11_MODULE names the
# token's PKCS#11 module, SIGN_KEY the key's pkcs11: URI (RFC 7512) and SIGN_CERT the certificate,
# a file or the pkcs11: URI of the one on the token. SIGN_PASS is the key's password or the
# token's PIN, SIGN_URL the vendor's address, TIMESTAMP_URL an RFC 3161 time stamp server,
# SIGN_CAFILE the certificate authority to verify against when it is not among the system's.
# --check refuses, before anything is built, a certificate Windows would not accept for code:
# without the code-signing extended key usage, with a key usage that excludes digital signatures,
# outside its validity, or not matching the key; and a token it cannot sign with.
# PROGRAM is signed in place, then its signature must verify. Without a time stamp the signing
# time is SOURCE_DATE_EPOCH, so that one key signs one program to the same bytes every time.
# The signature alone goes to PROGRAM.sig (PEM PKCS#7), which osslsigncode attach-signature
# puts on a rebuilt unsigned program to give the signed one.
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
  if [ -n "${SIGN_PKCS11_MODULE:-}" ] || [[ "${SIGN_KEY:-}" == pkcs11:* ]]; then
    token_key
  elif [ -n "${SIGN_PKCS12:-}" ]; then
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

# No -pkcs11engine: osslsigncode 2.5 (Debian 12's) takes its argument for an engine id and fails
# on the engine's file ("bad engine id"); without it every version loads the engine "pkcs11"
# (libengine-pkcs11-openssl).
token_key() {
  if [ -z "${SIGN_PKCS11_MODULE:-}" ] || [[ "${SIGN_KEY:-}" != pkcs11:* ]] ||
    [ -z "${SIGN_CERT:-}" ]; then
    refuse "a key on a token needs SIGN_PKCS11_MODULE (its PKCS#11 module), SIGN_KEY (its" \
      "pkcs11: URI) and SIGN_CERT (the certificate's file or pkcs11: URI)"
  fi
  key=(-pkcs11module "$SIGN_PKCS11_MODULE" -key "$SIGN_KEY")
  if [[ "$SIGN_CERT" == pkcs11:* ]]; then
    key+=(-pkcs11cert "$SIGN_CERT")
  else
    key+=(-certs "$SIGN_CERT")
  fi
  certificate_file=$SIGN_CERT
}

# The password reaches openssl and osslsigncode through a pipe, never a command line other
# users can read.
certificate() {
  if [ -n "${SIGN_PKCS12:-}" ]; then
    openssl pkcs12 -in "$SIGN_PKCS12" -clcerts -nokeys -passin stdin <<<"${SIGN_PASS:-}"
  elif [[ "$SIGN_CERT" == pkcs11:* ]]; then
    p11tool --provider "$SIGN_PKCS11_MODULE" --export "$SIGN_CERT"
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
  # Last: a certificate refused anyway costs no try of the token's PIN.
  if [ -n "${SIGN_PKCS11_MODULE:-}" ]; then
    check_token_key "$pem"
    return
  fi
  key_public=$(public_key_of_key 2>&1) ||
    refuse "${SIGN_KEY:-$certificate_file}: cannot read the key: $key_public"
  [ "$key_public" = "$(openssl x509 -noout -pubkey <<<"$pem")" ] ||
    refuse "${SIGN_KEY:-$certificate_file}: the key does not belong to the certificate in" \
      "$certificate_file"
}

# The key never leaves the token: it signs a message there, and the certificate's public key
# must verify that signature. The PIN is tried once; a token locks after a few wrong ones.
# libp11 names each reason in its errors; it may crash on its way out after a failure, so its
# exit status says nothing.
check_token_key() {
  local pem=$1 scratch errors
  scratch=$(mktemp -d)
  printf 'QB7_LX450 Setup: does this key belong to the certificate?\n' >"$scratch/message"
  openssl x509 -noout -pubkey <<<"$pem" >"$scratch/public"
  errors=$({ PKCS11_MODULE_PATH=$SIGN_PKCS11_MODULE openssl dgst -sha256 -engine pkcs11 \
    -keyform engine -sign "$SIGN_KEY" -passin stdin -out "$scratch/signature" \
    "$scratch/message" <<<"${SIGN_PASS:-}"; } 2>&1) || true
  if [ ! -s "$scratch/signature" ]; then
    rm -rf "$scratch"
    token_refusal "$errors"
  fi
  if ! openssl dgst -sha256 -verify "$scratch/public" -signature "$scratch/signature" \
    "$scratch/message" >/dev/null 2>&1; then
    rm -rf "$scratch"
    refuse "$SIGN_KEY: the key does not belong to the certificate in $certificate_file"
  fi
  rm -rf "$scratch"
}

token_refusal() {
  local errors=$1
  case $errors in
  *"Unable to load PKCS#11 module"*)
    refuse "$SIGN_PKCS11_MODULE: the PKCS#11 module does not load:" \
      "$(grep -m1 -v '^Engine' <<<"$errors")" ;;
  *"No matching initialized token"*)
    refuse "$SIGN_KEY: no token of $SIGN_PKCS11_MODULE matches: is it plugged in, is the" \
      "token= of the URI its label?" ;;
  *"PIN locked"*)
    refuse "$SIGN_KEY: the token's PIN is locked: its owner unlocks it with the SO PIN" ;;
  *"PIN incorrect"* | *"PIN invalid"* | *"Invalid PIN length"*)
    refuse "$SIGN_KEY: the token refused the PIN in SIGN_PASS; not tried again, so that the" \
      "token does not lock" ;;
  *"object not found"*)
    refuse "$SIGN_KEY: the token holds no such private key (object= is the key's label, id= its" \
      "identifier)" ;;
  *)
    refuse "$SIGN_KEY: the token did not sign: $(grep -i error <<<"$errors" | head -3)" ;;
  esac
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
  if [ -n "${TIMESTAMP_URL:-}" ]; then
    options+=(-ts "$TIMESTAMP_URL")
  elif [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    options+=(-time "$SOURCE_DATE_EPOCH")
  fi
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
  detach_signature "$program" "$signed"
  mv "$signed" "$program"
  echo "signed $(basename "$program") with $(basename "$certificate_file"), signature verified"
}

# The published signature must give the signed program back from the unsigned one, as anyone
# rebuilding the release attaches it. Attaching verifies the result too, and fails where it does
# not know the authority; the signature was verified already, the bytes are what counts here.
detach_signature() {
  local program=$1 signed=$2
  rm -f "$program.sig" "$program.attached"
  osslsigncode extract-signature -pem -in "$signed" -out "$program.sig" >/dev/null
  osslsigncode attach-signature -sigin "$program.sig" -in "$program" -out "$program.attached" \
    >/dev/null 2>&1 || true
  if ! cmp -s "$program.attached" "$signed"; then
    rm -f "$signed" "$program.sig" "$program.attached"
    refuse "the detached signature does not give the signed program back"
  fi
  rm -f "$program.attached"
}

signing_key || exit 0
if [ "$1" = --check ]; then
  check_certificate
else
  sign "$1"
fi
