#!/usr/bin/env bash
# Times the image gate (gate-bench.exe under Wine) on a signed image with a SHA256SUMS beside it, against sha256sum
# of the same file in the same run, and prints the ratio of the medians (target: at most 1.5).
# Usage: bench/gate-bench.sh [--preset win32|win64] [--mib N] [--rounds N]   (after building the preset's gate_bench)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
preset=win32 mib=64 rounds=7
while [ $# -gt 0 ]; do
    case $1 in
    --preset) preset=$2 ;;
    --mib) mib=$2 ;;
    --rounds) rounds=$2 ;;
    *)
        echo "Usage: gate-bench.sh [--preset win32|win64] [--mib N] [--rounds N]" >&2
        exit 64
        ;;
    esac
    shift 2
done
bench=$root/build/$preset/bench/gate-bench.exe
[ -f "$bench" ] || { echo "gate-bench: build it first: cmake --build --preset $preset --target gate_bench" >&2; exit 1; }

work=$root/build/$preset/bench/gate
bash "$root/tests/win/make-signing-fixtures.sh" "$work" $((mib * 1024 * 1024)) >/dev/null
(cd "$work" && cp vendor.p7s image.hdr.p7s && sha256sum image.hdr >SHA256SUMS)

# Wall times of `sha256sum image.hdr` (the file in the page cache), one a line, into $times; timed before and after
# the gate so that a machine that slows down or speeds up meanwhile weighs on both sides.
times=$work/sha256sum-times
time_sha256sum() {
    local start end
    sha256sum "$work/image.hdr" >/dev/null
    for _ in $(seq "$rounds"); do
        start=$(date +%s%N)
        sha256sum "$work/image.hdr" >/dev/null
        end=$(date +%s%N)
        echo "$(((end - start) / 1000))" >>"$times"
    done
}

: >"$times"
time_sha256sum
output=$("$root/scripts/wine-run" "$root/build/wine-$preset" "$bench" "Z:${work//\//\\}\\image.hdr" \
    "Z:${work//\//\\}\\trusted" "$rounds" | tr -d '\r')
time_sha256sum
echo "$output"
gate=$(sed -n 's/^gate-seconds //p' <<<"$output")
[ -n "$gate" ] || { echo "gate-bench: the gate did not pass the image" >&2; exit 1; }
reference=$(sort -n "$times" | awk '{ t[NR] = $1 } END { print (NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2) / 1e6 }')
awk -v gate="$gate" -v reference="$reference" -v rounds="$rounds" 'BEGIN {
    printf "sha256sum median %.4f s (%d rounds before and %d after the gate); gate median %.4f s\n", reference, rounds, rounds, gate
    printf "gate / sha256sum: %.2f (target <= 1.5)\n", gate / reference
}'
