note "A box in its firmware-update loader takes a new firmware image."
run o8rprog "${SIM[@]}" --sim-update-mode update firmware-sample.mot
note "An image outside the box's program memory is refused."
run o8rprog "${SIM[@]}" --sim-update-mode update sample.mot
note "Each mode refuses the other's commands."
run o8rprog "${SIM[@]}" update firmware-sample.mot
run o8rprog "${SIM[@]}" --sim-update-mode program --mcu R5F212A8SN sample.mot
note "The loader reports a failed erase."
run o8rprog "${SIM[@]}" --sim-update-mode --sim-fault loader-erase-fail update firmware-sample.mot
