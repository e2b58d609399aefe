note "The shipped catalogue as a tree, each part with its memory size and map."
run o8rprog mcus
note "A catalogue that cannot be read."
run o8rprog --catalogue missing.mcu mcus
