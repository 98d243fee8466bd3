#!/usr/bin/env bash
# Checks release signing with a throwaway self-signed certificate: with OSTREL_SIGN_PFX and OSTREL_SIGN_PASS_FILE,
# cpack signs every program in the zip, the setup program and the MSI package (Authenticode, SHA-256, intact: verified
# against that certificate, the one trust anchor); without them it packs unsigned and says so.
# Usage: check-signing.sh CPACK BUILD-DIR PACKAGE-NAME
set -euo pipefail
cpack=$1 build=$2 package=$3

fail() {
    echo "check-signing: $*" >&2
    exit 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 1 \
    -subj "/CN=Ostrel throwaway test signer" 2>/dev/null
printf 'throwaway\n' >"$work/pass.txt"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/signer.pfx" -passout "file:$work/pass.txt"

# Signed and intact: the digest matches the file and the signature chains to the test certificate.
verify() {
    local report
    report=$(osslsigncode verify -CAfile "$work/cert.pem" -in "$1" 2>&1) || fail "$(basename "$1"): $report"
    grep -q "Signature verification: ok" <<<"$report" || fail "$(basename "$1"): $report"
    grep -q "digest algorithm *: SHA256" <<<"$report" || fail "$(basename "$1") is not signed with SHA-256"
}

(cd "$build" && OSTREL_SIGN_PFX="$work/signer.pfx" OSTREL_SIGN_PASS_FILE="$work/pass.txt" \
    "$cpack" -G "ZIP;NSIS" -B "$work/signed" >"$work/signed.log" 2>&1) || { cat "$work/signed.log"; fail "cpack failed"; }
verify "$work/signed/$package-setup.exe"
verify "$work/signed/$package.msi"
mkdir "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$work/signed/$package.zip")
count=0
while IFS= read -r -d '' program; do
    verify "$program"
    count=$((count + 1))
done < <(find "$work/zip" -name '*.exe' -print0)
[ $count -gt 0 ] || fail "no program in the zip"

(cd "$build" && env -u OSTREL_SIGN_PFX -u OSTREL_SIGN_PASS_FILE "$cpack" -G ZIP -B "$work/unsigned" \
    >"$work/unsigned.log" 2>&1) || { cat "$work/unsigned.log"; fail "cpack failed unsigned"; }
grep -q "packing unsigned" "$work/unsigned.log" || fail "an unsigned package is not reported as such"
echo "check-signing: the setup program, the MSI package and $count programs in the zip are signed;" \
    "unsigned packing is reported"
