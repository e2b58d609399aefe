#!/usr/bin/env python3
"""Writes an S-record image filling the 128 KB program ROM of an R5F212ACSN
(0x04000-0x23FFF): 512 pages of 256 bytes, each byte from a fixed sequence.

    full_image.py FILE
"""
import sys


def record(kind, address, data):
    width = 3 if kind == "S2" else 2
    body = bytes([len(data) + width + 1]) + address.to_bytes(width, "big") + data
    checksum = (~sum(body)) & 0xFF
    return kind + body.hex().upper() + "%02X" % checksum + "\r\n"


def main():
    state = 1
    lines = [record("S0", 0, b"full")]
    for address in range(0x4000, 0x24000, 32):
        data = bytearray()
        for _ in range(32):
            state = (state * 1103515245 + 12345) & 0x7FFFFFFF
            data.append((state >> 16) & 0xFF)
        lines.append(record("S2", address, bytes(data)))
    lines.append("S804004000BB\r\n")
    with open(sys.argv[1], "w", newline="") as out:
        out.write("".join(lines))


main()
