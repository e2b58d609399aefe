note "The sample image under the map of R5F212A8SN: four page records."
run o8rprog image --mcu R5F212A8SN sample.mot
note "A part name is matched with its trailing blanks ignored."
run o8rprog image --mcu "R5F212A8SN  " tiny.mot
note "S1 records into the data flash of a 2B part, and the same file refused by a 2A part."
run o8rprog image --mcu R5F212B8SN dataflash.mot
run o8rprog image --mcu R5F212A8SN dataflash.mot
note "The box firmware lies outside every target's map."
run o8rprog image --mcu R5F212ACSN firmware-sample.mot
note "A wrong record checksum, and a file that does not exist."
run o8rprog image --mcu R5F212A8SN bad-checksum.mot
run o8rprog image --mcu R5F212A8SN nothing.mot
note "Files over 2,500,000 bytes are refused before they are read; the limit itself is read."
truncate -s 2500001 large.mot
truncate -s 2500000 limit.mot
run o8rprog image --mcu R5F212A8SN large.mot
run o8rprog image --mcu R5F212A8SN limit.mot
note "A file named by its absolute path: a word that starts with / is never an option."
run o8rprog image --mcu R5F212A8SN "$PWD/tiny.mot"
sed -i "s|$PWD/|WORK/|" "$transcript"
