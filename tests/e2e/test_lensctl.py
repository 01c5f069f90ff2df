"""The installed lensctl on the virtual camera: the register writes it makes, the lens position
that outlives each run, the filter pulse, autofocus and focusval (the command words' details
are unit-tested in lensctl/commands_vcam_test.cc)."""
# ctest-labels: vcam
import re
import signal
import subprocess

import pytest

from camera import wait_for
from vcam import Vcam, sim_build

pytestmark = pytest.mark.skipif(not sim_build(), reason="needs the virtual camera (sim build)")

LENSCTL = "/usr/local/bin/lensctl"


def lensctl(cam, *words, timeout=60):
    return subprocess.run([LENSCTL, *words], env=cam.env(), capture_output=True, text=True,
                          timeout=timeout)


def register1(cam):
    return [value for _, reg, value in cam.writes() if reg == 1]


def test_focus_step_near_writes_thirty_phases_then_idle():
    cam = Vcam()
    assert lensctl(cam, "focusstepnear", "10", "3").returncode == 0
    writes = cam.writes()
    assert writes[0][1:] == (3, 0xC0)
    assert register1(cam) == [0x39, 0x3A, 0x36, 0x35] * 7 + [0x39, 0x3A] + [0xFF]
    assert cam.state()["focus"] == "-30"


def test_counts_that_are_not_plain_numbers_get_the_usage_and_move_nothing():
    cam = Vcam()
    for words in (("focusstepnear", "-1", "3"), ("zoomstepin", "10", "abc"),
                  ("focusstepfar", "+5", "3"), ("write", "12x", "1")):
        run = lensctl(cam, *words)
        assert run.returncode == 1 and run.stdout.startswith("usage: "), words
    assert cam.writes() == []


def test_lens_position_outlives_each_run():
    cam = Vcam()
    lensctl(cam, "focusstepfar", "10", "4")
    lensctl(cam, "focusstepfar", "10", "4")
    # Each far move ends on 0x39 and the next begins on 0x35, the following phase: no loss.
    assert cam.state()["focus"] == "79"  # the first pulse from power-on's 0x35 is lost
    lensctl(cam, "focusstepnear", "20", "2")
    assert cam.state()["focus"] == "40"


def test_irnight_pulses_one_second_and_moves_the_filter():
    cam = Vcam()
    assert lensctl(cam, "irnight").returncode == 0
    writes = cam.writes()
    assert [w[1:] for w in writes] == [(3, 0xC0), (1, 0x1F), (1, 0xFF)]
    assert writes[2][0] - writes[1][0] == 1000000
    assert cam.state()["filter"] == "night"
    lensctl(cam, "irday")
    assert cam.state()["filter"] == "day"


def test_vautofocus_finds_the_true_focus():
    cam = Vcam()
    cam.write("optics", "true_focus=-350\nwidth=300\nnoise=2\nslices=3\n")
    run = lensctl(cam, "vautofocus", timeout=120)
    assert run.returncode == 0
    lines = [l for l in run.stdout.splitlines() if re.fullmatch(r"-?\d+(,-?\d+){7}", l)]
    assert run.stdout.startswith("tiles = 16x15 = 240\n")
    assert 50 <= int(lines[-1].split(",")[1]) <= 52
    assert abs(int(cam.state()["focus"]) + 350) <= 36


def test_focusval_prints_values_until_interrupted():
    cam = Vcam()
    proc = subprocess.Popen([LENSCTL, "focusval"], env=cam.env(), stdout=subprocess.PIPE,
                            text=True)
    assert wait_for(lambda: int(cam.state().get("reads", "0")) >= 5, timeout=10)
    proc.send_signal(signal.SIGINT)
    out, _ = proc.communicate(timeout=10)
    assert proc.returncode == 0
    values = out.split(" ")
    assert values[-1] == "" and len(values) > 5
    assert all(v.isdigit() for v in values[:-1])
    assert cam.writes() == []  # the bus is not opened


def test_focusval_without_the_driver():
    cam = Vcam()
    cam.write("optics", "iav_absent=1\n")
    run = lensctl(cam, "focusval")
    assert run.returncode == 0
    assert run.stderr.startswith("/dev/iav: No such file or directory")
