note "Program the sample image, reading every programmed page back."
run o8rprog "${SIM[@]}" program --mcu R5F212A8SN sample.mot --verify
note "Read the programmed area back to a file."
run o8rprog "${SIM[@]}" read --mcu R5F212A8SN --range 4000-FFFF -o back.mot
note "objcopy checks every record of the saved file; its bytes equal the image's."
run objcopy -I srec -O binary --gap-fill 0xFF sample.mot sample.bin
run objcopy -I srec -O binary --gap-fill 0xFF back.mot back.bin
run cmp sample.bin back.bin
run wc -c back.bin
note "Saving over an existing file asks first; without a terminal the answer is No."
cp back.mot kept.mot
run o8rprog "${SIM[@]}" read --mcu R5F212A8SN --range C000-C00F -o back.mot
run cmp kept.mot back.mot
run o8rprog "${SIM[@]}" --yes read --mcu R5F212A8SN --range C000-C00F -o back.mot
run cat back.mot
