#!/usr/bin/env bash
# Checks the release zip: builds it with CPack, unpacks it into a temporary folder, checks that it holds exactly the
# tool, the console flasher when the build has it, lang.ini, every table under lang/, the Group Policy templates and
# the user guide, then starts the unpacked tool under Wine, waits for its main window (titled from the shipped
# lang.ini) and closes it.
# Usage: check-package.sh CPACK BUILD-DIR PACKAGE-NAME EXE-NAME FLASH-EXE|- WINE-RUN PREFIX
#   (needs DISPLAY, xwininfo, xprop)
set -euo pipefail
cpack=$1 build=$(cd "$2" && pwd) package=$3 exe=$4 flash=$5
shift 5
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
launcher_pid=
tool_pid=
cleanup() {
    for pid in $tool_pid $launcher_pid; do
        kill -KILL "$pid" 2>/dev/null || true
    done
    rm -rf "$unpacked"
}
trap cleanup EXIT
(cd "$unpacked" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"

contents=$(cd "$unpacked" && find . -type f | sort)
expected=$(printf "./$package/%s\n" "$exe" lang.ini user-guide.txt lang/{de,en,es,fr,ja,ko,ru,zh-CN}.ini \
    policies/corvane-ostrel.admx policies/en-US/corvane-ostrel.adml)
[ "$flash" != - ] && expected+=$'\n'"./$package/$flash"
expected=$(sort <<<"$expected")
[ "$contents" = "$expected" ] || fail "$(printf 'the zip holds\n%s\ninstead of\n%s' "$contents" "$expected")"

folder="$unpacked/$package"
title=$(iconv -f UTF-16 -t UTF-8 "$folder/lang.ini" | tr -d '\r' | awk '/^\[/ { section = $0 } section == "[title]" && /^100=/ { print substr($0, 5) }')
[ -n "$title" ] || fail "the shipped lang.ini has no window title"

# Wine may run the program in a process other than the launcher's. The window's process (_NET_WM_PID) is this copy
# of the tool when its command line names the unpacked folder: not the window of another test running the tool.
"${wine_run[@]}" "$folder/$exe" >/dev/null 2>&1 &
launcher_pid=$!
running() {
    local state
    state=$(ps -o stat= -p "$1") && [[ $state != *Z* ]]
}
process_of_tool_window() {
    local id pid
    for id in $(xwininfo -root -tree | grep -F "\"$title\"" | awk '{ print $1 }'); do
        pid=$(xprop -id "$id" _NET_WM_PID | sed -n 's/^_NET_WM_PID(CARDINAL) = //p')
        if [ -n "$pid" ] && tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qF "${unpacked##*/}"; then
            echo "$pid"
            return 0
        fi
    done
    return 1
}
for _ in $(seq 300); do
    tool_pid=$(process_of_tool_window) && break
    sleep 0.1
done
[ -n "$tool_pid" ] || fail "no window titled \"$title\" of the unpacked tool appeared"

kill -TERM "$tool_pid"
for _ in $(seq 100); do
    running "$tool_pid" || break
    sleep 0.1
done
running "$tool_pid" && fail "the tool did not close"
tool_pid=
wait "$launcher_pid" || true
launcher_pid=
echo "check-package: $package.zip holds the tool, lang.ini, the tables and the user guide; the tool starts and" \
    "shows \"$title\""
