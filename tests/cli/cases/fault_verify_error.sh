note "The box answers the first page with a wrong byte."
run o8rprog "${SIM[@]}" --sim-fault wrong-answer:1 program --mcu R5F212A8SN sample.mot
note "A target missing from the socket, and a box unplugged in the middle of a Program."
run o8rprog "${SIM[@]}" --sim-fault target-absent program --mcu R5F212A8SN sample.mot
run o8rprog "${SIM[@]}" --sim-fault unplug-at-page:2 program --mcu R5F212A8SN sample.mot
