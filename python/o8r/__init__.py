"""Programs Renesas R8C/2A and R8C/2B microcontrollers through the USB
flash-programmer box, or through the simulated box built in.

    import o8r
    with o8r.Box("sim") as box:
        result = box.program("R5F212A8SN", "firmware.mot", verify=True)
        print(result.outcome, result.image["crc32"])

Every operation returns a Result with the fields of `o8rprog --json`'s
record, or raises an o8r.Error that carries the same record. Linux only.
"""

from __future__ import annotations

import datetime as _datetime
import hashlib as _hashlib
import os as _os
import time as _time
import zlib as _zlib
from dataclasses import dataclass, field
from typing import Any, Callable, Dict, Iterable, List, Optional, Sequence, Tuple, Union

from . import _o8r

__version__: str = _o8r.__version__

__all__ = [
    "Box", "Result", "Image", "Serial", "mcus", "Error", "ConnectError", "TimeOut", "VerifyError",
    "NotEmpty", "IdCodeError", "EraseError", "ProgramError", "FileError", "Cancelled",
    "Refused", "UsageError",
]

Progress = Callable[[str, int], Any]


# ---- The exceptions: one class per kind of failure, named by its outcome ----

class Error(Exception):
    """An operation that did not succeed.

    outcome: the ending as `o8rprog --json` names it ("TimeOut", "VerifyError", ...)
    message: the text that reports it, as o8rprog shows it
    result: the whole record (a Result), as for a success
    address, expected, actual: where a check found data or a read-back differed
    percent: how far a cancelled operation got
    reset_failed: the box stayed busy after the reset that ended the operation
    """

    def __init__(self, result: "Result") -> None:
        super().__init__(result.message or result.outcome)
        self.result = result
        self.outcome = result.outcome
        self.message = result.message
        self.address: Optional[int] = result.particulars.get("address")
        self.expected: Optional[int] = result.particulars.get("expected")
        self.actual: Optional[int] = result.particulars.get("actual")
        self.percent: int = result.particulars.get("percent", 0)
        self.reset_failed = result.reset_failed


class ConnectError(Error):
    """No box, more than one, a box in the other mode, or a target that does not answer."""


class TimeOut(Error):
    """The box stayed busy past its allowance, or an answer came short."""


class VerifyError(Error):
    """A page was not programmed as sent, or read back different (address, expected, actual)."""


class NotEmpty(Error):
    """Blank check: `address` is the first byte of the range that is not erased."""


class IdCodeError(Error):
    """The target is protected and the ID code given does not unlock it."""


class EraseError(Error):
    """A block could not be erased."""


class ProgramError(Error):
    """The box's own firmware could not be programmed."""


class FileError(Error):
    """The image file was refused: missing, too large, or not a valid image for the part."""


class Cancelled(Error):
    """The operation was cancelled (Box.cancel()); `percent` is how far it got."""


class Refused(Error):
    """The operation was not started: a stored image kept, a question answered No."""


class UsageError(Error, ValueError):
    """A bad argument: an unknown part, a block the part lacks, a range outside its map."""


_ERRORS: Dict[str, type] = {}
for _kind, _names in (
        (ConnectError, "NoProgrammer MoreThanOneProgrammer CanNotOpenProgrammer NotInNormalMode "
                       "NotInUpdateMode ResetFailed LineSetupFailed ConnectionBroken "
                       "CanNotConnectTarget CanNotConnectProgrammer UpdateLineSetupFailed "
                       "UpdateCanNotConnect"),
        (TimeOut, "TimeOut ReadTimeOut UpdateTimeOut"),
        (VerifyError, "VerifyError VerifyMismatch"),
        (NotEmpty, "CheckAreaNotEmpty"),
        (IdCodeError, "IdCodeError UpdateIdCodeError"),
        (EraseError, "EraseError UpdateBlock0EraseError UpdateBlock1EraseError"),
        (ProgramError, "UpdateProgramError"),
        (FileError, "FileTooLarge FileRefused FileNotChosen"),
        (Cancelled, "Cancelled"),
        (Refused, "StoreKept ChoiceCancelled NoMcuSelected"),
        (UsageError, "UsageError")):
    for _name in _names.split():
        _ERRORS[_name] = _kind


# ---- Results ----

def _iso(seconds: float) -> str:
    moment = _datetime.datetime.fromtimestamp(seconds, _datetime.timezone.utc)
    return moment.strftime("%Y-%m-%dT%H:%M:%S.") + "%03dZ" % (moment.microsecond // 1000)


@dataclass
class Result:
    """What an operation did: the fields of `o8rprog --json`'s record, in snake case.

    as_record() gives them under the record's own names, in its order.
    """

    command: str
    part: str
    box: Dict[str, str]
    image: Optional[Dict[str, Any]]
    start: str
    end: str
    duration_seconds: float
    outcome: str
    message: str
    reset_failed: bool
    exit_status: int
    first_filled_address: Optional[int]
    stored_name: Optional[str]
    bytes_read: Optional[int]
    output: str
    serial: Optional[Dict[str, Any]] = None
    job: Optional[Dict[str, Any]] = None
    messages: List[Tuple[str, str]] = field(default_factory=list)
    particulars: Dict[str, Any] = field(default_factory=dict, repr=False)

    def as_record(self) -> Dict[str, Any]:
        """The record as `o8rprog --json` prints it."""
        return {
            "command": self.command, "part": self.part, "box": dict(self.box),
            "image": None if self.image is None else dict(self.image),
            "start": self.start, "end": self.end,
            "durationSeconds": round(self.duration_seconds, 3), "outcome": self.outcome,
            "message": self.message, "resetFailed": self.reset_failed,
            "exitStatus": self.exit_status, "firstFilledAddress": self.first_filled_address,
            "storedName": self.stored_name, "bytesRead": self.bytes_read, "output": self.output,
            "serial": None if self.serial is None else dict(self.serial), "job": self.job,
        }


def _image_fields(path: Optional[str], pages: Optional[dict]) -> Optional[Dict[str, Any]]:
    if path is None:
        return None
    try:
        size: Optional[int] = _os.path.getsize(path)
    except OSError:
        size = None
    fields: Dict[str, Any] = {"file": path, "size": size, "pages": None, "crc32": None,
                              "sha256": None, "format": None, "idCode": None}
    if pages is not None:
        records = pages["records"]
        fields.update(pages=pages["pages"], crc32="%08x" % _zlib.crc32(records),
                      sha256=_hashlib.sha256(records).hexdigest(), format=pages["format"],
                      idCode=pages["idCode"])
    return fields


def _finish(raw: dict, started: float, steady: float, image: Optional[str]) -> Result:
    outcome = raw["outcome"]
    succeeded = raw.get("succeeded", False)
    if succeeded:
        status = 0
    elif outcome == "CheckAreaNotEmpty":
        status = 3
    elif outcome == "UsageError":
        status = 2
    else:
        status = 1
    output = ""
    if raw["command"] == "detect" and succeeded:
        output = "normal" if outcome == "NormalMode" else "firmware-update"
    elif raw["command"] == "query" and succeeded:
        output = raw["storedName"] if outcome == "StoredName" else "(empty)"
    data = raw.get("data")
    result = Result(
        command=raw["command"], part=raw["part"],
        box={"port": raw["port"], "usbSerial": raw["usbSerial"]},
        image=_image_fields(image, raw["image"]), start=_iso(started), end=_iso(_time.time()),
        duration_seconds=_time.monotonic() - steady, outcome=outcome, message=raw["message"],
        reset_failed=raw.get("resetFailed", False), exit_status=status,
        first_filled_address=raw.get("address") if outcome == "CheckAreaNotEmpty" else None,
        stored_name=raw.get("storedName"), bytes_read=None if data is None else len(data),
        output=output, serial=raw.get("serial"), messages=[(m["caption"], m["text"]) for m in raw["messages"]],
        particulars={k: raw[k] for k in ("address", "expected", "actual", "percent", "data",
                                          "rangeStart") if raw.get(k) is not None})
    if not succeeded:
        raise _ERRORS.get(outcome, Error)(result)
    return result


@dataclass(frozen=True)
class Serial:
    """A board's own number, written into the image before its pages are sent,
    so that the box's page check and a verify cover it: `value` spelt as `at`
    says, "ADDR:LEN[:FORMAT]" (ADDR hexadecimal, LEN bytes, FORMAT le, be,
    bcd, dec or hex; le when left out), as o8rprog's --serial takes it. It
    may go over data the image file holds only with overwrite=True.

        box.program("R5F212A8SN", "fw.mot", serial=o8r.Serial(1042, "FF00:4:bcd"))
    """

    value: int
    at: str
    overwrite: bool = False


# ---- The catalogue ----

def _find_catalogue(named: Optional[str]) -> str:
    """MCUType.mcu: the one named, else $O8R_CATALOGUE, else beside the package (a
    build tree), else ../../../../share/o8r-programmer/ from it (an installed tree,
    wherever it was moved), else the data folder of the prefix it was built for."""
    if named:
        return named
    if _os.environ.get("O8R_CATALOGUE"):
        return _os.environ["O8R_CATALOGUE"]
    here = _os.path.dirname(_os.path.abspath(__file__))
    candidates = [_os.path.join(here, "MCUType.mcu"),
                  _os.path.normpath(_os.path.join(here, "..", "..", "..", "..", "share",
                                                  "o8r-programmer", "MCUType.mcu")),
                  _os.path.join(_o8r.INSTALL_DATA_DIRECTORY, "MCUType.mcu")]
    for candidate in candidates:
        if _os.path.isfile(candidate):
            return candidate
    return candidates[-1]


def mcus(catalogue: Optional[str] = None) -> List[Dict[str, Any]]:
    """Every part of the catalogue: group, series, part, memory_size, and its
    memory regions as inclusive (start, end) pairs."""
    try:
        listing = _o8r.mcus(_find_catalogue(catalogue))
    except ValueError as problem:
        raise _usage(str(problem)) from None
    for entry in listing:
        for key in ("group", "series", "part", "memory_size"):
            entry[key] = entry[key].rstrip()
    return listing


def _refusal(text: str, command: str = "", outcome: str = "UsageError") -> Result:
    """The record of a call refused before any box was touched."""
    now = _time.time()
    return Result(command=command, part="", box={"port": "", "usbSerial": ""}, image=None,
                  start=_iso(now), end=_iso(now), duration_seconds=0.0, outcome=outcome,
                  message=text, reset_failed=False,
                  exit_status=2 if outcome == "UsageError" else 1, first_filled_address=None,
                  stored_name=None, bytes_read=None, output="")


def _usage(text: str, command: str = "") -> UsageError:
    return UsageError(_refusal(text, command))


class Image:
    """An image file (Motorola S-records, Intel HEX or raw binary placed at
    `base`) read as programming `part` would read it.

    pages: (page number, checksum, the 260-byte page record) for each page, in
    the order sent; crc32 and sha256 of the page records, as in the --json
    record; format ("srec", "ihex", "bin"); id_code (14 hexadecimal digits, or
    None when the image leaves the ID bytes erased). Raises FileError when the
    file is refused.
    """

    def __init__(self, path: str, part: str, base: Optional[int] = None,
                 catalogue: Optional[str] = None) -> None:
        try:
            loaded = _o8r.load_image(path, part, base, _find_catalogue(catalogue))
        except ValueError as problem:
            raise _usage(str(problem), "image") from None
        if loaded["error"] is not None:
            raise FileError(_refusal(loaded["error"], "image", "FileRefused"))
        self.path = path
        self.part: str = loaded["part"]
        self.pages: List[Tuple[int, int, bytes]] = loaded["pages"]
        self.format: str = loaded["format"]
        self.id_code: Optional[str] = loaded["idCode"]
        records = b"".join(record for _, _, record in self.pages)
        self.crc32 = "%08x" % _zlib.crc32(records)
        self.sha256 = _hashlib.sha256(records).hexdigest()
        self.size = _os.path.getsize(path)

    def __repr__(self) -> str:
        return "<o8r.Image %s: %d pages, %s, crc32 %s>" % (self.path, len(self.pages),
                                                          self.format, self.crc32)


# ---- The box ----

class Box:
    """A programmer box: "auto" (the one real box attached), "sim" (the
    simulated box) or "serial:/dev/ttyUSB0".

    The sim_* settings are those of o8rprog's --sim-* options; sim_realtime
    makes the simulated box take as long as a real one (it runs on virtual
    time otherwise, finishing at once). Use it as a context manager: the box
    is released (held in reset, closed, a simulated box's state written back)
    on leaving the block, or by release().

    Each operation blocks until it ends, without holding the interpreter's
    lock, so several boxes work at once from several threads. `progress` is
    called as progress(phase, percent) with phase one of "loading",
    "program", "verify", "erase", "blank-check", "read", "load", "update".
    Ctrl-C (KeyboardInterrupt) cancels the operation, the box is reset, and
    the KeyboardInterrupt goes on up; in a phase that cannot be cancelled
    (an erase, the verify read-back, a firmware update) it waits for the
    phase to end. An exception raised by `progress` cancels the same way.
    """

    def __init__(self, box: str = "auto", *, sim_state: Optional[str] = None,
                 sim_faults: Iterable[str] = (), sim_timing: Optional[str] = None,
                 sim_protect: Optional[str] = None, sim_update_mode: bool = False,
                 sim_realtime: bool = False, sim_serial: str = "",
                 catalogue: Optional[str] = None) -> None:
        settings = _o8r.BoxSettings()
        settings.box = box
        settings.sim_state = sim_state or ""
        settings.sim_faults = list(sim_faults)
        settings.sim_timing = sim_timing or ""
        settings.sim_protect = sim_protect or ""
        settings.sim_update_mode = sim_update_mode
        settings.sim_realtime = sim_realtime
        settings.sim_serial = sim_serial
        settings.catalogue = _find_catalogue(catalogue)
        try:
            self._session = _o8r.Session(settings)
        except ValueError as problem:
            raise _usage(str(problem)) from None

    def __enter__(self) -> "Box":
        return self

    def __exit__(self, *exc: object) -> None:
        self.release()

    @property
    def port(self) -> str:
        """The serial port of the box ("sim" for the simulated box), or "" before it is found."""
        return self._session.port

    @property
    def usb_serial(self) -> str:
        """The USB serial number of the box, where the system gives it."""
        return self._session.usb_serial

    def release(self) -> None:
        """Holds the box in reset and closes it; the next operation finds it again."""
        self._session.release()

    def cancel(self) -> None:
        """From another thread: the running operation stops (o8r.Cancelled)
        where it can be cancelled, and the box is reset."""
        self._session.cancel()

    def _run(self, image: Optional[str], call: Callable[[], dict]) -> Result:
        started, steady = _time.time(), _time.monotonic()
        return _finish(call(), started, steady, image)

    def detect(self) -> Result:
        """Finds the box; outcome "NormalMode" or "FirmwareUpdateMode" (output
        "normal" or "firmware-update")."""
        return self._run(None, self._session.detect)

    def program(self, part: str, image: str, verify: bool = False, id: Optional[str] = None,
                serial: Optional[Serial] = None, progress: Optional[Progress] = None) -> Result:
        """Programs the image file into the target, page by page; with verify,
        reads every page back and compares it. `id`: the target's ID code in
        hexadecimal, when it is protected; `serial`: this board's number,
        written into the image (the result's `serial` says where and how)."""
        request = None
        if serial is not None:
            request = _o8r.SerialRequest()
            request.value, request.at, request.overwrite = serial.value, serial.at, serial.overwrite
        return self._run(image, lambda: self._session.program(part, image, verify, id, request,
                                                              progress))

    def erase(self, part: str, blocks: Union[str, Sequence[str]] = "all",
              id: Optional[str] = None, progress: Optional[Progress] = None) -> Result:
        """Erases "all" blocks, or those named as o8rprog names them (["0", "1", "A"]),
        in that order."""
        names = None if blocks == "all" else [blocks] if isinstance(blocks, str) else list(blocks)
        return self._run(None, lambda: self._session.erase(part, names, id, progress))

    def blank_check(self, part: str, start: int, end: int, id: Optional[str] = None,
                    progress: Optional[Progress] = None) -> Result:
        """Checks that start..end (both included) is erased; raises NotEmpty
        with the first address that is not."""
        return self._run(None, lambda: self._session.blank_check(part, start, end, id, progress))

    def read(self, part: str, start: int, end: int, id: Optional[str] = None,
             progress: Optional[Progress] = None) -> bytes:
        """The bytes of start..end, both included."""
        result = self._run(None, lambda: self._session.read(part, start, end, id, progress))
        return result.particulars["data"]

    def load(self, part: str, image: str, replace: bool = False,
             progress: Optional[Progress] = None) -> Result:
        """Stores the image file in the box. An image the box stores already
        is replaced only with replace=True; otherwise Refused."""
        return self._run(image, lambda: self._session.load(part, image, replace, progress))

    def query(self) -> Result:
        """Which image the box stores: `stored_name`, or None when it stores none."""
        return self._run(None, self._session.query)

    def update(self, image: str, progress: Optional[Progress] = None) -> Result:
        """Writes new firmware into a box that came up in its firmware-update mode."""
        return self._run(image, lambda: self._session.update(image, progress))
