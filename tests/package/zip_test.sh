#!/usr/bin/env bash
# The Windows zip as a user gets it: unpacked into an empty folder, its
# programs run under Wine with nothing else around them.
#
#   zip_test.sh ZIP WINE_RUN SOURCE_DIR
set -euo pipefail
zip=$1
wine_run=$2
source_dir=$3

[ -f "$zip" ] || { echo "zip_test: no $zip (build the package target first)"; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/o8r-zip.XXXXXX")
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"
top=$(find "$work" -mindepth 1 -maxdepth 1 -type d)
status=0
fail() { echo "zip_test: $*"; status=1; }

for f in o8rprog.exe o8r-programmer.exe MCUType.mcu README.md LICENSE Qt6Core.dll Qt6Gui.dll \
    Qt6Widgets.dll platforms/qwindows.dll platforms/qoffscreen.dll styles/qwindowsvistastyle.dll \
    libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    [ -f "$top/$f" ] || fail "$f is missing"
done
[ ! -e "$top/SiUSBXp.dll" ] || fail "SiUSBXp.dll must not be shipped"
[ ! -e "$top/Qt6Test.dll" ] || fail "Qt6Test.dll is not needed"

cp "$source_dir/data/sample.mot" "$work/"
cd "$work"
"$wine_run" "$top/o8rprog.exe" mcus >mcus.out 2>mcus.err || fail "o8rprog mcus failed"
grep -q R5F212A8SN mcus.out || fail "o8rprog mcus does not list R5F212A8SN"
[ ! -s mcus.err ] || fail "o8rprog mcus wrote: $(cat mcus.err)"

"$wine_run" "$top/o8rprog.exe" --box sim program --mcu R5F212A8SN sample.mot >program.out \
    2>program.err || fail "o8rprog program failed: $(cat program.out program.err)"
grep -q "Program successfully completed." program.out || fail "program: $(cat program.out)"
[ ! -s program.err ] || fail "o8rprog program wrote: $(cat program.err)"

# Without the box's library (the zip has none): one clear message, exit 1.
detect_status=0
"$wine_run" "$top/o8rprog.exe" detect >detect.out 2>detect.err || detect_status=$?
[ "$detect_status" = 1 ] || fail "o8rprog detect without SiUSBXp.dll: status $detect_status"
grep -q '^ERROR: Can not load SiUSBXp.dll (' detect.err ||
    fail "o8rprog detect without SiUSBXp.dll wrote: $(cat detect.err)"

# The desktop program runs for a few seconds and is then stopped; it must not
# have complained meanwhile.
gui_status=0
timeout 8 "$wine_run" "$top/o8r-programmer.exe" --simulate -platform offscreen >gui.out \
    2>gui.err || gui_status=$?
[ "$gui_status" = 124 ] || fail "o8r-programmer ended early with status $gui_status"
# Wine's own notes about the build machine's file system are not the program's.
grep -v '^wine: Read access denied for device' gui.err >gui.own || true
[ ! -s gui.own ] || fail "o8r-programmer wrote: $(cat gui.own)"
exit $status
