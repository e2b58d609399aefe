run o8rprog "${SIM[@]}" program --mcu R5F212A8SN sample.mot
note "Block 0 (0C000-0FFFF) erased, block 2 (04000-07FFF) kept."
run o8rprog "${SIM[@]}" erase --mcu R5F212A8SN --blocks 0
run o8rprog "${SIM[@]}" blank-check --mcu R5F212A8SN --range C000-FFFF
run o8rprog "${SIM[@]}" blank-check --mcu R5F212A8SN --range 4000-7FFF
note "Several blocks, named in any order; they are erased in the list's order."
run o8rprog "${SIM[@]}" erase --mcu R5F212A8SN --blocks 3,2,1
run o8rprog "${SIM[@]}" blank-check --mcu R5F212A8SN --range 4000-13FFF
note "The data-flash blocks of a 2B part, named in either case."
B=(--box sim --sim-state 2b.state)
run o8rprog "${B[@]}" program --mcu R5F212B8SN dataflash.mot
run o8rprog "${B[@]}" blank-check --mcu R5F212B8SN --range 2400-2BFF
run o8rprog "${B[@]}" erase --mcu R5F212B8SN --blocks b,a
run o8rprog "${B[@]}" blank-check --mcu R5F212B8SN --range 2400-2BFF
run o8rprog "${B[@]}" blank-check --mcu R5F212B8SN --range 4000-4007
