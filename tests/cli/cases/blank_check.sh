note "A new target is erased."
run o8rprog "${SIM[@]}" blank-check --mcu R5F212A8SN --range 4000-13FFF
run o8rprog "${SIM[@]}" program --mcu R5F212A8SN sample.mot
note "Data found: the first filled address, exit status 3."
run o8rprog "${SIM[@]}" blank-check --mcu R5F212A8SN --range 4000-13FFF
run o8rprog "${SIM[@]}" blank-check --mcu R5F212A8SN --range C006-FFD0
note "Only the range counts: the bytes around it are data."
run o8rprog "${SIM[@]}" blank-check --mcu R5F212A8SN --range C011-FFDB
run o8rprog "${SIM[@]}" blank-check --mcu R5F212A8SN --range C006-C00F
note "Outside the map of the part."
run o8rprog "${SIM[@]}" blank-check --mcu R5F212A8SN --range 14000-14FFF
