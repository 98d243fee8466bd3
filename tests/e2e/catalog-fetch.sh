#!/usr/bin/env bash
# The flasher and the vendor's catalog over a loopback web server: the refusals (tampered, a stranger's signature,
# rollback, expired, a newer format, an image with another digest, one longer than listed, a slow and a stalled
# server, a server that is gone, catalogs turned off by policy) as one table, each leaving the mirror as it was;
# then --list, the gate trusting the mirror's catalog by path, and --latest written to the emulated device.
# Last, the window's start-up refresh (a test of win_tests, given the server's URL).
# Usage: catalog-fetch.sh WINE-RUN PREFIX FLASH-EXE DEVSIM-EXE DRIVER-DLL SOURCE-DIR WORK-DIR WIN-TESTS-EXE
set -u
wine_run=$1 prefix=$2 flash=$3 devsim=$4 driver=$5 source=$6 work=$7 win_tests=$8

fail() {
    echo "FAILED: $*" >&2
    for f in out err devsim.out; do [ -f "$f" ] && { echo "--- $f"; cat "$f"; }; done >&2
    exit 1
}
winpath() { local p; p=$(realpath -m "$1"); echo "Z:${p//\//\\}"; }
flash() { "$wine_run" "$prefix" ostrel-flash.exe "$@" >out 2>err; }
# Usage: policy add|delete NAME [/t TYPE /d DATA]
policy() {
    "$wine_run" "$prefix" reg "$1" 'HKLM\SOFTWARE\Policies\Corvane\Ostrel update' /v "${@:2}" /f >/dev/null 2>&1
}

rm -rf "$work" && mkdir -p "$work/site" && cp "$flash" "$devsim" "$driver" "$work/" || fail "cannot fill $work"
cd "$work"
bash "$source/tests/win/make-signing-fixtures.sh" keys-made 100 >/dev/null || fail "no signing fixtures"
mkdir -p trusted && cp keys-made/trusted/vendor.crt trusted/
keys=keys-made/keys

# A site: images, a version list made into catalog.json by the vendor's script, signed as the user guide says.
# Usage: publish NAME SEQUENCE EXPIRES-DAYS SIGNER [LINE...]
publish() {
    local site=site/$1 sequence=$2 days=$3 signer=$4
    shift 4
    mkdir -p "$site"
    for n in 1 2 3 4; do
        [ -f "$site/fw-$n.hdr" ] || { printf '$\001\001' && head -c $((4000 + n * 1000)) /dev/urandom; } >"$site/fw-$n.hdr"
    done
    printf '%s\n' "$@" >"$site/versions.txt"
    python3 "$source/scripts/make-catalog.py" "$site" "$site/versions.txt" --sequence "$sequence" \
        --expires-days "$days" >/dev/null || fail "make-catalog.py failed for $1"
    openssl cms -sign -binary -md sha256 -in "$site/catalog.json" -signer "$keys/$signer.crt" \
        -inkey "$keys/$signer.key" -outform DER -out "$site/catalog.json.p7s" || fail "cannot sign $1"
}
stable=("fw-1.hdr 2.9.0 stable 2026-10-01" "fw-2.hdr 2.10.0 stable 2026-11-30 numbers, not text" "fw-3.hdr 3.0.0 beta 2026-12-01")
publish good 5 30 vendor "${stable[@]}"
publish tampered 6 30 vendor "${stable[@]}"
sed -i 's/"2.10.0"/"2.11.0"/' site/tampered/catalog.json
publish stranger 6 30 stranger "${stable[@]}"
publish rollback 4 30 vendor "${stable[@]}"
publish expired 6 -1 vendor "${stable[@]}"
publish newer 6 30 vendor "${stable[@]}"
sed -i 's/"format": 1/"format": 2/' site/newer/catalog.json
openssl cms -sign -binary -md sha256 -in site/newer/catalog.json -signer $keys/vendor.crt -inkey $keys/vendor.key \
    -outform DER -out site/newer/catalog.json.p7s
publish digest 5 30 vendor "fw-4.hdr 4.0.0 stable 2026-12-02"
printf "x" | dd of=site/digest/fw-4.hdr bs=1 seek=3000 conv=notrunc 2>/dev/null
publish endless 5 30 vendor "fw-4.hdr 4.0.0 stable 2026-12-02"
publish slow 5 30 vendor "fw-4.hdr 4.0.0 stable 2026-12-02"
publish stalled 5 30 vendor "fw-4.hdr 4.0.0 stable 2026-12-02"
for name in endless slow stalled; do sed -i "s/\"fw-4.hdr\"/\"$name.hdr\"/" site/$name/catalog.json; done
for name in endless slow stalled; do
    openssl cms -sign -binary -md sha256 -in site/$name/catalog.json -signer $keys/vendor.crt -inkey $keys/vendor.key \
        -outform DER -out site/$name/catalog.json.p7s
done

python3 "$source/tests/e2e/catalog-server.py" site port &
server=$!
"$wine_run" "$prefix" cmd /c exit >/dev/null 2>&1
export OSTREL_DEVSIM_INSTANCE="catalog-$$" OSTREL_TEST_FETCH_PATIENCE_MS=1500
trap 'kill $server 2>/dev/null; "$wine_run" "$prefix" ostrel-devsim.exe --stop >/dev/null 2>&1; policy delete Catalog; policy delete FirmwareFolder' EXIT
for _ in $(seq 50); do [ -s port ] && break; sleep 0.1; done
url="http://127.0.0.1:$(cat port)"
mirror=$(winpath mirror)

# CASE | what the site serves | exit code | a part of standard error | the mirror's catalog after it. A catalog of
# the same sequence as the last good one is taken, so the image cases leave their own catalog in the mirror.
cases=(
    "good|good|0||good"
    "gone, offline|gone|0|offline: the server's answer|good"
    "tampered|tampered|65|does not verify its bytes|good"
    "stranger|stranger|77|who is not trusted|good"
    "rollback|rollback|65|sequence 4 is lower than the last good catalog's 5|good"
    "expired|expired|65|this PC's clock says|good"
    "newer format|newer|65|needs a newer tool|good"
    "digest|digest|65|where the catalog lists|digest"
    "endless|endless|65|cut off|endless"
    "slow|slow|69|under 1 KiB/s|slow"
    "stalled|stalled|69|nothing received|stalled"
)
for row in "${cases[@]}"; do
    IFS='|' read -r name site code text kept <<<"$row"
    flash --sync="$mirror" --catalog="$url/$site/"
    got=$?
    [ "$got" -eq "$code" ] || fail "$name: exit code $got, not $code"
    [ -z "$text" ] || grep -qF "$text" err || fail "$name: standard error lacks \"$text\""
    # Nothing refused ever lands in the mirror, and no partial file stays behind.
    cmp -s mirror/catalog.json site/$kept/catalog.json || fail "$name: the mirror's catalog is not the last good one"
    [ "$(ls mirror | sort | tr '\n' ' ')" = "catalog.json catalog.json.p7s fw-2.hdr " ] ||
        fail "$name: the mirror holds $(ls mirror | tr '\n' ' ')"
done
cmp -s mirror/fw-2.hdr site/good/fw-2.hdr || fail "the mirror's image is not the catalog's newest stable one"

flash --sync="$(winpath empty-mirror)" --catalog="$url/gone/"
[ $? -eq 69 ] && grep -qF "holds no good catalog" err || fail "gone with an empty mirror: not 69"
policy add Catalog /t REG_SZ /d ""
flash --latest --catalog="$url/good/"
[ $? -eq 77 ] && grep -qF "turned off by the machine policy" err || fail "Catalog empty: not 77"
policy delete Catalog

# From here the policy names the mirror.
policy add FirmwareFolder /t REG_SZ /d "$mirror"
flash --list --json --catalog="$url/good/"
[ "$(grep -c '"version"' out)" -eq 3 ] && [ "$(grep -c '"in_mirror":true' out)" -eq 1 ] ||
    fail "--list --json: not one object per image, with the one in the mirror"

# The mirror copied to a share serves by path: its catalog vouches for the image, and refuses a changed one.
cp -r mirror share
flash --info --require-signature "$(winpath share/fw-2.hdr)"
[ $? -eq 0 ] && grep -q "signature: valid (catalog), signed by .*CN=Vendor" out && grep -q "version  2.10.0" out ||
    fail "--info of the share's image"
printf 'x' | dd of=share/fw-2.hdr bs=1 seek=2000 conv=notrunc 2>/dev/null
flash --info "$(winpath share/fw-2.hdr)"
[ $? -eq 65 ] && grep -qF "catalog.json" out || fail "a changed image beside the catalog: not refused"

# --latest with the beta channel: fetched, verified, written whole to the emulated device and logged with its version.
"$wine_run" "$prefix" ostrel-devsim.exe --capture capture.bin --once >devsim.out 2>&1 &
for _ in $(seq 100); do grep -q ready devsim.out 2>/dev/null && break; sleep 0.1; done
flash --latest --channel=beta --catalog="$url/good/" --log=flash.log
[ $? -eq 0 ] || fail "--latest: exit code not 0"
[ -f mirror/fw-3.hdr ] || fail "--latest did not keep the image in the mirror"
wait %2 2>/dev/null
# The device receives the 20-byte command, then the payload after the 1024-byte header area.
cmp -s capture.bin <(head -c 20 site/good/fw-3.hdr; tail -c +1025 site/good/fw-3.hdr) ||
    fail "the device did not get the image"
grep -q '"image_version":"3.0.0"' flash.log || fail "the log line lacks image_version"
flash --info --image-version=2.9 --catalog="$url/good/"
[ $? -eq 0 ] && grep -q "version  2.9.0 (catalog)" out || fail "--image-version of an older image"
policy delete FirmwareFolder

# The window trusts what lies beside its program: the vendor's certificate, for the test's length only.
trusted_beside=$(dirname "$win_tests")/trusted
[ -e "$trusted_beside" ] && fail "$trusted_beside exists already"
mkdir "$trusted_beside" && cp trusted/vendor.crt "$trusted_beside/"
OSTREL_TEST_CATALOG_URL="$url/good/" "$wine_run" "$prefix" "$win_tests" --gtest_filter='FirmwareNotice.*' >out 2>err
code=$?
rm -rf "$trusted_beside"
[ $code -eq 0 ] && grep -qF "[  PASSED  ] 1 test." out || fail "the window's start-up refresh"
echo "catalog-fetch: all cases passed"
