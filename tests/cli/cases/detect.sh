note "One box in its normal mode, and one in its firmware-update loader."
run o8rprog "${SIM[@]}" detect
run o8rprog "${SIM[@]}" --sim-update-mode detect
note "No box, and two boxes."
run o8rprog "${SIM[@]}" --sim-fault absent detect
run o8rprog "${SIM[@]}" --sim-fault two-boxes detect
