# job: a production job written and checked, run as a gang of four simulated
# boxes with a serial number per board from a counter, a failing board's
# number never given again, and a job whose image changed refused before any
# box is touched.

# shellcheck source=../production.sh
source "$here/production.sh"

printf '1000\n' >serial.txt
note "A job written from the options the other commands take, and its plan."
run o8rprog job new --mcu R5F212A8SN sample.mot -o line.job.toml --serial 13FF0:4 \
    --serial-counter serial.txt --job-log line.csv --boxes sim:4
run cat line.job.toml
run o8rprog job check line.job.toml
note "Four boards at once: each reads back its own number."
boxes_run --sim-state box.state job run line.job.toml
for n in 1 2 3 4; do
    run_program --box sim --sim-state "box.state.$n" read --mcu R5F212A8SN --range 13FF0-13FF3 \
        --dump 2>/dev/null | tr -d '\r' | tail -n 1
done | sort >numbers.txt
run cat numbers.txt
note "The second box fails; its number is spent, and the next run goes on after it."
boxes_run --sim-state box.state --sim-fault 2=wrong-answer:2 job run line.job.toml
run cat serial.txt
log_summary line.csv --sorted
note "A shift's log summed from the lines that close each run."
run awk -F, '$1 == "job end" { p += $(NF - 1); f += $NF } END { print p " programmed, " f " failed" }' \
    line.csv
note "An image changed after the job was written: refused and logged, no number taken."
printf 'S5030004F8\n' >>sample.mot
run o8rprog --box sim --sim-state box.state job run line.job.toml --boxes sim:1
run cat serial.txt
run awk -F, 'END { print $1 ": " $13 }' line.csv
