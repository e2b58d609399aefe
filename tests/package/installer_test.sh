#!/usr/bin/env bash
# The Windows installer as a user runs it: installed silently (/S) under
# Wine for the user alone, its programs run from the installed folder, its
# Start-menu entries and Programs and Features entry checked, then
# uninstalled, after which nothing of it may be left.
#
#   installer_test.sh SETUP_EXE WINE_RUN VERSION
set -euo pipefail
setup=$1
wine_run=$2
version=$3

[ -f "$setup" ] || { echo "installer_test: no $setup"; exit 1; }
# No menu entries on the build machine's own desktop.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
status=0
fail() { echo "installer_test: $*"; status=1; }
unix_path() { "$wine_run" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
windows_var() { "$wine_run" cmd /c echo "%$1%" 2>/dev/null | tr -d '\r'; }

dir=$(unix_path "$(windows_var LOCALAPPDATA)\\Programs\\o8r-programmer")
menu=$(unix_path "$(windows_var APPDATA)\\Microsoft\\Windows\\Start Menu\\Programs\\o8r-programmer")
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\o8r-programmer'
[ -n "$dir" ] && [ -n "$menu" ] || { echo "installer_test: no user folders in the Wine prefix"; exit 1; }
# A run before that failed half-way is no part of this one.
rm -rf "$dir" "$menu"
"$wine_run" reg delete "$key" /f >/dev/null 2>&1 || true

"$wine_run" "$setup" /S || fail "the silent install ended with status $?"
for f in o8rprog.exe o8r-programmer.exe MCUType.mcu Qt6Core.dll platforms/qwindows.dll \
    o8rprog-console.cmd Uninstall.exe; do
    [ -f "$dir/$f" ] || fail "$f is not installed"
done
[ ! -e "$dir/SiUSBXp.dll" ] || fail "SiUSBXp.dll must not be installed"
for link in "o8r-programmer.lnk" "o8rprog console.lnk" "Uninstall o8r-programmer.lnk"; do
    [ -f "$menu/$link" ] || fail "no Start-menu entry $link"
done
shown=$("$wine_run" reg query "$key" /v DisplayVersion 2>/dev/null | tr -d '\r') || true
grep -q "REG_SZ *$version$" <<<"$shown" || fail "Programs and Features shows no version $version"

out=$("$wine_run" "$dir/o8rprog.exe" --version 2>&1 | tr -d '\r') || fail "o8rprog --version failed"
[ "$out" = "o8rprog $version" ] || fail "o8rprog --version says: $out"
# Read whole: grep -q would close the pipe on the program while it writes.
mcus=$("$wine_run" "$dir/o8rprog.exe" mcus 2>&1) || fail "the installed o8rprog mcus failed: $mcus"
grep -q R5F212A8SN <<<"$mcus" || fail "the installed o8rprog mcus does not list R5F212A8SN"

# The uninstaller copies itself away and returns at once: wait for it.
"$wine_run" "$dir/Uninstall.exe" /S || fail "the silent uninstall ended with status $?"
for _ in $(seq 60); do
    [ -e "$dir" ] || [ -e "$menu" ] || break
    sleep 0.5
done
[ ! -e "$dir" ] || fail "left behind: $(cd "$dir" && find . | head -20)"
[ ! -e "$menu" ] || fail "the Start-menu folder is left behind"
if "$wine_run" reg query "$key" >/dev/null 2>&1; then
    fail "the Programs and Features entry is left behind"
fi
exit $status
