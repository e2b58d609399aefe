#!/usr/bin/env bash
# Builds the Debian package from a build tree, unpacks it into a temporary root
# and checks it as a user would meet it: the installed programs run and find
# their relocated catalogue, the desktop entry, AppStream data and manual pages
# pass their validators, the completion offers parts, and lintian finds no
# error.
#
#   check_package.sh BUILD_DIR VERSION
#
# Exit 77 (skipped) where dpkg-deb is missing.
set -uo pipefail

build=$1
version=$2
for tool in cpack dpkg-deb dpkg-shlibdeps; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is not installed (script/bootstrap installs it)"
        exit 77
    fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/o8r-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
status=0
fail() {
    echo "FAIL: $*"
    status=1
}
# expect DESCRIPTION COMMAND...: the command succeeds and prints nothing on stderr.
expect() {
    local what=$1
    shift
    if ! "$@" >"$work/out" 2>"$work/err"; then
        fail "$what: $* exited with $?"
        cat "$work/out" "$work/err"
    elif [ -s "$work/err" ]; then
        fail "$what: $* wrote to stderr"
        cat "$work/err"
    fi
}

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out.d" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack could not build the package"
    exit 1
fi
arch=$(dpkg --print-architecture)
deb=$work/out.d/o8r-programmer_${version}_${arch}.deb
if [ ! -f "$deb" ]; then
    ls "$work/out.d"
    echo "FAIL: no $(basename "$deb")"
    exit 1
fi

# The control data.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Version)" = "$version" ] || fail "Version is $(field Version), not $version"
[ "$(field Section)" = electronics ] || fail "Section is $(field Section)"
field Depends | grep -q 'libc6' || fail "Depends lacks what dpkg-shlibdeps finds: $(field Depends)"
dpkg-deb -I "$deb" postinst | grep -q 'udevadm control --reload-rules' || fail "postinst reloads no udev rules"

root=$work/root
dpkg-deb -x "$deb" "$root"
usr=$root/usr
for file in bin/o8rprog bin/o8r-programmer share/o8r-programmer/MCUType.mcu \
    share/doc/o8r-programmer/examples/sample.mot share/doc/o8r-programmer/README.md \
    share/doc/o8r-programmer/LICENSE share/doc/o8r-programmer/copyright \
    share/applications/o8r-programmer.desktop \
    share/icons/hicolor/scalable/apps/o8r-programmer.svg \
    share/icons/hicolor/48x48/apps/o8r-programmer.png \
    share/icons/hicolor/256x256/apps/o8r-programmer.png \
    lib/udev/rules.d/70-o8r-programmer.rules share/man/man1/o8rprog.1.gz \
    share/man/man1/o8r-programmer.1.gz share/bash-completion/completions/o8rprog; do
    [ -f "$usr/$file" ] || fail "the package lacks /usr/$file"
done

# The programs, run from the unpacked tree: the catalogue is found in
# ../share/o8r-programmer/ from bin/.
cd "$work" || exit 1
expect "o8rprog --version" "$usr/bin/o8rprog" --version
grep -qx "o8rprog $version" "$work/out" || fail "o8rprog --version says $(cat "$work/out")"
expect "o8rprog mcus" "$usr/bin/o8rprog" mcus
grep -q '^    R5F212A8SN ' "$work/out" || fail "o8rprog mcus lists no R5F212A8SN"
expect "program the sample" "$usr/bin/o8rprog" --box sim --sim-state box.state --quiet \
    program --mcu R5F212A8SN "$usr/share/doc/o8r-programmer/examples/sample.mot" --verify
"$usr/bin/o8rprog" doctor >"$work/doctor" 2>&1
doctor_status=$?
grep -qx "ok: catalogue $usr/share/o8r-programmer/MCUType.mcu" "$work/doctor" ||
    fail "doctor does not find the relocated catalogue: $(cat "$work/doctor")"
# On a machine without a box, doctor says so and exits 1.
if ! grep -qsix ea61 /sys/bus/usb/devices/*/idProduct; then
    [ $doctor_status -eq 1 ] && grep -q '^problem: no box found' "$work/doctor" ||
        fail "doctor without a box: exit $doctor_status, $(cat "$work/doctor")"
fi
expect "o8r-programmer --version" env QT_QPA_PLATFORM=offscreen "$usr/bin/o8r-programmer" --version
grep -qx "o8r-programmer $version" "$work/out" || fail "o8r-programmer --version says $(cat "$work/out")"

# The Python module, imported from another folder with the unpacked tree on
# its path: it finds the relocated catalogue from its own folder.
module=$(ls "$usr"/lib/python3/dist-packages/o8r/_o8r.*.so 2>/dev/null)
if [ -x /usr/bin/python3 ] && [ -n "$module" ]; then
    for file in __init__.py _o8r.pyi py.typed; do
        [ -f "$usr/lib/python3/dist-packages/o8r/$file" ] || fail "the package lacks o8r/$file"
    done
    # A module built with the sanitizers (script/test's build) needs their
    # runtime loaded before the interpreter starts.
    preload=$(ldd "$module" | awk '/libasan|libstdc\+\+/ { printf "%s ", $3 }')
    if ldd "$module" | grep -q libasan; then
        export LD_PRELOAD=$preload ASAN_OPTIONS=detect_leaks=0
    fi
    expect "import o8r" env PYTHONPATH="$usr/lib/python3/dist-packages" /usr/bin/python3 -c \
        'import o8r; print(o8r.mcus())'
    unset LD_PRELOAD
    grep -q "'part': 'R5F212A8SN'" "$work/out" || fail "o8r.mcus() lists no R5F212A8SN"
fi

# The desktop's files.
expect "desktop entry" desktop-file-validate "$usr/share/applications/o8r-programmer.desktop"
metainfo=("$usr"/share/metainfo/*.metainfo.xml)
[ -f "${metainfo[0]}" ] || fail "the package lacks AppStream data"
expect "AppStream data" appstreamcli validate --no-net "${metainfo[@]}"
for page in o8rprog o8r-programmer; do
    expect "manual page $page" env MANWIDTH=80 man --warnings -l "$usr/share/man/man1/$page.1.gz"
done

# The completion offers the catalogue's parts after --mcu.
if [ -f /usr/share/bash-completion/bash_completion ]; then
    parts=$(PATH="$usr/bin:$PATH" bash -c '
        source /usr/share/bash-completion/bash_completion
        source "$1"
        COMP_WORDS=(o8rprog program --mcu R5F212B8); COMP_CWORD=3
        COMP_LINE="${COMP_WORDS[*]}"; COMP_POINT=${#COMP_LINE}
        _o8rprog o8rprog R5F212B8 --mcu
        echo "${COMPREPLY[*]}"' _ "$usr/share/bash-completion/completions/o8rprog")
    [ "$parts" = "R5F212B8SN R5F212B8SD" ] || fail "completion after --mcu R5F212B8 gives '$parts'"
fi

if command -v lintian >/dev/null; then
    lintian --fail-on error "$deb" >"$work/lintian" 2>&1 ||
        fail "lintian: $(cat "$work/lintian")"
    cat "$work/lintian"
fi

[ $status -eq 0 ] && echo "package $(basename "$deb") checked"
exit $status
