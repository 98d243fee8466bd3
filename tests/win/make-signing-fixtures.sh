#!/usr/bin/env bash
# Makes throwaway signing material with openssl for every test run (no private key lives in the repository).
# Usage: make-signing-fixtures.sh FOLDER [IMAGE-BYTES=70000]. Into FOLDER: image.hdr (a USB image's marker and port,
# then random bytes); trusted/ with
# vendor.crt (PEM) and the CA's ca.cer (DER); SIGNER.p7s, image.hdr signed (openssl cms, DER) by vendor (self-signed),
# leaf (issued by the CA), stranger (self-signed), impostor (self-signed, the vendor's name and serial, another key);
# keys/SIGNER.key and .crt to sign other images with.
set -euo pipefail
out=$1 size=${2:-70000}
rm -rf "$out"
mkdir -p "$out/trusted" "$out/keys"
cd "$out"
self_signed() {
    openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 30 -keyout "keys/$1.key" -out "keys/$1.crt" \
        -subj "/O=Ostrel tests/CN=$2" "${@:3}" 2>/dev/null
}
self_signed vendor Vendor
self_signed ca "Test CA" -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign
self_signed stranger Stranger
self_signed impostor Vendor -set_serial "0x$(openssl x509 -in keys/vendor.crt -noout -serial | sed 's/^serial=//')"
openssl req -new -newkey rsa:2048 -nodes -keyout keys/leaf.key -out keys/leaf.csr -subj "/O=Ostrel tests/CN=Leaf" \
    2>/dev/null
openssl x509 -req -in keys/leaf.csr -CA keys/ca.crt -CAkey keys/ca.key -set_serial 2 -sha256 -days 30 \
    -out keys/leaf.crt 2>/dev/null
# A USB e-flash image's first bytes, so that the flasher and the window get as far as the gate.
{ printf '$\001\001'; head -c "$((size - 3))" /dev/urandom; } >image.hdr
for signer in vendor leaf stranger impostor; do
    openssl cms -sign -binary -md sha256 -in image.hdr -signer "keys/$signer.crt" -inkey "keys/$signer.key" \
        -outform DER -out "$signer.p7s"
done
cp keys/vendor.crt trusted/vendor.crt
openssl x509 -in keys/ca.crt -outform DER -out trusted/ca.cer
