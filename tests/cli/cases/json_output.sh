# --json on every command: one JSON object on stdout and nothing else there,
# messages and progress on stderr; --log appends the same fields as CSV.

# shellcheck source=../production.sh
source "$here/production.sh"

LOG=(--log line.csv)
note "Every command, its record on stdout."
json_run mcus
json_run image --mcu R5F212A8SN sample.mot
json_run "${SIM[@]}" --sim-serial "SN-7 \"A\"" detect
json_run "${SIM[@]}" detect --all
json_run "${SIM[@]}" "${LOG[@]}" program --mcu R5F212A8SN sample.mot --verify
json_run "${SIM[@]}" "${LOG[@]}" blank-check --mcu R5F212A8SN --range 4000-40FF
json_run "${SIM[@]}" "${LOG[@]}" read --mcu R5F212A8SN --range 4000-400F --dump
json_run "${SIM[@]}" "${LOG[@]}" load --mcu R5F212A8SN sample.mot
json_run "${SIM[@]}" query
json_run "${SIM[@]}" "${LOG[@]}" erase --mcu R5F212A8SN --all
json_run "${SIM[@]}" "${LOG[@]}" blank-check --mcu R5F212A8SN --range 4000-40FF
json_run --box sim --sim-update-mode update firmware-sample.mot
note "Failures are records too."
json_run "${SIM[@]}" "${LOG[@]}" --sim-fault wrong-answer:2 program --mcu R5F212A8SN sample.mot
json_run "${SIM[@]}" program --mcu R5F212A8SN missing.mot
json_run "${SIM[@]}" erase --mcu R5F212A8SN --blocks Z
json_run --box nonsense query
note "The log: one header, a line per run, in the order they ran."
log_summary line.csv
note "A log that cannot be written fails the run that succeeded."
json_run "${SIM[@]}" --log no-such-folder/line.csv query
