#!/usr/bin/env bash
# Ctrl+C during a console download: the flasher cancels the blocked write, closes the pipe, logs the attempt as
# interrupted, says the device holds an incomplete image and exits 130. With a driver that never gives up the
# cancelled write, it waits ten seconds for it, then logs, says so and exits 130 all the same; a second Ctrl+C ends
# that wait at once. Wine turns SIGINT to a program's process into its console's Ctrl+C event, as a terminal sends it
# when the user presses Ctrl+C.
# Usage: flash-interrupt.sh WINE-RUN PREFIX FLASH-EXE DEVSIM-EXE DRIVER-DLL WORK-DIR
set -u
wine_run=$1 prefix=$2 flash=$3 devsim=$4 driver=$5 work=$6

fail() {
    echo "FAILED: $*" >&2
    for f in devsim.out flash.out flash.err flash.log deaf.out; do [ -f "$f" ] && { echo "--- $f"; cat "$f"; }; done >&2
    exit 1
}
# Polls for a line matching the pattern in a file, for up to ten seconds.
wait_for() {
    for _ in $(seq 100); do
        grep -q "$1" "$2" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

rm -rf "$work" && mkdir -p "$work" && cp "$flash" "$devsim" "$driver" "$work/" || fail "cannot fill $work"
cd "$work"
# A USB serial-flash image: marker, port, kind, then zeros; 200 chunks of payload.
{ printf '$\001\002' && head -c $((1024 + 200 * 2048 - 3)) /dev/zero; } >image.hdr || fail "cannot write the image"
# Creates the prefix on first use; then wine runs straight from this shell, so that $! is the program's process.
"$wine_run" "$prefix" cmd /c exit >/dev/null 2>&1
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" OSTREL_DEVSIM_INSTANCE="interrupt-$$"
WINEPREFIX=$(realpath -m "$prefix")
# The loader of the program's own width (Debian's path): the 32-bit one starts a 64-bit program as a child process of
# its own, which a signal to $! would then miss.
wine=(wine)
case "$WINEPREFIX" in
*win32) export WINEARCH=win32 ;;
*) export WINEARCH=win64 && [ -x /usr/lib/wine/wine64 ] && export WINELOADER=/usr/lib/wine/wine64 && wine=("$WINELOADER") ;;
esac
# Without address-space randomisation, as wine-run starts programs (see there); setarch runs the loader in its own
# process, so that $! stays the program's.
wine=(setarch "$(uname -m)" -R "${wine[@]}")

# Slow enough that the download is surely under way when the signal comes: about 4 s for the whole image.
"${wine[@]}" ostrel-devsim.exe --throttle 100000 >devsim.out 2>&1 &
emulator=$!
trap '"${wine[@]}" ostrel-devsim.exe --stop >/dev/null 2>&1; wait $emulator' EXIT
wait_for "ready" devsim.out || fail "the emulator did not start"

# Wine notes every change of the process's power throttling (information class 0x4d) as a stub on standard error.
WINEDEBUG=fixme+process "${wine[@]}" ostrel-flash.exe --log=flash.log image.hdr >flash.out 2>flash.err &
flasher=$!
wait_for "%" flash.out || fail "no progress"
kill -INT "$flasher"
wait "$flasher"
code=$?

[ "$code" -eq 130 ] || fail "exit code $code, not 130"
grep -q "incomplete image" flash.err || fail "no word of the incomplete image"
grep -q '"result":"interrupted"' flash.log || fail "the log does not say interrupted"
# The transfer asked to keep the 1 ms timer resolution while hidden (Wine refuses, so nothing is reset after).
grep -q 'NtSetInformationProcess.*0x0000004d' flash.err || fail "the timer-resolution throttling was not turned off"
# The emulator counts a download when its client has closed the pipe.
wait_for "download writes=" devsim.out || fail "the pipe was not closed"
echo "flash-interrupt: exit 130 after $(grep -o '"bytes":[0-9]*' flash.log) of $(stat -c %s image.hdr) image bytes"

# A driver that never gives up a cancelled write: its pipe is a Unix FIFO, held open for reading (or Wine's server
# would wait in its open for writing) and never read. $1 Ctrl+C, the second one second after the first; prints the
# milliseconds from the first to the end.
deaf_run() {
    rm -f deaf.fifo deaf.log && mkfifo deaf.fifo && exec 7<>deaf.fifo || fail "cannot make a FIFO"
    export OSTREL_DEVSIM_PIPE_FILE=Z:${PWD//\//\\}\\deaf.fifo
    "${wine[@]}" ostrel-flash.exe --log=deaf.log image.hdr >deaf.out 2>&1 &
    local flasher=$! began
    wait_for "%" deaf.out && sleep 0.5 || fail "no progress on the deaf driver"
    began=$(date +%s%N)
    kill -INT "$flasher" && { [ "$1" -eq 1 ] || { sleep 1 && kill -INT "$flasher"; }; }
    wait "$flasher"
    code=$?
    [ "$code" -eq 130 ] && [ "$(grep -c '"result":"interrupted"' deaf.log)" = 1 ] && [ "$(grep -vc '"result":"started"' deaf.log)" = 1 ] &&
        grep -q "did not give up" deaf.out || fail "exit $code, no word of the write or not one log line"
    echo $((($(date +%s%N) - began) / 1000000))
}
one=$(deaf_run 1) && [ "$one" -ge 9500 ] && [ "$one" -lt 14000 ] || fail "one Ctrl+C on the deaf driver: $one ms"
two=$(deaf_run 2) && [ "$two" -lt 3000 ] || fail "two Ctrl+C on the deaf driver: $two ms"
echo "flash-interrupt: on a driver that keeps its write, one Ctrl+C ends after $one ms, two 1 s apart after $two ms"
