"""motiond on the virtual camera: one person crossing the picture makes the "motion" camera
state true and then false again, which a pull point of nvtd's event service sees as
MotionAlarm true then false; a switch of irswitchd from day to night with nothing moving
makes no motion."""
# ctest-labels: vcam
import os
import signal
import subprocess
import time

import pytest

from camera import program, wait_for
from events_rig import ALARM, TAMPER, Nvtd, create_pull_point, messages, pulled
from onvif_validate import validate
from vcam import ImageServer, Vcam, catch_console, sim_build

pytestmark = pytest.mark.skipif(not sim_build(), reason="needs the virtual camera (sim build)")

MOTIOND = program("motiond", "motiond")
IRSWITCHD = program("irswitchd", "irswitchd")
STATES = "/run/camera-state"


def state(name):
    try:
        with open(os.path.join(STATES, name)) as f:
            return f.read().strip()
    except FileNotFoundError:
        return None


def watch(name, until, timeout):
    """The values a state file takes (each change once) until until(values) or timeout."""
    values = []
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline and not until(values):
        value = state(name)
        if value is not None and (not values or values[-1] != value):
            values.append(value)
        time.sleep(0.02)
    return values


def stop(proc):
    proc.send_signal(signal.SIGTERM)
    proc.communicate(timeout=10)
    return proc.returncode


@pytest.fixture(autouse=True)
def fresh_states():
    catch_console()
    subprocess.run(["rm", "-rf", STATES], check=True)


def test_one_person_crossing_is_one_episode_on_a_pull_point(tmp_path):
    cam = Vcam()
    # Still for four seconds, then a person walks in from the left edge and out at the right.
    cam.write("optics", "luma_noise=16\n")
    cam.write("scene", "day 1000\nobject 4 7 -1.5 3 1.5 2.5 40 2.5\n")
    nvtd = Nvtd(tmp_path)
    proc = subprocess.Popen(MOTIOND, env=cam.env())
    try:
        sid, answer = create_pull_point("PT120S", (ALARM,))
        assert sid is not None, answer
        alarms = []
        deadline = time.monotonic() + 60
        while alarms[-2:] != ["true", "false"] and time.monotonic() < deadline:
            alarms += [value for _, _, _, value in messages(pulled(sid, timeout="PT10S"))]
        assert alarms == ["false", "true", "false"]
        assert state("motion") == "false"
    finally:
        assert stop(proc) == 0
        nvtd.stop()


def test_a_covered_lens_is_image_too_dark_on_a_pull_point_until_uncovered(tmp_path):
    cam = Vcam()
    # Lit and still for three seconds, the lens covered for six, then uncovered.
    cam.write("optics", "luma_noise=16\n")
    cam.write("scene", "day 1000\ncover 3 6\n")
    nvtd = Nvtd(tmp_path)
    proc = subprocess.Popen(MOTIOND, env=cam.env())
    try:
        sid, answer = create_pull_point("PT120S", (TAMPER["image-too-dark"],))
        assert sid is not None, answer
        got, answers = [], []
        deadline = time.monotonic() + 40
        while got[-2:] != ["true", "false"] and time.monotonic() < deadline:
            answers.append(pulled(sid, timeout="PT10S"))
            got += [value for _, _, _, value in messages(answers[-1])]
        assert got == ["false", "true", "false"]
        assert state("motion") == "false"
        assert [state(name) for name in TAMPER] == ["false"] * 4
        validate(tmp_path, *answers)
    finally:
        assert stop(proc) == 0
        nvtd.stop()


def test_day_to_night_without_an_object_is_no_motion():
    cam = Vcam(pace="virtual")
    # The light falls below irswitchd's night threshold; eight readings later it switches,
    # and the filter's night side makes the picture darker, more in some tiles than others.
    cam.write("optics", "luma_noise=16\nnight_gain=500\n")
    cam.write("scene", "day 2 60\ndusk 1000 8\n")
    server = ImageServer()
    irswitchd = subprocess.Popen(IRSWITCHD, env=cam.env())
    motiond = subprocess.Popen(MOTIOND, env=cam.env())
    try:
        night = watch("daynight", lambda v: "night" in v, timeout=40)
        assert night == ["day", "night"]
        assert wait_for(lambda: cam.state().get("filter") == "night", timeout=10)
        # Long enough for the filter's change and its quiet window to pass.
        values = watch("motion", lambda v: False, timeout=8)
        assert values == ["false"]
    finally:
        assert stop(motiond) == 0
        stop(irswitchd)
        server.stop()


def test_help_and_refused_options():
    cam = Vcam()
    run = subprocess.run(MOTIOND + ["-h"], env=cam.env(), capture_output=True, text=True)
    assert run.returncode == 255
    assert run.stdout.startswith("motiond:\n-s --sensitivity [0~100]")
    for args in (["-x"], ["-s", "101"], ["-m", "0"], ["-r", "5x"], ["-c", "fff"], ["extra"]):
        run = subprocess.run(MOTIOND + args, env=cam.env(), capture_output=True, text=True,
                             timeout=10)
        assert (run.returncode, run.stdout, run.stderr) == (255, "", ""), args
