#!/usr/bin/env bash
# Signs a built setup.exe with Authenticode, with a certificate its
# maintainer supplies as a PFX (PKCS#12) file. Nothing of the certificate
# is kept in the project: the file and its password come from the
# arguments or the environment, and the password reaches osslsigncode
# through a private temporary file, never on a command line.
#
# Usage: scripts/sign.sh [--pfx FILE] [--password-file FILE]
#                        [--timestamp URL] SETUP_EXE [SIGNED_EXE]
# Environment: SKINSETUP_SIGN_PFX, SKINSETUP_SIGN_PASSWORD (or
# SKINSETUP_SIGN_PASSWORD_FILE), SKINSETUP_SIGN_TIMESTAMP (an RFC 3161
# time-stamp server, optional). Without SIGNED_EXE, SETUP_EXE is replaced
# by its signed copy once signing has succeeded.
set -euo pipefail

pfx=${SKINSETUP_SIGN_PFX:-}
password_file=${SKINSETUP_SIGN_PASSWORD_FILE:-}
timestamp=${SKINSETUP_SIGN_TIMESTAMP:-}
while (($#)); do
  case $1 in
    --pfx) pfx=$2; shift 2 ;;
    --password-file) password_file=$2; shift 2 ;;
    --timestamp) timestamp=$2; shift 2 ;;
    -h|--help) sed -n '2,14p' "$0"; exit 0 ;;
    *) break ;;
  esac
done
if (($# < 1 || $# > 2)) || [[ -z $pfx ]]; then
  echo "usage: $0 --pfx FILE [--password-file FILE] [--timestamp URL]" \
    "SETUP_EXE [SIGNED_EXE] (or SKINSETUP_SIGN_PFX and" \
    "SKINSETUP_SIGN_PASSWORD in the environment)" >&2
  exit 2
fi
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
options=(-pkcs12 "$pfx" -readpass "$password_file" -h sha256
         -n "Quintavo Skins Installer")
[[ -n $timestamp ]] && options+=(-ts "$timestamp")
# Signed beside the result first, so that a failure leaves it as it was.
osslsigncode sign "${options[@]}" -in "$unsigned" -out "$work/setup.exe"
mv -f "$work/setup.exe" "$signed"
echo "$signed: signed"
