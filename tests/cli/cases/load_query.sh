note "A new box stores nothing."
run o8rprog "${SIM[@]}" query
run o8rprog "${SIM[@]}" load --mcu R5F212A8SN sample.mot
run o8rprog "${SIM[@]}" query
note "Loading over a stored file asks first: No without a terminal, then --yes."
run o8rprog "${SIM[@]}" load --mcu R5F212A8SN tiny.mot
run o8rprog "${SIM[@]}" query
run o8rprog "${SIM[@]}" --yes load --mcu R5F212A8SN tiny.mot
run o8rprog "${SIM[@]}" query
