#!/usr/bin/env bash
# Checks the release zip: builds it with CPack, unpacks it into a temporary folder, checks that it holds exactly the
# tool, lang.ini and the user guide, then starts the unpacked tool under Wine, waits for its main window (titled
# from the shipped lang.ini) and closes it.
# Usage: check-package.sh CPACK BUILD-DIR PACKAGE-NAME EXE-NAME WINE-RUN PREFIX   (needs DISPLAY, xwininfo, xprop)
set -euo pipefail
cpack=$1 build=$(cd "$2" && pwd) package=$3 exe=$4
shift 4
wine_run=("$@")

fail() {
    echo "check-package: $*" >&2
    exit 1
}

for tool in xwininfo xprop; do
    command -v "$tool" >/dev/null || fail "$tool is missing (Debian package x11-utils)"
done
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY"

(cd "$build" && "$cpack" -G ZIP >cpack.log 2>&1) || { cat "$build/cpack.log"; fail "cpack failed"; }
zip="$build/$package.zip"
[ -f "$zip" ] || fail "no $zip"

unpacked=$(mktemp -d)
tool_pid=
cleanup() {
    [ -n "$tool_pid" ] && kill -KILL "$tool_pid" 2>/dev/null
    rm -rf "$unpacked"
}
trap cleanup EXIT
(cd "$unpacked" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"

contents=$(cd "$unpacked" && find . -type f | sort)
expected=$(printf './%s/%s\n' "$package" "$exe" "$package" lang.ini "$package" user-guide.txt | sort)
[ "$contents" = "$expected" ] || fail "$(printf 'the zip holds\n%s\ninstead of\n%s' "$contents" "$expected")"

folder="$unpacked/$package"
title=$(tr -d '\r' <"$folder/lang.ini" | awk '/^\[/ { section = $0 } section == "[title]" && /^100=/ { print substr($0, 5) }')
[ -n "$title" ] || fail "the shipped lang.ini has no window title"

# The Wine process keeps the shell's process id, and Wine tags its windows with it (_NET_WM_PID): so the window
# found is this tool's, not that of another test running the same program.
"${wine_run[@]}" "$folder/$exe" >/dev/null 2>&1 &
tool_pid=$!
running() {
    local state
    state=$(ps -o stat= -p "$tool_pid") && [[ $state != *Z* ]]
}
window_of_tool() {
    local id
    for id in $(xwininfo -root -tree | grep -F "\"$title\"" | awk '{ print $1 }'); do
        xprop -id "$id" _NET_WM_PID | grep -qx "_NET_WM_PID(CARDINAL) = $tool_pid" && return 0
    done
    return 1
}
for _ in $(seq 300); do
    window_of_tool && break
    running || fail "the tool ended before its window appeared"
    sleep 0.1
done
window_of_tool || fail "no window titled \"$title\" appeared"

kill -TERM "$tool_pid"
for _ in $(seq 100); do
    running || break
    sleep 0.1
done
running && fail "the tool did not close"
wait "$tool_pid" || true
tool_pid=
echo "check-package: $package.zip holds the tool, lang.ini and the user guide; the tool starts and shows \"$title\""
