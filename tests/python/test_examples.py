import csv
import subprocess
import sys

from conftest import SAMPLE, SOURCE

EXAMPLES = SOURCE / "examples" / "python"


def test_the_station_gives_each_board_a_serial_and_a_line(tmp_path):
    results = tmp_path / "results.csv"
    for first in (1000, 1002):
        subprocess.run([sys.executable, str(EXAMPLES / "program_and_verify.py"), "--box", "sim",
                        "--boards", "2", "--first-serial", str(first), "--serial-at", "8000:4:bcd",
                        "--csv", str(results),
                        SAMPLE], check=True, capture_output=True)
    rows = list(csv.DictReader(results.open()))
    assert [row["serial"] for row in rows] == ["1000", "1001", "1002", "1003"]
    assert [row["serial_bytes"] for row in rows] == ["00001000", "00001001", "00001002", "00001003"]
    assert {row["outcome"] for row in rows} == {"Completed"}


def test_the_example_fixture():
    subprocess.run([sys.executable, "-m", "pytest", "-q", "-p", "no:cacheprovider",
                    str(EXAMPLES)], check=True)
