# o8rprog doctor on made-up system trees (O8R_DOCTOR_ROOT): no box, a box the
# user may open, a box the user may not open, a box another program holds.
cp "$source_dir/data/MCUType.mcu" .

# root DIR: a tree with a user "alice" (uid 54321) whose groups are given as
# gids; the files of the tree belong to the tester, who stands for "root" and
# whose group stands for "dialout".
make_root() {
    local dir=$1 groups=$2
    mkdir -p "$dir/etc" "$dir/proc/self" "$dir/dev" "$dir/sys/bus/usb/devices"
    printf 'root:x:%s:%s::/root:/bin/sh\nalice:x:54321:54321::/home/alice:/bin/sh\n' \
        "$(id -u)" "$(id -g)" >"$dir/etc/passwd"
    printf 'dialout:x:%s:\nalice:x:54321:\n' "$(id -g)" >"$dir/etc/group"
    printf 'Name:\to8rprog\nUid:\t54321\t54321\t54321\t54321\nGid:\t54321\t54321\t54321\t54321\nGroups:\t%s\n' \
        "$groups" >"$dir/proc/self/status"
}

# add_box DIR: a CP210x box at USB 1-1.2 with its driver bound and ttyUSB0.
add_box() {
    local dev=$1/sys/devices/usb1/1-1.2
    mkdir -p "$dev/1-1.2:1.0/ttyUSB0" "$1/sys/bus/usb/drivers/cp210x"
    echo 10c4 >"$dev/idVendor"
    echo ea61 >"$dev/idProduct"
    echo "CP2102 USB to UART Bridge Controller" >"$dev/product"
    ln -s ../../../bus/usb/drivers/cp210x "$dev/1-1.2:1.0/driver"
    ln -s ../../../devices/usb1/1-1.2 "$1/sys/bus/usb/devices/1-1.2"
    : >"$1/dev/ttyUSB0"
    chmod 0660 "$1/dev/ttyUSB0"
}

note "No box attached."
make_root empty ""
export O8R_DOCTOR_ROOT=$PWD/empty
run o8rprog --catalogue MCUType.mcu doctor

note "A box, and alice in the port's group."
make_root member "$(id -g)"
add_box member
export O8R_DOCTOR_ROOT=$PWD/member
run o8rprog --catalogue MCUType.mcu doctor

note "The same box without the group: the group to join or the rule to install."
make_root outsider ""
add_box outsider
export O8R_DOCTOR_ROOT=$PWD/outsider
run o8rprog --catalogue MCUType.mcu doctor

note "alice joined the group, but this login does not have it yet."
make_root relogin ""
add_box relogin
printf 'dialout:x:%s:alice\n' "$(id -g)" >relogin/etc/group
export O8R_DOCTOR_ROOT=$PWD/relogin
run o8rprog --catalogue MCUType.mcu doctor

note "Another program holds the port; the driver of a second box is missing."
make_root held "$(id -g)"
add_box held
mkdir -p held/proc/812/fd held/sys/devices/usb1/1-1.3/1-1.3:1.0
ln -s /dev/ttyUSB0 held/proc/812/fd/7
echo ModemManager >held/proc/812/comm
echo 10C4 >held/sys/devices/usb1/1-1.3/idVendor
echo EA61 >held/sys/devices/usb1/1-1.3/idProduct
ln -s ../../../devices/usb1/1-1.3 held/sys/bus/usb/devices/1-1.3
export O8R_DOCTOR_ROOT=$PWD/held
run o8rprog --catalogue MCUType.mcu doctor

note "No catalogue."
run o8rprog --catalogue missing.mcu doctor
unset O8R_DOCTOR_ROOT
