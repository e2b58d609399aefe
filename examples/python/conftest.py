"""A pytest fixture that gives a test a simulated box of its own.

    def test_my_firmware(sim_box):
        sim_box.program("R5F212A8SN", "build/firmware.mot", verify=True)

The box keeps its state in the test's temporary folder for the length of the
test, and is released afterwards. Parametrize `sim_faults` indirectly to give
the box a fault:

    @pytest.mark.parametrize("sim_box", [{"sim_faults": ["wrong-answer:2"]}], indirect=True)
    def test_a_flaky_board(sim_box): ...
"""

import pytest

import o8r


@pytest.fixture
def sim_box(request, tmp_path):
    settings = getattr(request, "param", {})
    with o8r.Box("sim", sim_state=str(tmp_path / "box.state"), **settings) as box:
        yield box
