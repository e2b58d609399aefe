run o8rprog "${SIM[@]}" program --mcu R5F212A8SN sample.mot
note "Rows that the range cuts show empty cells."
run o8rprog "${SIM[@]}" read --mcu R5F212A8SN --range FFD8-FFFF --dump
run o8rprog "${SIM[@]}" read --mcu R5F212A8SN --range c003-C005 --dump -o three.mot
run cat three.mot
note "An end below the start: the exchange question, answered Yes and then No."
run o8rprog "${SIM[@]}" --yes read --mcu R5F212A8SN --range 4021-4020 --dump
run o8rprog "${SIM[@]}" read --mcu R5F212A8SN --range 4021-4020 --dump
note "Ranges the address dialog refuses never reach the box."
run o8rprog "${SIM[@]}" read --mcu R5F212A8SN --range 3FFF-4000 --dump
run o8rprog "${SIM[@]}" read --mcu R5F212A8SN --range 0x40-4000 --dump
run o8rprog "${SIM[@]}" read --mcu R5F212A8SN --range -4000 --dump
