#!/usr/bin/env bash
# Times fetching a firmware image from a loopback web server into the mirror with its checks (fetch-bench.exe under
# Wine) against curl + sha256sum of the same file from the same server in the same run, and prints the ratio of the
# medians (target: at most 2).
# Usage: bench/fetch-bench.sh [--preset win32|win64] [--mib N] [--rounds N]   (after building the preset's fetch_bench)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
preset=win32 mib=64 rounds=5
while [ $# -gt 0 ]; do
    case $1 in
    --preset) preset=$2 ;;
    --mib) mib=$2 ;;
    --rounds) rounds=$2 ;;
    *)
        echo "Usage: fetch-bench.sh [--preset win32|win64] [--mib N] [--rounds N]" >&2
        exit 64
        ;;
    esac
    shift 2
done
bench=$root/build/$preset/bench/fetch-bench.exe
[ -f "$bench" ] || { echo "fetch-bench: build it first: cmake --build --preset $preset --target fetch_bench" >&2; exit 1; }

work=$root/build/$preset/bench/fetch
rm -rf "$work" && mkdir -p "$work/site" "$work/mirror"
head -c $((mib * 1024 * 1024)) /dev/urandom >"$work/site/image.hdr"
size=$(stat -c %s "$work/site/image.hdr")
sha=$(sha256sum "$work/site/image.hdr" | cut -d' ' -f1)
python3 -m http.server --bind 127.0.0.1 --directory "$work/site" 0 >"$work/server.out" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null' EXIT
port=
for _ in $(seq 50); do
    port=$(sed -n 's/.*port \([0-9]*\).*/\1/p' "$work/server.out" | head -1)
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || { echo "fetch-bench: the server did not start" >&2; exit 1; }
url=http://127.0.0.1:$port

# Wall times of curl to a file then sha256sum of it, one a line, before and after the fetch so that a machine that
# slows down or speeds up meanwhile weighs on both sides.
times=$work/curl-times
time_curl() {
    local start end
    curl -s -o "$work/curl.hdr" "$url/image.hdr" && sha256sum "$work/curl.hdr" >/dev/null
    for _ in $(seq "$rounds"); do
        rm -f "$work/curl.hdr"
        start=$(date +%s%N)
        curl -s -o "$work/curl.hdr" "$url/image.hdr"
        sha256sum "$work/curl.hdr" >/dev/null
        end=$(date +%s%N)
        echo "$(((end - start) / 1000))" >>"$times"
    done
}
: >"$times"
time_curl
output=$("$root/scripts/wine-run" "$root/build/wine-$preset" "$bench" "$url/" image.hdr "$size" "$sha" \
    "Z:${work//\//\\}\\mirror\\" "$rounds" | tr -d '\r')
time_curl
echo "$output"
fetch=$(sed -n 's/^fetch-seconds //p' <<<"$output")
[ -n "$fetch" ] || { echo "fetch-bench: the image was not fetched" >&2; exit 1; }
reference=$(sort -n "$times" | awk '{ t[NR] = $1 } END { print (NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2) / 1e6 }')
awk -v fetch="$fetch" -v reference="$reference" -v rounds="$rounds" -v mib="$mib" 'BEGIN {
    printf "curl + sha256sum of %d MiB: median %.4f s (%d rounds before and %d after); fetch and verify: median %.4f s\n", mib, reference, rounds, rounds, fetch
    printf "fetch / (curl + sha256sum): %.2f (target <= 2)\n", fetch / reference
}'
