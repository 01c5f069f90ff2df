"""irswitchd on the virtual camera: as the scene goes from day through dusk and flicker to
night and back, the filter in the virtual expander and the commands at the image-server
stand-in follow. Also the forced modes, the dry run, the help and the start-up failures."""
# ctest-labels: vcam
import signal
import subprocess

import pytest

from camera import program, wait_for
from vcam import ImageServer, Vcam, catch_console, sim_build

pytestmark = pytest.mark.skipif(not sim_build(), reason="needs the virtual camera (sim build)")

IRSWITCHD = program("irswitchd", "irswitchd")


@pytest.fixture
def server():
    catch_console()
    s = ImageServer()
    yield s
    s.stop()


def filter_pulses(cam):
    return [value for _, reg, value in cam.writes() if reg == 1 and value in (0x1F, 0x2F)]


def stop(proc):
    proc.send_signal(signal.SIGTERM)
    out, _ = proc.communicate(timeout=10)
    return proc.returncode, out


def test_day_night_and_back(server):
    cam = Vcam(pace="virtual")
    # Night only after eight dark readings in a row: dusk and flicker must not switch.
    cam.write("scene", "day 2\ndusk 3\nflicker 8\nnight 14\nday 600\n")
    proc = subprocess.Popen(IRSWITCHD + ["-v", "-v"], env=cam.env(), stdout=subprocess.PIPE,
                            text=True)
    try:
        assert wait_for(lambda: server.commands() == ["cmd=43 args=0,0,0,0"], timeout=10)
        assert cam.state()["filter"] == "day"
        assert wait_for(lambda: len(server.commands()) >= 2, timeout=40), server.commands()
        assert server.commands()[1] == "cmd=43 args=1,0,0,0"
        assert cam.state()["filter"] == "night"
        assert wait_for(lambda: len(server.commands()) >= 3, timeout=30), server.commands()
        assert server.commands()[2] == "cmd=43 args=0,0,0,0"
        assert cam.state()["filter"] == "day"
    finally:
        status, out = stop(proc)
    assert status == 0
    assert filter_pulses(cam) == [0x2F, 0x1F, 0x2F]
    lumas = [int(l.rsplit("= ", 1)[1]) for l in out.splitlines() if l.startswith("Luma Sum")]
    assert {120, 15, 3} <= set(lumas)
    # The switch to night came on the eighth reading of a dark run.
    first_night = next(i for i in range(len(lumas)) if lumas[i:i + 8] == [3] * 8)
    assert lumas[first_night - 1] != 3


def test_dry_run_prints_and_switches_nothing(server):
    cam = Vcam()
    proc = subprocess.Popen(IRSWITCHD + ["-r"], env=cam.env(), stdout=subprocess.PIPE, text=True)
    assert wait_for(lambda: int(cam.state().get("reads", "0")) >= 3, timeout=10)
    status, out = stop(proc)
    assert status == 0
    assert out.splitlines()[0] == "Luma Sum = 11520, Luma Avg = 120"
    assert cam.writes() == [] and server.commands() == []


def test_forced_modes(server):
    cam = Vcam(pace="virtual")
    run = subprocess.run(IRSWITCHD + ["-D", "-N"], env=cam.env(), timeout=30)
    assert run.returncode == 0
    assert filter_pulses(cam) == [0x2F]
    # The stand-in logs what it takes from the queue, maybe after irswitchd has gone.
    assert wait_for(lambda: server.commands() == ["cmd=43 args=0,0,0,0"]), server.commands()
    subprocess.run(IRSWITCHD + ["--forcenight"], env=cam.env(), timeout=30, check=True)
    assert cam.state()["filter"] == "night"
    subprocess.run(IRSWITCHD + ["-N", "-c"], env=cam.env(), timeout=30, check=True)
    assert wait_for(lambda: len(server.commands()) == 3, timeout=5)
    assert server.commands()[1:] == ["cmd=43 args=1,0,0,0", "cmd=43 args=0,0,0,0"]


def test_help_and_start_up_failures():
    cam = Vcam()
    run = subprocess.run(IRSWITCHD + ["-h"], env=cam.env(), capture_output=True, text=True)
    assert run.returncode == 255
    assert run.stdout.startswith("irswitchd:\n-n --night [0~255]\t\tluma threshold")
    # Thresholds that are not plain decimal numbers are option errors like an unknown option
    # (they used to read as 4294967291 or 12 and start the daemon).
    for args in (["-x"], ["-n", "abc"], ["-n", "-5"], ["-d", "12x"]):
        run = subprocess.run(IRSWITCHD + args, env=cam.env(), capture_output=True, text=True,
                             timeout=10)
        assert (run.returncode, run.stdout, run.stderr) == (255, "", ""), args
    cam.write("optics", "iav_absent=1\n")
    run = subprocess.run(IRSWITCHD, env=cam.env(), capture_output=True, text=True, timeout=10)
    assert run.returncode == 255
    assert run.stderr.startswith("error opening /dev/iav:: No such file or directory")
