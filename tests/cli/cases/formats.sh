note "The sample as Intel HEX and as a binary, both made by objcopy, and S-records in a .hex."
run objcopy -I srec -O ihex sample.mot sample.hex
run objcopy -I srec -O binary --gap-fill 0xFF sample.mot sample.bin
cp sample.mot srec.hex
head -c 256 sample.bin >page.bin
for f in sample.mot sample.hex page.bin srec.hex; do
    run o8rprog image --mcu R5F212A8SN "$f"
done
note "The Intel HEX file sends what the S-records send, to the byte."
run o8rprog --box sim --sim-state a.state --trace mot.trace program --mcu R5F212A8SN sample.mot
run o8rprog --box sim --sim-state b.state --trace hex.trace program --mcu R5F212A8SN sample.hex
run cmp mot.trace hex.trace
note "The binary at its base leaves the part as the S-records do."
run o8rprog --box sim --sim-state c.state --base 4000 program --mcu R5F212A8SN sample.bin
run o8rprog --box sim --sim-state a.state read --mcu R5F212A8SN --range 4000-FFFF -o a.bin
run o8rprog --box sim --sim-state c.state read --mcu R5F212A8SN --range 4000-FFFF -o c.bin
run cmp a.bin c.bin
run cmp sample.bin c.bin
note "A read saved in each format; srec_cat and objcopy read them back to the same bytes."
run o8rprog --box sim --sim-state a.state read --mcu R5F212A8SN --range 4000-FFFF -o a.ihex
run o8rprog --box sim --sim-state a.state read --mcu R5F212A8SN --range 4000-FFFF -o a.out --format ihex
run cmp a.ihex a.out
run srec_cat a.ihex -intel -offset -0x4000 -o peer.bin -binary
run objcopy -I ihex -O binary a.ihex objcopy.bin
run cmp peer.bin a.bin
run cmp objcopy.bin a.bin
run srec_cat sample.mot -o peer.hex -intel
run o8rprog image --mcu R5F212A8SN peer.hex
note "A part protected by an ID code: read out, its last page carries the code."
P=(--box sim --sim-state p.state --sim-protect 11223344556677)
run o8rprog "${P[@]}" read --mcu R5F212A8SN --range FF00-FFFF -o locked.hex
run o8rprog "${P[@]}" --id 11223344556677 read --mcu R5F212A8SN --range FF00-FFFF -o locked.hex
run o8rprog image --mcu R5F212A8SN locked.hex
run o8rprog "${P[@]}" --id image:locked.hex blank-check --mcu R5F212A8SN --range C000-C0FF
run o8rprog "${P[@]}" --id image:sample.mot blank-check --mcu R5F212A8SN --range C000-C0FF
note "Programming that image protects the part, and says so once."
run o8rprog --box sim --sim-state d.state program --mcu R5F212A8SN locked.hex
note "Refusals name the line or the offset."
printf ':0240000001027C\r\n' >bad.hex
run o8rprog image --mcu R5F212A8SN bad.hex
run o8rprog --base F000 image --mcu R5F212A8SN sample.bin
run o8rprog --base 10000X image --mcu R5F212A8SN sample.bin
