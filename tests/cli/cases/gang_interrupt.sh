# Ctrl-C during a gang run: every box cancels through its own cancel, the
# gang waits for them all, and every box's state file stays whole.

# shellcheck source=../production.sh
source "$here/production.sh"

python3 "$here/full_image.py" full.mot
note "Three boxes on real time programming 512 pages each; Ctrl-C once all three are sending pages."
printf '$ o8rprog --json gang --boxes sim:3 ... program --mcu R5F212ACSN full.mot & ... kill -INT\n' \
    >>"$transcript"
${O8R_EMULATOR:-} "$prog" --json gang --boxes sim:3 --sim-state box.state --sim-realtime --trace t.txt \
    --log line.csv program --mcu R5F212ACSN full.mot </dev/null >"$work/.json" 2>"$work/.err" &
gang=$!
# A box is sending pages once its trace holds a few dozen writes (each page is one).
for _ in $(seq 1200); do
    sending=0
    for n in 1 2 3; do
        [ "$(grep -c '^write' "t.txt.$n" 2>/dev/null)" -ge 30 ] 2>/dev/null && sending=$((sending + 1))
    done
    [ "$sending" = 3 ] && break
    sleep 0.1
done
note "boxes sending pages: $sending of 3"
kill -INT "$gang"
wait "$gang"
status=$?
[ -z "${O8R_EMULATOR:-}" ] || sed -i 's/\r$//' "$work/.err"
# How far each box got when the cancel came differs from run to run.
mask() {
    sed -E 's/ *[0-9]+% is finished/ N% is finished/g; s/ [0-9]+% +/ N% /; s/[0-9]+\.[0-9] s +/N s /'
}
python3 "$here/json_summary.py" <"$work/.json" 2>&1 | mask >>"$transcript"
mask <"$work/.err" | head -n -1 | sort | sed 's/^/stderr| /' >>"$transcript"
tail -n 1 "$work/.err" | mask | sed 's/^/stderr| /' >>"$transcript"
printf 'exit %d\n\n' "$status" >>"$transcript"
printf '$ log_summary line.csv --sorted\n' >>"$transcript"
python3 "$here/log_summary.py" line.csv --sorted 2>&1 | mask >>"$transcript"
printf '\n' >>"$transcript"
note "Every state file is whole: each box answers with the pages it programmed, and no"
note "temporary file is left."
for n in 1 2 3; do
    run o8rprog --box sim --sim-state "box.state.$n" blank-check --mcu R5F212ACSN --range 4000-40FF
done
run ls
