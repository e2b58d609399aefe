#!/usr/bin/env bash
# Side by side on the largest image file accepted (2,500,000 bytes of S2
# records sweeping the 128 KB program ROM of an R5F212ACSN):
#   o8rprog image --mcu R5F212ACSN FILE     load, check and list the page records
#   objcopy -I srec -O binary FILE /dev/null  GNU binutils reading the same file
#
# Usage: bench/compare_image.sh [BUILD_DIR]   (default build/bench, a Release
# build that is configured and built here when o8rprog is missing there)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/bench}
o8rprog="$build/bin/o8rprog"
if [ ! -x "$o8rprog" ]; then
    # Warnings do not stop a measurement (release optimisers warn differently).
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DO8R_WERROR=OFF -DO8R_BUILD_GUI=OFF -DO8R_BUILD_TESTS=OFF \
          -DO8R_BUILD_BENCH=ON >/dev/null
    cmake --build "$build" --target o8rprog -j "$(nproc 2>/dev/null || echo 2)"
fi
if ! command -v hyperfine >/dev/null; then
    echo "hyperfine is missing: sudo apt-get install hyperfine" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/o8r-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
file="$work/largest.mot"

python3 - "$file" <<'PY'
import sys

SIZE = 2_500_000
START, END = 0x4000, 0x24000          # R5F212ACSN program ROM
HEADER = b"S00600005A4F4B05\r\n"
TERMINATOR = b"S804004000BB\r\n"
state = 1

def record(address, length):
    global state
    data = []
    for _ in range(length):
        state = (state * 1103515245 + 12345) & 0xFFFFFFFF
        data.append((state >> 16) & 0xFF)
    body = [length + 4, address >> 16 & 0xFF, address >> 8 & 0xFF, address & 0xFF] + data
    line = "S2" + "".join("%02X" % b for b in body) + "%02X\r\n" % (0xFF - (sum(body) & 0xFF))
    return line.encode()

out = bytearray(HEADER)
address = START
remaining = lambda: SIZE - len(out) - len(TERMINATOR)
while remaining() >= 46 + 14:
    out += record(address, 16)
    address = START if address + 16 >= END else address + 16
last = (remaining() - 14) // 2
if address + last > END:
    address = START
out += record(address, last)
out += TERMINATOR
assert len(out) == SIZE
open(sys.argv[1], "wb").write(out)
PY

echo "file: $(wc -c <"$file") bytes"
"$o8rprog" image --mcu R5F212ACSN "$file" | head -n 1
objcopy -I srec -O binary "$file" /dev/null

hyperfine --warmup 3 --min-runs 20 -N \
    "$o8rprog image --mcu R5F212ACSN $file" \
    "objcopy -I srec -O binary $file /dev/null"
