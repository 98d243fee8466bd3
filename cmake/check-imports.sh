#!/usr/bin/env bash
# Checks that each program imports statically only libraries that Windows keeps among its KnownDLLs, which are
# always taken from the system; any other library would be looked for in the program's own folder first, where a
# file of its name may have been planted (a Downloads folder). Such libraries are loaded at run time from the
# system folder instead. So are comdlg32 and shell32, KnownDLLs though they are: the libraries they import in turn
# (comctl32) are not all KnownDLLs, and Wine, like an older Windows, looks for those by the search order.
# Usage: check-imports.sh OBJDUMP PROGRAM...
set -euo pipefail
objdump=$1
shift
# The KnownDLLs of Windows 10 and 11 (HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs) that a
# program of ours may use, and the C runtime.
known=" advapi32.dll gdi32.dll imm32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll shlwapi.dll user32.dll ws2_32.dll "
status=0
checked=0
for program in "$@"; do
    [ -n "$program" ] || continue
    checked=$((checked + 1))
    while read -r name; do
        lower=$(tr '[:upper:]' '[:lower:]' <<<"$name")
        if [[ $known != *" $lower "* ]]; then
            echo "check-imports: $(basename "$program") imports $name, which is no KnownDLL" >&2
            status=1
        fi
    done < <("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p')
done
[ $status -eq 0 ] && echo "check-imports: $checked programs import only KnownDLLs"
exit $status
