#!/usr/bin/env python3
"""Reads an o8rprog --log file as CSV and prints its header's columns and,
for each line, the fields that stay the same from run to run: in the order
of the file, or with --sorted (several processes wrote it) by port, USB
serial and command.

    log_summary.py FILE [--sorted]
"""
import csv
import sys

with open(sys.argv[1], newline="", encoding="utf-8") as log:
    raw = log.read()
lines = raw.split("\n")
if lines[-1] != "":
    print("the last line does not end")
rows = list(csv.reader(raw.splitlines()))
header, records = rows[0], rows[1:]
print("columns: " + " ".join(header))
print("lines: %d (one a record)" % len(records))
if len(lines) - 2 != len(records):
    print("a record spans more than one line")
keep = ["command", "part", "port", "usb_serial", "image_file", "image_size", "pages", "crc32",
        "sha256", "outcome", "message", "reset_failed", "exit_status", "first_filled_address",
        "stored_name", "bytes_read"]
if sys.argv[2:] == ["--sorted"]:
    records.sort(key=lambda r: (r[2], r[3], r[0]))
# A job's fields, where a line has them; which box took which serial number
# changes from run to run, so the numbers are listed apart, in order.
job_keys = ["job", "steps", "serial_at", "programmed", "failed"]
serials = []
for record in records:
    if len(record) != len(header):
        print("a line of %d fields: %r" % (len(record), record))
        continue
    fields = dict(zip(header, record))
    if fields.get("serial"):
        fields.update(crc32="(with the serial)", sha256="(with the serial)")
    extra = ["%s=%s" % (k, fields[k]) for k in job_keys if fields.get(k)]
    print(" | ".join([fields[k] for k in keep] + extra))
    if fields.get("serial"):
        serials.append(int(fields["serial"]))
if serials:
    print("serials: %s" % " ".join(str(s) for s in sorted(serials)))
