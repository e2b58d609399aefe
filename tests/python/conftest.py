import os
import pathlib

import pytest

import o8r

SOURCE = pathlib.Path(os.environ.get("O8R_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
SAMPLE = str(SOURCE / "data" / "sample.mot")
FIRMWARE = str(SOURCE / "data" / "firmware-sample.mot")
PART = "R5F212A8SN"


@pytest.fixture
def sim_box(tmp_path):
    """A simulated box of its own for each test, its state kept in tmp_path."""
    with o8r.Box("sim", sim_state=str(tmp_path / "box.state")) as box:
        yield box
