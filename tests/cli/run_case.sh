#!/usr/bin/env bash
# Runs one command-line case against the simulated box and compares its
# transcript with the golden one.
#
#   run_case.sh O8RPROG SOURCE_DIR CASE
#
# The case (cases/CASE.sh) runs in a fresh temporary folder holding copies of
# the sample images; each `run` line adds the command, its standard output,
# its standard error (lines marked "stderr| ") and its exit status to the
# transcript. O8R_UPDATE_GOLDEN=1 writes the transcript as the new golden file.
#
# Windows builds: O8R_EMULATOR (Wine) runs the program, and the CR LF line
# ends of its console output read as LF. With O8R_STANDIN_DIR set, each run of
# o8rprog on the simulated box goes through --box auto and the stand-in
# SiUSBXp.dll in that folder instead, its --sim-* options passed on in the
# stand-in's environment; the transcript must still equal the golden one,
# except for how many times a readiness loop polled the box (real time).
set -uo pipefail

prog=$1
source_dir=$2
case_name=$3
here=$(cd "$(dirname "$0")" && pwd)
case_file="$here/cases/$case_name.sh"
golden="$here/golden/$case_name.txt"

# Names in any script pass through Wine and the tools as UTF-8.
export LC_ALL=C.UTF-8
work=$(mktemp -d "${TMPDIR:-/tmp}/o8rprog-$case_name.XXXXXX")
cleanup() { [ "${O8R_KEEP_WORK:-0}" = 1 ] || rm -rf "$work"; }
trap cleanup EXIT
cp "$source_dir/data/sample.mot" "$source_dir/data/firmware-sample.mot" "$work/"
cp "$here"/data/*.mot "$work/" 2>/dev/null || true
cd "$work" || exit 1
transcript="$work/transcript.txt"
: >"$transcript"

# The simulated box, its state kept in this folder across the case's runs.
SIM=(--box sim --sim-state box.state)

# run o8rprog ARGS... | run TOOL ARGS...
run() {
    local tool=$1
    shift
    local exe=$tool
    [ "$tool" = o8rprog ] && exe=$prog
    { printf '$ %s' "$tool"; [ $# -eq 0 ] || printf ' %q' "$@"; printf '\n'; } >>"$transcript"
    local status
    if [ "$tool" = o8rprog ]; then
        run_program "$@" </dev/null >"$work/.out" 2>"$work/.err"
        status=$?
        [ -z "${O8R_EMULATOR:-}" ] || sed -i 's/\r$//' "$work/.out" "$work/.err"
    else
        "$exe" "$@" </dev/null >"$work/.out" 2>"$work/.err"
        status=$?
    fi
    cat "$work/.out" >>"$transcript"
    # An output without a final line end (an S-record file) still ends its line.
    [ -n "$(tail -c 1 "$work/.out")" ] && echo >>"$transcript"
    sed 's/^/stderr| /' "$work/.err" >>"$transcript"
    printf 'exit %d\n\n' "$status" >>"$transcript"
}

# run_program ARGS...: o8rprog itself, under the emulator and over the
# stand-in library when the build asks for them.
run_program() {
    local args=() switches=() state=""
    if [ -z "${O8R_STANDIN_DIR:-}" ]; then
        args=("$@")
    else
        while [ $# -gt 0 ]; do
            case $1 in
                --box) [ "$2" = sim ] && args+=(--box auto) || args+=(--box "$2"); shift ;;
                --sim-state) state=$2; shift ;;
                --sim-update-mode) switches+=(update-mode) ;;
                --sim-fault) switches+=("$2"); shift ;;
                --sim-protect) switches+=("protected:$2"); shift ;;
                --mcu) args+=(--mcu "$2"); switches+=("mcu:$2"); shift ;;
                *) args+=("$1") ;;
            esac
            shift
        done
    fi
    local IFS=,
    O8R_STANDIN_STATE=$state O8R_STANDIN_FAULTS="${switches[*]}" \
        WINEPATH="${O8R_STANDIN_DIR:-}" ${O8R_EMULATOR:-} "$prog" "${args[@]}"
}

# Runs of the same readiness poll (one line, or a modem query and a flush)
# squeezed to one, for comparing runs on real time with those on virtual time.
squeeze_polls() {
    awk '{
        line[++n] = $0
        if (n >= 2 && line[n] == line[n - 1] && line[n] ~ /^(modem|queue|flush)/) { n--; next }
        if (n >= 4 && line[n] == line[n - 2] && line[n - 1] == line[n - 3] &&
            line[n] ~ /^(modem|queue|flush)/ && line[n - 1] ~ /^(modem|queue|flush)/) { n -= 2 }
    } END { for (i = 1; i <= n; i++) print line[i] }' "$1"
}

# run_tty o8rprog ARGS...: the same on a terminal (a pseudo-terminal made by
# script(1)), its output shown as cat -v shows control characters.
run_tty() {
    shift
    { printf '$ (terminal) o8rprog'; printf ' %q' "$@"; printf '\n'; } >>"$transcript"
    local command
    command=$(printf '%q ' ${O8R_EMULATOR:-} "$prog" "$@")
    script -qec "$command" /dev/null </dev/null >"$work/.out" 2>&1
    local status=$?
    cat -v "$work/.out" >>"$transcript"
    [ -n "$(tail -c 1 "$work/.out")" ] && echo >>"$transcript"
    printf 'exit %d\n\n' "$status" >>"$transcript"
}

# run_trace FILE: a trace as `cat` shows it, but each run of identical polls
# (a modem line, or a modem and flush pair, repeated) collapsed into its first
# line and "(xN)"; every write and read line stays as it is.
run_trace() {
    printf '$ trace %s\n' "$1" >>"$transcript"
    awk '
        { line[NR] = $0 }
        END {
            # Units: a modem line with the flush that follows it, or one line.
            n = 0
            for (i = 1; i <= NR; i++) {
                if (line[i] ~ /^modem / && i < NR && line[i + 1] ~ /^flush /) {
                    unit[++n] = line[i] "\n" line[i + 1]; i++
                } else {
                    unit[++n] = line[i]
                }
            }
            for (i = 1; i <= n; i += count) {
                count = 1
                if (unit[i] ~ /^(modem|flush) /)
                    while (i + count <= n && unit[i + count] == unit[i]) count++
                k = split(unit[i], part, "\n")
                print part[1] (count > 1 ? " (x" count ")" : "")
                for (m = 2; m <= k; m++) print part[m]
            }
        }
    ' "$1" >>"$transcript"
    printf '\n' >>"$transcript"
}

# refused WORD ARGS...: o8rprog run with ARGS must be refused as a usage error:
# the transcript holds its exit status and whether its message names WORD (an
# option, an argument or a value), not the message's wording.
refused() {
    local word=$1
    shift
    { printf '$ o8rprog'; [ $# -eq 0 ] || printf ' %q' "$@"; printf '\n'; } >>"$transcript"
    run_program "$@" </dev/null >"$work/.out" 2>"$work/.err"
    local status=$?
    [ -z "${O8R_EMULATOR:-}" ] || sed -i 's/\r$//' "$work/.out" "$work/.err"
    local named=no
    grep -qF -- "$word" "$work/.err" && named=yes
    printf 'exit %d, stdout %s, names %s: %s\n\n' "$status" \
        "$([ -s "$work/.out" ] && echo used || echo empty)" "$word" "$named" >>"$transcript"
}

# note TEXT: a line of explanation in the transcript.
note() { printf '# %s\n' "$*" >>"$transcript"; }

# shellcheck source=/dev/null
source "$case_file"

if [ "${O8R_UPDATE_GOLDEN:-0}" = 1 ] && [ -z "${O8R_EMULATOR:-}" ]; then
    cp "$transcript" "$golden"
    echo "updated $golden"
    exit 0
fi
# How often a poll repeated is the pace of the polling, not the protocol: the
# counts are shown but not compared.
mask_counts() { sed -E 's/ \(x[0-9]+\)$/ (xN)/' "$1"; }
if [ -n "${O8R_STANDIN_DIR:-}" ]; then
    # Real time: a poll may run once where virtual time ran it several times.
    sed -E 's/ \(x[0-9]+\)$//' "$golden" >"$work/.golden"
    sed -E 's/ \(x[0-9]+\)$//' "$transcript" >"$work/.transcript"
    squeeze_polls "$work/.golden" >"$work/.golden-squeezed"
    squeeze_polls "$work/.transcript" >"$work/.transcript-squeezed"
    if ! diff -u "$work/.golden-squeezed" "$work/.transcript-squeezed"; then
        echo "cli.$case_name over the stand-in library: the transcript differs from $golden"
        exit 1
    fi
    exit 0
fi
if ! diff -u <(mask_counts "$golden") <(mask_counts "$transcript"); then
    echo "cli.$case_name: the transcript differs from $golden (O8R_UPDATE_GOLDEN=1 rewrites it)"
    exit 1
fi
