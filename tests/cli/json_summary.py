#!/usr/bin/env python3
"""Reads what o8rprog --json wrote on stdout and prints what a transcript can
compare: it must be exactly one JSON object (json.loads as json.tool would);
the fields that change from run to run (times, durations) are checked for
their form and left out. A gang's object is followed by each box's, in slot
order.

    json_summary.py < STDOUT
"""
import json
import re
import sys

TIME = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$")
STABLE = ["command", "part", "box", "image", "outcome", "message", "resetFailed",
          "exitStatus", "firstFilledAddress", "storedName", "bytesRead", "output", "job"]


def check_times(obj, where):
    for key in ("start", "end"):
        if not TIME.match(obj.get(key, "")):
            print("%s: %s is not a UTC ISO 8601 time: %r" % (where, key, obj.get(key)))
    if obj.get("end", "") < obj.get("start", ""):
        print("%s: ends before it starts" % where)
    if not isinstance(obj.get("durationSeconds"), (int, float)):
        print("%s: durationSeconds is not a number" % where)


def show(obj, indent, keys):
    # Which box took which serial number changes from run to run, and with it
    # the checksums of the pages the box was sent.
    if obj.get("serial") and isinstance(obj.get("image"), dict):
        obj["image"].update(crc32="(with the serial)", sha256="(with the serial)")
    for key in keys:
        if key in obj and not (key == "job" and obj[key] is None):
            print("%s%s: %s" % (indent, key, json.dumps(obj[key], ensure_ascii=False)))


text = sys.stdin.read().replace("\r\n", "\n")
if text.count("\n") != 1 or not text.endswith("\n"):
    print("not one line: %r" % text[:200])
data = json.loads(text)
if not isinstance(data, dict):
    sys.exit("not a JSON object")
check_times(data, data.get("command"))
if data.get("command") == "gang":
    show(data, "", ["operation", "total", "succeeded", "summary", "exitStatus"])
    for box in sorted(data["boxes"], key=lambda b: int(b["slot"].split(":")[-1])
                      if b["slot"].startswith("sim:") else b["slot"]):
        print("box %s" % box["slot"])
        if "start" in box:
            check_times(box, box["slot"])
        show(box, "  ", STABLE)
else:
    show(data, "", STABLE)
