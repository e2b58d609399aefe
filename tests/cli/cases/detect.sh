note "One box in its normal mode, and one in its firmware-update loader."
run o8rprog "${SIM[@]}" detect
run o8rprog "${SIM[@]}" --sim-update-mode detect
note "No box, and two boxes."
run o8rprog "${SIM[@]}" --sim-fault absent detect
run o8rprog "${SIM[@]}" --sim-fault two-boxes detect
note "A state file that is not a simulated box's is left alone."
echo "not a box" >foreign.state
run o8rprog --box sim --sim-state foreign.state detect
run cat foreign.state
