note "A target locked with an ID code: the erased-state code is refused."
run o8rprog "${SIM[@]}" --sim-protect 11223344556677 blank-check --mcu R5F212A8SN --range C000-C0FF
note "The right code opens it; a wrong one does not."
run o8rprog "${SIM[@]}" --id 11223344556677 blank-check --mcu R5F212A8SN --range C000-C0FF
run o8rprog "${SIM[@]}" --id 11223344556678 blank-check --mcu R5F212A8SN --range C000-C0FF
note "The code as characters: 0x41 0x42 ... is \"ABCDEFG\"."
run o8rprog --box sim --sim-state text.state --sim-protect 41424344454647 --id-text ABCDEFG blank-check --mcu R5F212A8SN --range C000-C0FF
note "A short code is filled with 0xFF in its higher bytes, when that is confirmed."
run o8rprog "${SIM[@]}" --id 77 blank-check --mcu R5F212A8SN --range C000-C0FF
run o8rprog --box sim --sim-state fill.state --sim-protect FFFFFFFFFFFF77 --yes --id 77 blank-check --mcu R5F212A8SN --range C000-C0FF
note "The ID code dialog's own refusals."
run o8rprog "${SIM[@]}" --id 1122334455667 blank-check --mcu R5F212A8SN --range C000-C0FF
run o8rprog "${SIM[@]}" --id 11-2 blank-check --mcu R5F212A8SN --range C000-C0FF
run o8rprog "${SIM[@]}" --id "" blank-check --mcu R5F212A8SN --range C000-C0FF
