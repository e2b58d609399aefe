"""Tests a station script would run against the simulated box (see conftest.py)."""

import os
import pathlib

import pytest

import o8r

IMAGE = os.environ.get("O8R_IMAGE", str(pathlib.Path(__file__).parents[2] / "data" / "sample.mot"))
PART = "R5F212A8SN"


def test_program_and_verify(sim_box):
    result = sim_box.program(PART, IMAGE, verify=True)
    assert result.outcome == "Completed"
    assert result.image["crc32"] == o8r.Image(IMAGE, PART).crc32


@pytest.mark.parametrize("sim_box", [{"sim_faults": ["wrong-answer:2"]}], indirect=True)
def test_a_board_that_fails_is_reported(sim_box):
    with pytest.raises(o8r.VerifyError) as failure:
        sim_box.program(PART, IMAGE)
    assert failure.value.outcome == "VerifyError"
