note "On a terminal a running operation draws one progress line, redrawn in place"
note "(control characters as cat -v shows them; times are the simulated box's)."
run_tty o8rprog "${SIM[@]}" program --mcu R5F212A8SN sample.mot --verify
run_tty o8rprog "${SIM[@]}" erase --mcu R5F212A8SN --blocks 0,1,2
note "--quiet keeps the terminal free of it."
run_tty o8rprog "${SIM[@]}" --quiet erase --mcu R5F212A8SN --all
