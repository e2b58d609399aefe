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
