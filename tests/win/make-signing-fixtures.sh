#!/usr/bin/env bash
# Makes throwaway signing material with openssl, afresh for every test run (no private key lives in the
# repository): an image, certificates and detached signatures over the image as a vendor makes them.
# Usage: make-signing-fixtures.sh FOLDER [IMAGE-BYTES]
#   FOLDER/image.hdr            an image of IMAGE-BYTES (70000 unless given) random bytes
#   FOLDER/trusted/             what an administrator trusts: vendor.crt (PEM) and ca.cer (DER)
#   FOLDER/<signer>.p7s         image.hdr signed (openssl cms -sign -binary -md sha256, DER) by each signer:
#                                 vendor    self-signed, trusted as such
#                                 leaf      issued by the trusted CA
#                                 stranger  self-signed, not trusted
#                                 impostor  self-signed with the vendor's name and serial number, not trusted
#   FOLDER/keys/<signer>.key, .crt   the keys and certificates, to sign other images with
set -euo pipefail
out=$1 size=${2:-70000}
rm -rf "$out"
mkdir -p "$out/trusted" "$out/keys"
cd "$out"

# self_signed NAME COMMON-NAME [openssl req options...]
self_signed() {
    local name=$1 common=$2
    shift 2
    openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 30 -keyout "keys/$name.key" -out "keys/$name.crt" \
        -subj "/O=Ostrel tests/CN=$common" "$@" 2>/dev/null
}
self_signed vendor Vendor
self_signed ca "Test CA" -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign
self_signed stranger Stranger
serial=$(openssl x509 -in keys/vendor.crt -noout -serial | sed 's/^serial=//')
self_signed impostor Vendor -set_serial "0x$serial"
openssl req -new -newkey rsa:2048 -nodes -keyout keys/leaf.key -out keys/leaf.csr -subj "/O=Ostrel tests/CN=Leaf" \
    2>/dev/null
openssl x509 -req -in keys/leaf.csr -CA keys/ca.crt -CAkey keys/ca.key -set_serial 2 -sha256 -days 30 \
    -out keys/leaf.crt 2>/dev/null

head -c "$size" /dev/urandom >image.hdr
for signer in vendor leaf stranger impostor; do
    openssl cms -sign -binary -md sha256 -in image.hdr -signer "keys/$signer.crt" -inkey "keys/$signer.key" \
        -outform DER -out "$signer.p7s"
done
cp keys/vendor.crt trusted/vendor.crt
openssl x509 -in keys/ca.crt -outform DER -out trusted/ca.cer
echo "make-signing-fixtures: image, trusted certificates and signatures in $out"
