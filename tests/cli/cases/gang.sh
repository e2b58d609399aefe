# gang: one command on several simulated boxes at once, each box an o8rprog
# of its own with a state of its own; one box fails.

# shellcheck source=../production.sh
source "$here/production.sh"

note "Four boxes; the second answers its second page wrongly."
gang_run --boxes sim:4 --sim-state box.state --sim-fault 2=wrong-answer:2 --log line.csv \
    program --mcu R5F212A8SN sample.mot
log_summary line.csv --sorted
note "Each box kept its own state: three hold the whole image, the second stopped at its fault."
for n in 1 2 3 4; do
    run o8rprog --box sim --sim-state "box.state.$n" blank-check --mcu R5F212A8SN --range C000-C0FF
done
note "The same boxes once more: a read of each into a file of its own."
gang_run --boxes sim:4 --sim-state box.state read --mcu R5F212A8SN --range 4000-40FF -o back.mot
run ls back-1.mot back-2.mot back-3.mot back-4.mot
run cmp back-1.mot back-3.mot
note "Without --sim-state the boxes are fresh ones in a temporary folder."
gang_run --boxes sim:2 --jobs 1 blank-check --mcu R5F212A8SN --range 4000-40FF
note "Refused before any box is started."
refused "--boxes" gang --boxes sim:0 program --mcu R5F212A8SN sample.mot
refused "query" gang --boxes sim:2 query
refused "gang" gang --boxes sim:2
refused "--mcu" gang --boxes sim:2 program sample.mot
refused "--sim" gang --boxes /dev/ttyUSB0 --sim-fault wrong-answer:2 erase --mcu R5F212A8SN --all
