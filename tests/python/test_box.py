import json
import os
import signal
import subprocess
import threading
import time

import pytest

import o8r
from conftest import FIRMWARE, PART, SAMPLE


def test_mcus_and_image():
    parts = {entry["part"]: entry for entry in o8r.mcus()}
    assert parts[PART]["regions"] == [(0x4000, 0x13FFF)]
    image = o8r.Image(SAMPLE, PART)
    assert (len(image.pages), image.format, image.id_code, image.crc32) == (4, "srec", None,
                                                                             "4f4b6231")
    with pytest.raises(o8r.FileError):
        o8r.Image(SAMPLE + ".missing", PART)


# Each operation: its success on a fresh box, then two failures, each as
# (settings of the box, the call, the exception, its outcome).
def erase_blocks(box, blocks):
    return box.erase(PART, blocks)


CASES = {
    "detect": (lambda box: box.detect(), "NormalMode", [
        ({"sim_faults": ["absent"]}, lambda box: box.detect(), o8r.ConnectError, "NoProgrammer"),
        ({"sim_faults": ["two-boxes"]}, lambda box: box.detect(), o8r.ConnectError,
         "MoreThanOneProgrammer")]),
    "program": (lambda box: box.program(PART, SAMPLE, verify=True), "Completed", [
        ({"sim_faults": ["wrong-answer:2"]}, lambda box: box.program(PART, SAMPLE),
         o8r.VerifyError, "VerifyError"),
        ({}, lambda box: box.program(PART, SAMPLE + ".missing"), o8r.FileError, "FileRefused")]),
    "erase": (lambda box: box.erase(PART), "Completed", [
        ({"sim_faults": ["answer:erase:58"]}, lambda box: box.erase(PART, ["0"]), o8r.EraseError,
         "EraseError"),
        ({}, lambda box: box.erase(PART, ["0", "Z"]), o8r.UsageError, "UsageError")]),
    "blank_check": (lambda box: box.blank_check(PART, 0x4000, 0x40FF), "Completed", [
        ({"sim_faults": ["target-absent"]}, lambda box: box.blank_check(PART, 0x4000, 0x40FF),
         o8r.ConnectError, "CanNotConnectTarget"),
        ({}, lambda box: box.blank_check(PART, 0x100, 0x1FF), o8r.UsageError, "UsageError")]),
    "read": (lambda box: box.read(PART, 0x4000, 0x40FF), None, [
        ({"sim_protect": "01020304050607"}, lambda box: box.read(PART, 0x4000, 0x40FF),
         o8r.IdCodeError, "IdCodeError"),
        ({}, lambda box: box.read(PART, 0x40FF, 0x4000), o8r.UsageError, "UsageError")]),
    "load": (lambda box: box.load(PART, SAMPLE), "Completed", [
        ({"sim_faults": ["busy-at-page:1:5000"]}, lambda box: box.load(PART, SAMPLE), o8r.TimeOut,
         "TimeOut"),
        ({}, lambda box: box.load("R5F0000000", SAMPLE), o8r.UsageError, "UsageError")]),
    "query": (lambda box: box.query(), "StoreEmpty", [
        ({"sim_update_mode": True}, lambda box: box.query(), o8r.ConnectError, "NotInNormalMode"),
        ({"sim_faults": ["absent"]}, lambda box: box.query(), o8r.ConnectError, "NoProgrammer")]),
    "update": (None, "Completed", [
        ({}, lambda box: box.update(FIRMWARE), o8r.ConnectError, "NotInUpdateMode"),
        ({"sim_update_mode": True, "sim_faults": ["loader-program-fail"]},
         lambda box: box.update(FIRMWARE), o8r.ProgramError, "UpdateProgramError")]),
}


@pytest.mark.parametrize("name", CASES)
def test_operation_success_and_failures(name):
    success, outcome, failures = CASES[name]
    if name == "update":
        with o8r.Box("sim", sim_update_mode=True) as box:
            assert box.update(FIRMWARE).outcome == "Completed"
    else:
        with o8r.Box("sim") as box:
            result = success(box)
            if name == "read":
                assert result == b"\xff" * 0x100
            else:
                assert (result.outcome, result.exit_status) == (outcome, 0)
    for settings, call, kind, failure in failures:
        with o8r.Box("sim", **settings) as box:
            with pytest.raises(kind) as raised:
                call(box)
            assert raised.value.outcome == failure, raised.value.message
            assert raised.value.result.exit_status == (2 if failure == "UsageError" else 1)
            assert raised.value.message


def test_fields_of_a_failure_and_of_a_result(sim_box):
    sim_box.program(PART, SAMPLE)
    with pytest.raises(o8r.NotEmpty) as raised:
        sim_box.blank_check(PART, 0xC000, 0xC0FF)
    error = raised.value
    assert (error.outcome, error.address, error.result.first_filled_address) == (
        "CheckAreaNotEmpty", 0xC000, 0xC000)
    assert error.message.startswith("Check area is not empty.")
    assert error.result.exit_status == 3
    assert isinstance(error, o8r.Error) and not isinstance(error, o8r.UsageError)

    record = sim_box.query().as_record()
    assert (record["outcome"], record["storedName"], record["output"]) == ("StoreEmpty", None,
                                                                          "(empty)")
    sim_box.load(PART, SAMPLE)
    with pytest.raises(o8r.Refused):
        sim_box.load(PART, SAMPLE)
    assert sim_box.load(PART, SAMPLE, replace=True).outcome == "Completed"
    assert sim_box.query().stored_name == "sample"


def test_results_match_the_command_line(sim_box, tmp_path):
    record = sim_box.program(PART, SAMPLE).as_record()
    line = subprocess.run([os.environ["O8R_PROGRAM"], "--box", "sim", "--json", "program",
                           "--mcu", PART, SAMPLE], capture_output=True, text=True, check=True)
    expected = json.loads(line.stdout)
    assert list(record) == list(expected)
    for key in ("command", "part", "box", "image", "outcome", "message", "resetFailed",
                "exitStatus", "firstFilledAddress", "storedName", "bytesRead", "output"):
        assert record[key] == expected[key], key


def test_a_serial_number_per_board(sim_box):
    for value in (1042, 1043):
        result = sim_box.program(PART, SAMPLE, verify=True, serial=o8r.Serial(value, "8000:4:bcd"))
        assert result.serial == {"value": value, "at": "08000:4:bcd",
                                 "bytes": "0000%04d" % value}
        assert sim_box.read(PART, 0x8000, 0x8003) == bytes.fromhex("0000%04d" % value)
        sim_box.erase(PART)
    for at, overwrite in (("C000:4", False), ("100:4", True), ("8000:2:dec", False)):
        with pytest.raises(o8r.UsageError):
            sim_box.program(PART, SAMPLE, serial=o8r.Serial(1042, at, overwrite))
    assert sim_box.program(PART, SAMPLE, serial=o8r.Serial(7, "C000:4", True)).outcome == "Completed"


def test_progress_calls(sim_box):
    calls = []
    sim_box.program(PART, SAMPLE, verify=True, progress=lambda *call: calls.append(call))
    phases = [phase for phase, _ in calls]
    assert sorted(set(phases), key=phases.index) == ["loading", "program", "verify"]
    for phase in ("program", "verify"):
        percents = [percent for p, percent in calls if p == phase]
        assert percents[0] == 0 and percents == sorted(percents) and len(percents) >= 4


def slow_box(**settings):
    # The second page keeps the box busy for 30 s: only a cancel ends it soon.
    return o8r.Box("sim", sim_realtime=True, sim_faults=["busy-at-page:2:30000"], **settings)


def test_ctrl_c_cancels_a_slow_program_and_leaves_the_box_reset(tmp_path):
    with slow_box(sim_state=str(tmp_path / "box.state")) as box:
        timer = threading.Timer(0.5, os.kill, (os.getpid(), signal.SIGINT))
        started = time.monotonic()
        timer.start()
        with pytest.raises(KeyboardInterrupt):
            box.program(PART, SAMPLE)
        assert time.monotonic() - started < 5
        # The box was reset and answers the next operation.
        assert box.blank_check(PART, 0x8000, 0x80FF).outcome == "Completed"


def test_an_exception_in_progress_cancels(sim_box):
    def stop(phase, percent):
        if phase == "program" and percent > 0:
            raise RuntimeError("enough")

    with pytest.raises(RuntimeError, match="enough"):
        sim_box.program(PART, SAMPLE, progress=stop)
    assert sim_box.detect().outcome == "NormalMode"


def test_cancel_from_another_thread():
    with slow_box() as box:
        threading.Timer(0.3, box.cancel).start()
        with pytest.raises(o8r.Cancelled) as raised:
            box.program(PART, SAMPLE)
        assert raised.value.percent < 100


def test_two_boxes_from_two_threads_work_at_once():
    # Each program waits 1.5 s on its busy box: in turn it would take 3 s.
    boxes = [o8r.Box("sim", sim_realtime=True, sim_faults=["busy-at-page:1:1500"],
                     sim_serial=str(n)) for n in (1, 2)]
    results = {}

    def program(box):
        results[box.usb_serial] = box.program(PART, SAMPLE).outcome

    threads = [threading.Thread(target=program, args=(box,)) for box in boxes]
    started = time.monotonic()
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert results == {"1": "Completed", "2": "Completed"}
    assert time.monotonic() - started < 2.6
    for box in boxes:
        box.release()


def test_bad_box_settings_are_usage_errors():
    for box, settings in (("usb", {}), ("auto", {"sim_faults": ["absent"]}),
                          ("sim", {"sim_faults": ["no-such-fault"]})):
        with pytest.raises(o8r.UsageError):
            o8r.Box(box, **settings)


def test_a_protected_target_opens_with_its_id_code_only():
    with o8r.Box("sim", sim_protect="01020304050607") as box:
        assert len(box.read(PART, 0xFF00, 0xFFFF, id="01020304050607")) == 0x100
        with pytest.raises(o8r.IdCodeError):
            box.read(PART, 0xFF00, 0xFFFF, id="01020304050608")
        with pytest.raises(o8r.UsageError):
            box.read(PART, 0xFF00, 0xFFFF, id="0102XX")


def test_the_state_is_saved_on_release_and_the_lock_let_go(tmp_path):
    state = str(tmp_path / "box.state")
    with o8r.Box("sim", sim_state=state) as box:
        box.program(PART, SAMPLE)
    with o8r.Box("sim", sim_state=state) as box:
        with pytest.raises(o8r.NotEmpty):
            box.blank_check(PART, 0x4000, 0x40FF)


def test_a_binary_image_goes_where_base_says(tmp_path):
    binary = tmp_path / "app.bin"
    binary.write_bytes(bytes(range(16)))
    image = o8r.Image(str(binary), PART, base=0x8000)
    assert image.format == "bin" and [page for page, _, _ in image.pages] == [0x80]
