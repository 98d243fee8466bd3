#!/usr/bin/env bash
# Checks the setup program under Wine. Builds it with CPack, copies a fresh 64-bit prefix, puts the stand-in driver
# library into its system folder (as the user guide tells users to), then:
#  1. installs silently with no language given: lang.ini is the English table; the user edits lang.ini, puts a
#     certificate into trusted and uninstalls silently: lang.ini and the certificate alone stay, the uninstall entry
#     goes;
#  2. installs silently in Korean: exactly the expected files, an empty folder trusted, the shortcut and the uninstall
#     entry; lang.ini is the Korean table; the installed tool starts under a Korean locale and its title and status
#     line read back as the Korean texts, as they do under a Western and a German code page; installing again while
#     it runs is refused and changes nothing;
#  3. installs German over it silently: lang.ini is the German table, still one uninstall entry;
#  4. uninstalls silently: no file, folder (an empty trusted too), shortcut or registry entry of ours is left.
# Usage: check-installer.sh CPACK BUILD-DIR PACKAGE-NAME ARCH EXE-NAME FLASH-EXE|- SOURCE-DIR DRIVE-EXE DRIVER-DLL
#   (ARCH win32 or win64; needs DISPLAY and the ko_KR.UTF-8 and de_DE.UTF-8 locales, which scripts/setup generates)
set -euo pipefail
cpack=$1 build=$(cd "$2" && pwd) package=$3 arch=$4 exe=$5 flash=$6 source=$(cd "$7" && pwd) drive=$8 dll=$9
product=${exe%.exe}
korean=ko_KR.UTF-8 german=de_DE.UTF-8

fail() {
    echo "check-installer: $*" >&2
    exit 1
}

[ -n "${DISPLAY:-}" ] || fail "no DISPLAY"
for l in "$korean" "$german"; do
    locale -a | grep -qix "${l%%.*}\.utf-\?8" || fail "the locale $l is not generated (run scripts/setup)"
done

(cd "$build" && "$cpack" -G NSIS >cpack-nsis.log 2>&1) || { cat "$build/cpack-nsis.log"; fail "cpack failed"; }
setup=$build/$package.exe
[ -f "$setup" ] || fail "no $setup"

# A prefix made once and never used is the template of a fresh one for every run.
template=$(dirname "$build")/wine-setup-template
prefix=$(dirname "$build")/wine-$arch-setup
wine_run() {
    "$source/scripts/wine-run" "$prefix" "$@"
}
if [ ! -f "$template/.ready" ]; then
    "$source/scripts/wine-run" "$template" cmd /c exit >/dev/null 2>&1 </dev/null || true
    # Its server writes the registry files as it ends, a few seconds after the last program.
    timeout 60 env WINEPREFIX="$template" wineserver -w 2>/dev/null || true
fi
rm -rf "$prefix"
cp -a "$template" "$prefix"

work=$(mktemp -d)
drive_pid=
cleanup() {
    [ -n "$drive_pid" ] && kill "$drive_pid" 2>/dev/null || true
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
WINEPREFIX=$prefix wineserver -p
wine_run cmd /c exit >/dev/null 2>&1 </dev/null || true

if [ "$arch" = win64 ]; then
    program_files="Program Files" view=/reg:64 shortcut="$product (64-bit)" system=system32
else
    program_files="Program Files (x86)" view=/reg:32 shortcut=$product system=syswow64
fi
cp "$dll" "$prefix/drive_c/windows/$system/"
folder_windows="C:\\$program_files\\Corvane\\Ostrel update"
folder=$prefix/drive_c/$program_files/Corvane/Ostrel\ update
link="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/$shortcut.lnk"
key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product"

install() {
    wine_run "$setup" /S "$@" >/dev/null 2>&1 </dev/null
}
# The uninstaller copies itself to a temporary file and returns at once: its last step removes the entry.
uninstall() {
    wine_run "$folder_windows\\Uninstall.exe" /S >/dev/null 2>&1 </dev/null || fail "the uninstaller failed"
    for _ in $(seq 150); do
        entry >/dev/null || return 0
        sleep 0.2
    done
    fail "the uninstaller did not remove the uninstall entry within 30 s"
}
entry() {
    wine_run reg query "$key" "$view" 2>/dev/null </dev/null | tr -d '\r'
}
entry_value() {
    awk -v name="$1" '$1 == name { sub(/^ *[^ ]+ +REG_[A-Z_]+ +/, ""); print }' <<<"$entry_now"
}
table_is() {
    cmp -s "$folder/lang.ini" "$folder/lang/$1.ini" || fail "lang.ini is not the $1 table after installing $2"
}
# The text of [section] key in the installed lang.ini (UTF-16 with its byte-order mark), in UTF-8.
table_text() {
    iconv -f UTF-16 -t UTF-8 "$folder/lang.ini" | tr -d '\r' | awk -v section="[$1]" -v key="$2=" \
        '/^\[/ { current = $0 } current == section && index($0, key) == 1 { print substr($0, length(key) + 1) }'
}

# 1. Silent, no language, then an edited lang.ini through an uninstall.
install || fail "the silent install failed"
table_is en "with no language"
[ -d "$folder/trusted" ] || fail "no folder trusted after installing"
echo "; edited" >>"$folder/lang.ini"
echo "a certificate" >"$folder/trusted/vendor.crt"
uninstall
left=$( (cd "$folder" && find . | sort | tr '\n' ' ') 2>/dev/null || true)
[ "$left" = ". ./lang.ini ./trusted ./trusted/vendor.crt " ] || fail "after uninstalling the folder holds: $left"
rm -r "$folder/trusted"

# 2. Silent, in Korean: what is installed, and the tool in that language.
install /LANG=ko || fail "the silent install with /LANG=ko failed"
expected=$(printf '%s\n' "./$exe" ./Uninstall.exe ./lang.ini ./user-guide.txt ./lang/{de,en,es,fr,ja,ko,ru,zh-CN}.ini \
    ./policies/corvane-ostrel.admx ./policies/en-US/corvane-ostrel.adml)
[ "$flash" != - ] && expected+=$'\n'"./$flash"
contents=$(cd "$folder" && find . -type f | sort)
[ "$contents" = "$(sort <<<"$expected")" ] || fail "$(printf 'installed\n%s\ninstead of\n%s' "$contents" "$expected")"
table_is ko "with /LANG=ko"
[ -d "$folder/trusted" ] && [ -z "$(ls -A "$folder/trusted")" ] || fail "no empty folder trusted after installing"
[ -f "$link" ] || fail "no Start-menu shortcut $link"
grep -qaF "$exe" "$link" || iconv -f UTF-16LE -t UTF-8 "$link" 2>/dev/null | grep -qaF "$exe" ||
    fail "the shortcut does not lead to $exe"
entry_now=$(entry) || fail "no uninstall entry $key ($view)"
[ "$(entry_value DisplayName)" = "$shortcut" ] || fail "display name \"$(entry_value DisplayName)\""
[ "$(entry_value DisplayVersion)" = 1.0.0.1 ] || fail "display version \"$(entry_value DisplayVersion)\""
[ "$(entry_value Publisher)" = Corvane ] || fail "publisher \"$(entry_value Publisher)\""
[ $(($(entry_value EstimatedSize))) -gt 100 ] || fail "estimated size \"$(entry_value EstimatedSize)\" KiB"

# The installed tool started under the locale $1 (which sets Wine's ANSI code page), until it shows its texts; its
# title and status line as the window holds them, in UTF-8, go to shown_title and shown_status. It is left running
# until shown_texts_end.
show_texts() {
    rm -rf "$work/handshake" && mkdir "$work/handshake"
    # The last start's output goes first: the program started below truncates the file only once it runs, and until
    # then the loop would read the old checkpoint and texts, or the file as it is being emptied.
    rm -f "$work/drive.out"
    LC_ALL=$1 wine_run "$drive" --tool "$folder_windows\\$exe" --texts --instance "setup-$$" \
        --handshake "Z:${work//\//\\}\\handshake" >"$work/drive.out" 2>&1 </dev/null &
    drive_pid=$!
    for _ in $(seq 300); do
        grep -qs 'checkpoint texts' "$work/drive.out" && break
        kill -0 "$drive_pid" 2>/dev/null || { cat "$work/drive.out"; fail "the installed tool did not show its window"; }
        sleep 0.1
    done
    grep -qs 'checkpoint texts' "$work/drive.out" || fail "the installed tool did not show its window within 30 s"
    shown_title=$(sed -n 's/^ostrel-drive: title //p' "$work/drive.out" | tr -d '\r')
    shown_status=$(sed -n 's/^ostrel-drive: status //p' "$work/drive.out" | tr -d '\r')
}
shown_texts_end() {
    touch "$work/handshake/texts"
    wait "$drive_pid" || { cat "$work/drive.out"; fail "the installed tool did not close"; }
    drive_pid=
    [ "$shown_title" = "$(table_text title 100)" ] || fail "under $1 the window's title reads \"$shown_title\""
    [ "$shown_status" = "$(table_text message 1025)" ] || fail "under $1 the status line reads \"$shown_status\""
}
show_texts "$korean"
if install /LANG=de; then
    fail "installing while the tool runs did not fail"
fi
table_is ko "again while the tool ran"
shown_texts_end "$korean"
# The Korean table reads as Korean whatever the system's code page: Western (C.UTF-8 gives Wine 1252) and German.
for locale in C.UTF-8 "$german"; do
    show_texts "$locale"
    shown_texts_end "$locale"
done

# 3. Over the same version, in German.
install /LANG=de || fail "installing over the same version failed"
table_is de "over the same version with /LANG=de"
[ "$(wine_run reg query "${key%\\*}" /s "$view" 2>/dev/null </dev/null | grep -c 'DisplayName.*REG_SZ.*Corvane')" = 1 ] ||
    fail "not exactly one uninstall entry after installing over the same version"

# 4. Uninstall: nothing of ours stays.
uninstall
[ ! -e "$folder" ] || fail "the install folder stays: $(cd "$folder" && find . | tr '\n' ' ')"
[ ! -e "$(dirname "$folder")" ] || fail "the Corvane folder stays"
[ ! -e "$link" ] || fail "the shortcut stays"
# The server writes the registry to the prefix's files as it ends.
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
ours=$(grep -il 'corvane\|ostrel' "$prefix"/*.reg || true)
[ -z "$ours" ] || fail "the registry still names us: $(grep -i 'corvane\|ostrel' "$prefix"/*.reg | head -3)"

# The prefix stays for a look after a failure only.
rm -rf "$prefix"
echo "check-installer: $package.exe installs (English silently, Korean and German on request) and uninstalls cleanly;" \
    "the installed tool shows \"$shown_title\" / \"$shown_status\""
