#!/usr/bin/env bash
# Checks what IT deploys. cpack builds the setup program, the MSI package and the winget manifests of this version and
# of a lower one; the manifests must match the installers. Then, under Wine in a fresh prefix, each installer (setup
# for the current user, for all users, the MSI package with LANG=ko) goes over its lower version, leaving one entry
# and the right table, and is removed; the current user's leaves HKLM alone, the MSI refuses an unknown LANG.
# Usage: check-deploy.sh CPACK BUILD-DIR PACKAGE-NAME ARCH VERSION SOURCE-DIR   (ARCH win32 or win64)
set -euo pipefail
cpack=$1 build=$(cd "$2" && pwd) package=$3 arch=$4 version=$5 source=$(cd "$6" && pwd)
old_version=0.9.0.0

fail() {
    echo "check-deploy: $*" >&2
    exit 1
}

work=$(mktemp -d)
template=$(dirname "$build")/wine-setup-template
prefix=$(dirname "$build")/wine-$arch-deploy
cleanup() {
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

(cd "$build" && "$cpack" -G NSIS >"$work/cpack.log" 2>&1 &&
    "$cpack" -G NSIS -B "$work/old" -D CPACK_PACKAGE_VERSION=$old_version >>"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log"; fail "cpack failed"; }
setup=$build/$package-setup.exe msi=$build/ostrel-update-$version-$arch.msi
old_setup=$work/old/$package-setup.exe old_msi=$work/old/ostrel-update-$old_version-$arch.msi
staged=$build/_CPack_Packages/$arch/NSIS/$package-setup
for f in "$setup" "$msi" "$old_setup" "$old_msi"; do [ -f "$f" ] || fail "no $f"; done

# 1. winget.
python3 - "$build/winget" "$build" "$version" "$msi" <<'EOF' || fail "the winget manifests do not match the installers"
import hashlib, pathlib, subprocess, sys, yaml
folder, build, version, msi = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]), sys.argv[3], sys.argv[4]
kinds = {}
for path in folder.glob("*.yaml"):
    manifest = yaml.safe_load(path.read_text(encoding="utf-8"))
    assert manifest["PackageIdentifier"] == "Corvane.OstrelUpdate" and manifest["PackageVersion"] == version, path
    assert manifest["ManifestVersion"] == "1.6.0", path
    kinds[manifest["ManifestType"]] = manifest
assert sorted(kinds) == ["defaultLocale", "installer", "version"], sorted(kinds)
product = next(r.split("\t")[1] for r in subprocess.run(["msiinfo", "export", msi, "Property"], capture_output=True,
               text=True, check=True).stdout.splitlines() if r.startswith("ProductCode\t"))
seen = set()
for installer in kinds["installer"]["Installers"]:
    local = build / installer["InstallerUrl"].rsplit("/", 1)[1]
    assert installer["InstallerSha256"] == hashlib.sha256(local.read_bytes()).hexdigest().upper(), local
    switch = {"user": "/CurrentUser", "machine": "/AllUsers"}[installer["Scope"]]
    assert installer["InstallerType"] == "msi" or installer["InstallerSwitches"]["Custom"] == switch
    assert installer["InstallerType"] == "nullsoft" or installer["ProductCode"] == product
    seen.add((installer["InstallerType"], installer["Scope"]))
assert seen == {("nullsoft", "user"), ("nullsoft", "machine"), ("msi", "machine")}, seen
EOF

if [ ! -f "$template/.ready" ]; then
    "$source/scripts/wine-run" "$template" cmd /c exit >/dev/null 2>&1 </dev/null || true
    timeout 60 env WINEPREFIX="$template" wineserver -w 2>/dev/null || true
fi
rm -rf "$prefix"
cp -a "$template" "$prefix"
WINEPREFIX=$prefix wineserver -p
wine_run() {
    timeout 120 "$source/scripts/wine-run" "$prefix" "$@" </dev/null
}
if [ "$arch" = win64 ]; then
    program_files="Program Files" view=/reg:64
else
    program_files="Program Files (x86)" view=/reg:32
fi
machine_folder=$prefix/drive_c/$program_files/Corvane/Ostrel\ update
local_app_data=$(find "$prefix/drive_c/users" -mindepth 3 -maxdepth 3 -path '*/AppData/Local' ! -path '*/Public/*')
user_folder=$local_app_data/Programs/Corvane/Ostrel\ update
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall'
# The DisplayVersion of every entry of ours under the root $1 (HKLM in the package's view, or HKCU), one a line.
entries() {
    wine_run reg query "$1\\$uninstall_key" /s $([ "$1" = HKLM ] && echo "$view") 2>/dev/null | tr -d '\r' |
        awk '/^HKEY/ { name = ""; version = "" } /DisplayName .*Corvane Ostrel update/ { name = 1 }
             /DisplayVersion/ { version = $3 } /^$/ { if (name) print version; name = "" }
             END { if (name) print version }'
}
one_entry() {
    local found
    found=$(entries "$1")
    [ "$found" = "$2" ] || fail "after $3 the entries under $1 are \"${found//$'\n'/, }\", not one of $2"
}
gone() {
    for _ in $(seq 150); do
        [ ! -e "$1" ] && return 0
        sleep 0.2
    done
    fail "$2 is still there after 30 s: $(cd "$1" && find . | tr '\n' ' ')"
}

# 2. For the current user, without touching HKLM: the registry files hold what the server wrote once it ends.
wine_run "$old_setup" /S /CurrentUser >/dev/null 2>&1 || fail "the lower version's setup /S /CurrentUser failed"
one_entry HKCU $old_version "installing the lower version for the current user"
wine_run "$setup" /S /CurrentUser /LANG=de >/dev/null 2>&1 || fail "setup /S /CurrentUser failed"
one_entry HKCU "$version" "installing for the current user over a lower version"
cmp -s "$user_folder/lang.ini" "$user_folder/lang/de.ini" || fail "lang.ini is not the German table for the user"
[ -z "$(entries HKLM)" ] && [ ! -e "$machine_folder" ] || fail "installing for the current user wrote for all users"
WINEPREFIX=$prefix wineserver -k
WINEPREFIX=$prefix timeout 30 wineserver -w || true
! grep -qi 'corvane\|ostrel' "$prefix/system.reg" || fail "installing for the current user wrote under HKLM"
WINEPREFIX=$prefix wineserver -p
wine_run "$(sed 's|.*/drive_c/|C:/|; s|/|\\|g' <<<"$user_folder")\\Uninstall.exe" /S >/dev/null 2>&1 ||
    fail "the current user's uninstaller failed"
gone "$user_folder" "the current user's installation"
[ -z "$(entries HKCU)" ] || fail "the current user's entry stays after uninstalling"

# 3. For all users, over a lower version.
wine_run "$old_setup" /S >/dev/null 2>&1 || fail "the lower version's setup /S failed"
one_entry HKLM $old_version "installing the lower version for all users"
wine_run "$setup" /S /AllUsers >/dev/null 2>&1 || fail "setup /S /AllUsers failed"
one_entry HKLM "$version" "installing for all users over a lower version"
wine_run "C:\\$program_files\\Corvane\\Ostrel update\\Uninstall.exe" /S >/dev/null 2>&1 || fail "the uninstaller failed"
gone "$machine_folder" "the installation for all users"

# 4. The MSI package.
if wine_run msiexec /i "Z:${msi//\//\\}" /qn LANG=xx >/dev/null 2>&1; then
    fail "msiexec with LANG=xx did not fail"
fi
[ -z "$(entries HKLM)" ] && [ ! -e "$machine_folder" ] || fail "msiexec with LANG=xx installed something"
wine_run msiexec /i "Z:${old_msi//\//\\}" /qn >/dev/null 2>&1 || fail "msiexec /i of the lower version failed"
one_entry HKLM $old_version "installing the lower version's MSI package"
cmp -s "$machine_folder/lang.ini" "$machine_folder/lang/en.ini" || fail "lang.ini is not English without LANG"
wine_run msiexec /i "Z:${msi//\//\\}" /qn LANG=ko >/dev/null 2>&1 || fail "msiexec /i LANG=ko failed"
one_entry HKLM "$version" "installing the MSI package over a lower version"
cmp -s "$machine_folder/lang.ini" "$machine_folder/lang/ko.ini" || fail "lang.ini is not Korean with LANG=ko"
installed=$(cd "$machine_folder" && find . -type f | sort)
expected=$( (cd "$staged" && find . -type f; echo ./lang.ini) | sort)
[ "$installed" = "$expected" ] && [ -d "$machine_folder/trusted" ] ||
    fail "$(printf 'the MSI package installed\n%s\ninstead of\n%s\nand trusted' "$installed" "$expected")"
# Windows puts a per-machine shortcut into the common Start menu; Wine's msi into the user's.
[ -n "$(find "$prefix/drive_c" -name 'Corvane Ostrel update*.lnk')" ] || fail "the MSI package made no shortcut"
wine_run msiexec /x "Z:${msi//\//\\}" /qn >/dev/null 2>&1 || fail "msiexec /x failed"
# Wine's msi leaves the installation folder and the vendor's folder above it behind, empty.
left=$(find "$prefix/drive_c" -type f \( -ipath '*corvane*' -o -iname '*ostrel*' \))
[ -z "$left" ] && [ -z "$(entries HKLM)" ] || fail "after msiexec /x: ${left:-an entry}"

WINEPREFIX=$prefix wineserver -k
WINEPREFIX=$prefix timeout 30 wineserver -w || true
ours=$(grep -i 'corvane\|ostrel' "$prefix"/*.reg | head -3 || true)
[ -z "$ours" ] || fail "the registry still names us: $ours"
rm -rf "$prefix"
echo "check-deploy: winget manifests match; setup for the current user and for all users, and the MSI package" \
    "(LANG=ko), each over $old_version, leave one entry and uninstall cleanly"
