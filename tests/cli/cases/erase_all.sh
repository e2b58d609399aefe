run o8rprog "${SIM[@]}" program --mcu R5F212A8SN sample.mot
run o8rprog "${SIM[@]}" erase --mcu R5F212A8SN --all
run o8rprog "${SIM[@]}" blank-check --mcu R5F212A8SN --range 4000-13FFF
