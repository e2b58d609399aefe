#!/usr/bin/env python3
"""A test station: programs and verifies one board after the other, gives each
board the next serial number, and writes a line per board to a CSV file.

    program_and_verify.py --part R5F212A8SN --first-serial 1000 --serial-at FF00:4:bcd fw.mot
    program_and_verify.py --box sim --boards 3 --csv results.csv data/sample.mot

With --serial-at the number is written into each board's image (ADDR:LEN[:FORMAT],
as o8rprog's --serial takes it) and checked by the verify like every other byte.

With a real box it waits for Enter before each board (an empty line; "q"
ends). A board that fails is written down with its outcome and message, and
the station goes on with the next one; the serial number is used up either
way, so no two boards ever carry the same one.
"""

import argparse
import csv
import os
import sys

import o8r

FIELDS = ["serial", "serial_bytes", "port", "usb_serial", "outcome", "message", "crc32", "sha256", "start",
          "end", "duration_s"]


def program_board(box, part, image, serial, serial_at):
    """One board: its row for the CSV file."""
    place = o8r.Serial(serial, serial_at) if serial_at else None
    try:
        result = box.program(part, image, verify=True, serial=place,
                             progress=lambda phase, percent: print(
                                 "\r  %-8s %3d%%" % (phase, percent), end="", flush=True))
    except o8r.Error as error:
        result = error.result
    print()
    image_fields = result.image or {}
    return {"serial": serial, "serial_bytes": (result.serial or {}).get("bytes"), "port": result.box["port"], "usb_serial": result.box["usbSerial"],
            "outcome": result.outcome, "message": result.message.replace("\n", " "),
            "crc32": image_fields.get("crc32"), "sha256": image_fields.get("sha256"),
            "start": result.start, "end": result.end,
            "duration_s": "%.3f" % result.duration_seconds}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("image")
    parser.add_argument("--box", default="auto", help="auto, sim or serial:PORT")
    parser.add_argument("--part", default="R5F212A8SN")
    parser.add_argument("--first-serial", type=int, default=1)
    parser.add_argument("--serial-at", help="write the serial number into the image here")
    parser.add_argument("--boards", type=int, help="this many boards, without waiting for Enter")
    parser.add_argument("--csv", default="results.csv")
    args = parser.parse_args()

    new_file = not os.path.exists(args.csv) or os.path.getsize(args.csv) == 0
    serial = args.first_serial
    failed = 0
    with open(args.csv, "a", newline="") as log, o8r.Box(args.box) as box:
        writer = csv.DictWriter(log, FIELDS)
        if new_file:
            writer.writeheader()
        board = 0
        while args.boards is None or board < args.boards:
            if args.boards is None and input("board %d: Enter to program, q to stop: "
                                             % serial).strip().lower() == "q":
                break
            row = program_board(box, args.part, args.image, serial, args.serial_at)
            # The box holds the board in reset while the next one goes in (the
            # simulated box gets a new, empty target).
            box.release()
            writer.writerow(row)
            log.flush()  # each board's line is on disk before the next board
            print("board %d: %s %s" % (serial, row["outcome"], row["message"]))
            failed += row["outcome"] != "Completed"
            serial += 1
            board += 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
