# Windows only: two boxes through SiUSBXp.dll (the stand-in's), each chosen by
# its index or by its USB serial number.
export O8R_STANDIN_BOXES=2
note "Two boxes: each listed with its index, serial number, USB ids and product."
run o8rprog detect --all
note "--box auto keeps its rule of one box."
run o8rprog detect
note "The second box by its index, then by its serial number; the first stays blank."
run o8rprog --box usbxpress:1 --sim-state box.state program --mcu R5F212A8SN sample.mot
run o8rprog --box usbxpress:STANDIN2 --sim-state box.state blank-check --mcu R5F212A8SN --range C000-C0FF
run o8rprog --box usbxpress:STANDIN1 --sim-state box.state blank-check --mcu R5F212A8SN --range C000-C0FF
run o8rprog --box usbxpress:0 --sim-state box.state blank-check --mcu R5F212A8SN --range C000-C0FF
note "A box that is not attached, by index and by serial number."
run o8rprog --box usbxpress:2 detect
run o8rprog --box usbxpress:STANDIN9 detect
refused usbxpress --box usbxpress: detect

# shellcheck source=../production.sh
source "$here/production.sh"
export O8R_STANDIN_BOXES=3
note "gang on every box the library sees; the second answers its second page wrongly."
gang_run --boxes auto --sim-state gang.state --sim-fault 2=wrong-answer:2 --log line.csv \
    program --mcu R5F212A8SN sample.mot
log_summary line.csv --sorted
note "Each box kept its own target: the second stopped at its fault."
for serial in STANDIN1 STANDIN2 STANDIN3; do
    run o8rprog --box "usbxpress:$serial" --sim-state gang.state blank-check --mcu R5F212A8SN --range C000-C0FF
done
note "The boxes named one by one, by index and by serial number."
gang_run --boxes usbxpress:0,usbxpress:STANDIN3 --sim-state gang.state blank-check \
    --mcu R5F212A8SN --range 8000-80FF
