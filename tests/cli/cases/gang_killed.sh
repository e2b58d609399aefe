# Windows only: a gang that is killed outright (no Ctrl-C, no chance to clean
# up) leaves no box's program running: they all run in its job object.
python3 "$here/full_image.py" full.mot
# A state name of this run alone: other runs of this case may be under way.
state="killed-$$-$RANDOM.state"
note "Three boxes on real time programming 512 pages each; the gang is killed once they run."
${O8R_EMULATOR:-} "$prog" gang --boxes sim:3 --sim-state "$state" --sim-realtime --trace t.txt \
    program --mcu R5F212ACSN full.mot </dev/null >/dev/null 2>&1 &
gang=$!
for _ in $(seq 600); do
    [ "$(cat t.txt.1 t.txt.2 t.txt.3 2>/dev/null | grep -c '^write')" -ge 30 ] && break
    sleep 0.1
done
boxes() { pgrep -f -- "--sim-state ${state//./\\.}\\.[123] " | wc -l; }
note "boxes running before: $(boxes)"
kill -KILL "$gang"
wait "$gang" 2>/dev/null
for _ in $(seq 100); do
    [ "$(boxes)" = 0 ] && break
    sleep 0.1
done
note "boxes running 10 s after: $(boxes)"
