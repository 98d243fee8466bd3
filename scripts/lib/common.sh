# Shared by scripts/run and scripts/test: paths, a private X display, and a persistent wineserver per prefix.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
xvfb_pid=

# Starts a private Xvfb when there is no DISPLAY; sets DISPLAY either way.
start_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    local n
    for n in $(seq 91 120); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
    done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && return 0
        sleep 0.1
    done
    echo "Xvfb did not start on :$n" >&2
    return 1
}

stop_display() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
        xvfb_pid=
    fi
}

# Creates the prefix if needed and keeps its wineserver running, so that each test process starts fast.
start_wineserver() {
    local prefix=$1
    # The prefix must exist before its server starts; the server must persist before the first program runs, or
    # the services Wine starts with that program would hold the next test's output open.
    [ -f "$prefix/.ready" ] || "$root/scripts/wine-run" "$prefix" cmd /c exit >/dev/null 2>&1 || true
    WINEPREFIX=$prefix wineserver -p 2>/dev/null || true
    "$root/scripts/wine-run" "$prefix" cmd /c exit >/dev/null 2>&1 || true
}

stop_wineserver() {
    WINEPREFIX=$1 wineserver -k 2>/dev/null || true
    WINEPREFIX=$1 wineserver -w 2>/dev/null || true
}
