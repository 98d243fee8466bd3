#!/usr/bin/env bash
# Signs Windows programs in place with the code-signing certificate that OSTREL_SIGN_PFX (a PKCS#12 file) and
# OSTREL_SIGN_PASS_FILE (a file holding its password) name: Authenticode, SHA-256.
# Usage: sign.sh PROGRAM...
set -euo pipefail
: "${OSTREL_SIGN_PFX:?}" "${OSTREL_SIGN_PASS_FILE:?}"
for program in "$@"; do
    osslsigncode sign -pkcs12 "$OSTREL_SIGN_PFX" -readpass "$OSTREL_SIGN_PASS_FILE" -h sha256 \
        -n "Corvane Ostrel update" -in "$program" -out "$program.signed" >/dev/null
    mv -f "$program.signed" "$program"
done
