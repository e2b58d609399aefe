note "Each of these is refused before the box is touched, with exit status 2."
run o8rprog
run o8rprog frobnicate
run o8rprog program sample.mot
run o8rprog program --mcu R5F212A8SN
run o8rprog program --mcu R5F212XXXX sample.mot
run o8rprog erase --mcu R5F212A8SN
run o8rprog erase --mcu R5F212A8SN --all --blocks 0
run o8rprog erase --mcu R5F212A8SN --blocks 0,A
run o8rprog blank-check --mcu R5F212A8SN --range C000
run o8rprog blank-check --mcu R5F212A8SN --range C000-1C0000
run o8rprog blank-check --mcu R5F212A8SN
run o8rprog read --mcu R5F212A8SN --range C000-C0FF
run o8rprog --id 11 --id-text A detect
run o8rprog --id 112233445566778 detect
run o8rprog --id-text ABCDEFGH detect
run o8rprog --box usb detect
run o8rprog --box sim --sim-fault melt detect
run o8rprog --box sim --sim-fault wrong-answer:1 target-absent detect
run o8rprog --box sim --sim-protect 1122 detect
run o8rprog --sim-update-mode detect
run o8rprog update
