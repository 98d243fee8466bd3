#!/usr/bin/env bash
# Makes throwaway signing material with openssl for every test run (no private key lives in the repository).
# Usage: make-signing-fixtures.sh FOLDER [IMAGE-BYTES=70000]. Into FOLDER: image.hdr (a USB image's marker and port,
# then random bytes); trusted/ with
# vendor.crt (PEM), the CA's ca.cer (DER) and notca.crt (self-signed, CA:FALSE); SIGNER.p7s, image.hdr signed (openssl
# cms, DER) by vendor (self-signed), leaf (issued by the CA), stranger (self-signed), impostor (self-signed, the
# vendor's name and serial, another key), tls (by the CA, for serverAuth only), expired (by the CA, valid from
# 2020-01-01 to 2021-03-01), future (by the CA, valid from 2035-01-01) and underling (issued by notca); attached.p7s,
# the vendor's signature carrying the image; keys/SIGNER.key and .crt to sign other images with.
set -euo pipefail
out=$1 size=${2:-70000}
rm -rf "$out"
mkdir -p "$out/trusted" "$out/keys" "$out/ca"
cd "$out"
self_signed() {
    openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 30 -keyout "keys/$1.key" -out "keys/$1.crt" \
        -subj "/O=Ostrel tests/CN=$2" "${@:3}" 2>/dev/null
}
self_signed vendor Vendor
self_signed ca "Test CA" -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign
self_signed stranger Stranger
self_signed impostor Vendor -set_serial "0x$(openssl x509 -in keys/vendor.crt -noout -serial | sed 's/^serial=//')"
self_signed notca "Not a CA" -addext basicConstraints=critical,CA:FALSE
openssl req -new -newkey rsa:2048 -nodes -keyout keys/leaf.key -out keys/leaf.csr -subj "/O=Ostrel tests/CN=Leaf" \
    2>/dev/null
openssl x509 -req -in keys/leaf.csr -CA keys/ca.crt -CAkey keys/ca.key -set_serial 2 -sha256 -days 30 \
    -out keys/leaf.crt 2>/dev/null
# Certificates with dates and extensions of their own: `openssl ca` sets any validity (x509 -req starts it now).
touch ca/index.txt
printf '%s\n' '[ca]' 'default_ca = issuer' '[issuer]' 'database = ca/index.txt' 'new_certs_dir = ca' \
    'serial = ca/serial' 'default_md = sha256' 'policy = any' 'unique_subject = no' '[any]' \
    'organizationName = optional' 'commonName = supplied' '[tls]' 'extendedKeyUsage = serverAuth' '[plain]' \
    'basicConstraints = CA:FALSE' >ca/ca.cnf
issue() { # NAME CN ISSUER FROM TO EXTENSIONS
    openssl req -new -newkey rsa:2048 -nodes -keyout "keys/$1.key" -out "keys/$1.csr" -subj "/O=Ostrel tests/CN=$2" \
        2>/dev/null
    openssl rand -hex 8 >ca/serial
    openssl ca -batch -notext -config ca/ca.cnf -cert "keys/$3.crt" -keyfile "keys/$3.key" -in "keys/$1.csr" \
        -out "keys/$1.crt" -startdate "$4" -enddate "$5" -extensions "$6" 2>/dev/null
}
now=$(date -u -d '-1 hour' +%Y%m%d%H%M%SZ) later=$(date -u -d '+30 days' +%Y%m%d%H%M%SZ)
issue tls "TLS server" ca "$now" "$later" tls
issue expired Expired ca 20200101000000Z 20210301000000Z plain
issue future Future ca 20350101000000Z 20360101000000Z plain
issue underling Underling notca "$now" "$later" plain
# A USB e-flash image's first bytes, so that the flasher and the window get as far as the gate.
{ printf '$\001\001'; head -c "$((size - 3))" /dev/urandom; } >image.hdr
for signer in vendor leaf stranger impostor tls expired future underling; do
    openssl cms -sign -binary -md sha256 -in image.hdr -signer "keys/$signer.crt" -inkey "keys/$signer.key" \
        -outform DER -out "$signer.p7s"
done
openssl cms -sign -nodetach -binary -md sha256 -in image.hdr -signer keys/vendor.crt -inkey keys/vendor.key \
    -outform DER -out attached.p7s
cp keys/vendor.crt trusted/vendor.crt
cp keys/notca.crt trusted/notca.crt
openssl x509 -in keys/ca.crt -outform DER -out trusted/ca.cer
