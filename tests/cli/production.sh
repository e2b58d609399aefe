# Helpers of the production-line cases (sourced by them): runs whose stdout
# is a JSON object, and the log, shown as far as they stay the same from run
# to run.

# json_run ARGS...: o8rprog ARGS with --json; its stdout must be one JSON
# object (json_summary.py shows its fields), its stderr is shown as it is.
json_run() {
    { printf '$ o8rprog --json'; printf ' %q' "$@"; printf ' | json_summary\n'; } >>"$transcript"
    run_program --json "$@" </dev/null >"$work/.json" 2>"$work/.err"
    local status=$?
    [ -z "${O8R_EMULATOR:-}" ] || sed -i 's/\r$//' "$work/.err"
    python3 "$here/json_summary.py" <"$work/.json" >>"$transcript" 2>&1
    sed 's/^/stderr| /' "$work/.err" >>"$transcript"
    printf 'exit %d\n\n' "$status" >>"$transcript"
}

# boxes_run ARGS...: o8rprog --json ARGS for several boxes (gang, a job's
# run), as json_run; the boxes' lines on stderr come in the order the boxes
# end, so they are sorted (and their times masked), the summary kept last.
boxes_run() {
    { printf '$ o8rprog --json'; printf ' %q' "$@"; printf ' | json_summary\n'; } >>"$transcript"
    run_program --json "$@" </dev/null >"$work/.json" 2>"$work/.err"
    local status=$?
    python3 "$here/json_summary.py" <"$work/.json" >>"$transcript" 2>&1
    sed -E 's/[0-9]+\.[0-9] s /N s /' "$work/.err" | head -n -1 | sort | sed 's/^/stderr| /' \
        >>"$transcript"
    tail -n 1 "$work/.err" | sed 's/^/stderr| /' >>"$transcript"
    printf 'exit %d\n\n' "$status" >>"$transcript"
}

# gang_run ARGS...: boxes_run gang ARGS.
gang_run() {
    boxes_run gang "$@"
}

# log_summary FILE [--sorted]: the log as log_summary.py shows it.
log_summary() {
    printf '$ log_summary %s\n' "$*" >>"$transcript"
    python3 "$here/log_summary.py" "$@" >>"$transcript" 2>&1
    printf 'exit %d\n\n' "$?" >>"$transcript"
}
