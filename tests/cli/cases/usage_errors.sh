note "Each of these is refused before the box is touched, with exit status 2 and a"
note "message that names what is wrong."
refused command
refused frobnicate frobnicate
refused --mcu program sample.mot
refused FILE program --mcu R5F212A8SN
refused R5F212XXXX program --mcu R5F212XXXX sample.mot
refused --blocks erase --mcu R5F212A8SN
refused --all erase --mcu R5F212A8SN --all --blocks 0
refused '"A"' erase --mcu R5F212A8SN --blocks 0,A
refused --range blank-check --mcu R5F212A8SN --range C000
refused --range blank-check --mcu R5F212A8SN --range C000-1C0000
refused --range blank-check --mcu R5F212A8SN
refused --dump read --mcu R5F212A8SN --range C000-C0FF
refused --id-text --id 11 --id-text A detect
refused --id --id 112233445566778 detect
refused --id-text --id-text ABCDEFGH detect
refused usb --box usb detect
refused melt --box sim --sim-fault melt detect
refused target-absent --box sim --sim-fault wrong-answer:1 target-absent detect
refused --sim-protect --box sim --sim-protect 1122 detect
refused '--box sim' --sim-update-mode detect
refused FILE update
