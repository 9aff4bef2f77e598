#!/usr/bin/env bash
# Signs a built setup.exe with Authenticode (SHA-256), time-stamped.
#
# Since June 2023 a public code-signing certificate's key lives on a
# hardware token or in a cloud signing service, never in a file: its
# PKCS#11 module (the token's driver, or the service's client library)
# signs, and the key stays where it is. A PFX (PKCS#12) file still serves
# for an older certificate and for tests. Nothing of the certificate is
# kept in the project; the password or PIN reaches osslsigncode through a
# private temporary file, never on a command line.
#
# A release signature is time-stamped, so that it stays valid after the
# certificate expires: --timestamp is required, and only --test, for the
# project's own tests with a throwaway certificate, leaves it out.
#
# Usage:
#   scripts/sign.sh --pkcs11-module LIB --key URI --cert FILE|URI
#                   [--password-file FILE] --timestamp URL
#                   SETUP_EXE [SIGNED_EXE]
#   scripts/sign.sh --pfx FILE [--password-file FILE] --timestamp URL
#                   SETUP_EXE [SIGNED_EXE]
# --key is the key's PKCS#11 URI ("pkcs11:token=...;object=..."); --cert
# the certificate's file, or its PKCS#11 URI where the token holds it.
# Environment:
# SKINSETUP_SIGN_PKCS11_MODULE, SKINSETUP_SIGN_KEY, SKINSETUP_SIGN_CERT,
# SKINSETUP_SIGN_PFX, SKINSETUP_SIGN_PASSWORD (or
# SKINSETUP_SIGN_PASSWORD_FILE: the PFX's password or the token's PIN),
# SKINSETUP_SIGN_TIMESTAMP (an RFC 3161 time-stamp server). Without
# SIGNED_EXE, SETUP_EXE is replaced by its signed copy once signing has
# succeeded.
set -euo pipefail

module=${SKINSETUP_SIGN_PKCS11_MODULE:-}
key=${SKINSETUP_SIGN_KEY:-}
cert=${SKINSETUP_SIGN_CERT:-}
pfx=${SKINSETUP_SIGN_PFX:-}
password_file=${SKINSETUP_SIGN_PASSWORD_FILE:-}
timestamp=${SKINSETUP_SIGN_TIMESTAMP:-}
test_only=
while (($#)); do
  case $1 in
    --pkcs11-module) module=$2; shift 2 ;;
    --key) key=$2; shift 2 ;;
    --cert) cert=$2; shift 2 ;;
    --pfx) pfx=$2; shift 2 ;;
    --password-file) password_file=$2; shift 2 ;;
    --timestamp) timestamp=$2; shift 2 ;;
    --test) test_only=1; shift ;;
    -h|--help) sed -n '2,30p' "$0"; exit 0 ;;
    *) break ;;
  esac
done
usage() {
  echo "$0: $1" >&2
  echo "usage: $0 (--pkcs11-module LIB --key URI --cert FILE|URI | --pfx FILE)" \
    "[--password-file FILE] --timestamp URL SETUP_EXE [SIGNED_EXE]" >&2
  exit 2
}
(($# >= 1 && $# <= 2)) || usage "one setup.exe to sign, and where to"
if [[ -n $module ]]; then
  [[ -n $key && -n $cert ]] ||
    usage "--pkcs11-module needs --key and --cert, the key's URI and the certificate"
elif [[ -z $pfx ]]; then
  usage "a PKCS#11 module and key, or a PFX file, is needed"
fi
[[ -n $timestamp || -n $test_only ]] ||
  usage "a release signature needs --timestamp (only --test leaves it out)"
unsigned=$1
signed=${2:-$1}
command -v osslsigncode >/dev/null || {
  echo "$0: osslsigncode is missing (apt-get install osslsigncode)" >&2
  exit 2
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [[ -z $password_file ]]; then
  password_file=$work/password
  (umask 077 && printf '%s' "${SKINSETUP_SIGN_PASSWORD:-}" >"$password_file")
fi
if [[ -n $module ]]; then
  options=(-pkcs11module "$module" -key "$key")
  if [[ $cert == pkcs11:* ]]; then
    options+=(-pkcs11cert "$cert")
  else
    options+=(-certs "$cert")
  fi
else
  options=(-pkcs12 "$pfx")
fi
options+=(-readpass "$password_file" -h sha256 -n "Quintavo Skins Installer")
[[ -n $timestamp ]] && options+=(-ts "$timestamp")
# Signed beside the result first, so that a failure leaves it as it was.
osslsigncode sign "${options[@]}" -in "$unsigned" -out "$work/setup.exe"
mv -f "$work/setup.exe" "$signed"
echo "$signed: signed"
