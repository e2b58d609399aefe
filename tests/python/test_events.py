import json
import os
import signal
import subprocess
import time

from conftest import PART, SAMPLE

PROGRAM = os.environ.get("O8R_PROGRAM", "o8rprog")


def events(*args, state, **run):
    process = subprocess.run([PROGRAM, "--box", "sim", "--sim-state", state, "--progress=json",
                              *args], capture_output=True, text=True, **run)
    lines = process.stderr.splitlines()
    return process.returncode, [json.loads(line) for line in lines], process.stdout


def test_the_events_of_a_load_that_replaces_the_stored_image(tmp_path):
    state = str(tmp_path / "box.state")
    assert events("load", "--mcu", PART, SAMPLE, state=state)[0] == 0
    status, stream, stdout = events("--yes", "load", "--mcu", PART, SAMPLE, state=state)
    assert status == 0 and stdout == "File load successfully completed.\n"
    assert all(event.pop("version") == 1 for event in stream)
    end = stream.pop()
    box = {"port": "sim", "usbSerial": ""}
    assert stream == [
        {"event": "start", "command": "load", "part": PART, "file": SAMPLE, "box": box},
        {"event": "question", "caption": "INFO", "answer": "yes",
         "text": "The file \"sample\" is in programmer.\nReload will erase this file!\n"
                 "Are you sure to continue?"},
        {"event": "phase-start", "phase": "loading"},
        {"event": "progress", "phase": "loading", "percent": 33},
        {"event": "progress", "phase": "loading", "percent": 66},
        {"event": "progress", "phase": "loading", "percent": 100},
        {"event": "phase-end", "phase": "loading"},
        {"event": "phase-start", "phase": "load"},
        {"event": "progress", "phase": "load", "percent": 25},
        {"event": "progress", "phase": "load", "percent": 50},
        {"event": "progress", "phase": "load", "percent": 75},
        {"event": "phase-end", "phase": "load"},
        {"event": "message", "level": "info", "caption": "INFO",
         "text": "File load successfully completed."}]
    assert (end["event"], end["exitStatus"]) == ("end", 0)
    record = end["record"]
    assert list(record) == ["command", "part", "box", "image", "start", "end", "durationSeconds",
                            "outcome", "message", "resetFailed", "exitStatus",
                            "firstFilledAddress", "storedName", "bytesRead", "output", "serial",
                            "job"]
    assert (record["outcome"], record["exitStatus"], record["image"]["crc32"]) == (
        "Completed", 0, "4f4b6231")


def test_ctrl_c_is_a_cancel_event_and_the_end_says_cancelled(tmp_path):
    process = subprocess.Popen([PROGRAM, "--box", "sim", "--sim-realtime", "--sim-fault",
                                "busy-at-page:2:30000", "--progress=json", "program", "--mcu",
                                PART, SAMPLE], stderr=subprocess.PIPE, text=True)
    first = process.stderr.readline()
    while '"percent":25' not in first:
        first = process.stderr.readline()
    time.sleep(0.2)
    process.send_signal(signal.SIGINT)
    rest = [json.loads(line) for line in process.stderr.read().splitlines()]
    assert process.wait(timeout=10) == 1
    cancel = [event for event in rest if event["event"] == "cancel"]
    assert cancel and cancel[0]["phase"] == "program" and cancel[0]["cancelled"] is True
    assert rest[-1]["event"] == "end" and rest[-1]["record"]["outcome"] == "Cancelled"
