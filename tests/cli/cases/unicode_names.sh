note "File names in any script, Cyrillic and accented ones, in and out."
cp sample.mot "образец-é.mot"
U=(--box sim --sim-state "коробка-ñ.state")
run o8rprog image --mcu R5F212A8SN "образец-é.mot"
run o8rprog "${U[@]}" program --mcu R5F212A8SN "образец-é.mot"
run o8rprog "${U[@]}" --trace "след-à.trace" read --mcu R5F212A8SN --range C000-C00F -o "чтение-ü.mot"
run cat "чтение-ü.mot"
run grep -c "^write" "след-à.trace"
run ls "коробка-ñ.state"
