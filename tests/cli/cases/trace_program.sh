note "Every call to the box while one page is programmed."
run o8rprog "${SIM[@]}" --trace program.trace program --mcu R5F212A8SN tiny.mot
run_trace program.trace
