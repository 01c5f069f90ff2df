"""The camera state directory as a fault or a local attacker may leave it while nvtd, motiond
and irswitchd run: the directory replaced by a link, state files replaced by FIFOs or a huge
file, a name with odd bytes. None of them follows the link, hangs on a FIFO or reads the huge
file; nvtd's log shows the odd name escaped; and each goes on once the directory is sound."""
# ctest-labels: vcam
import os
import shutil
import signal
import subprocess
import time

import pytest

from camera import program, wait_for
from events_rig import ALARM, STATES, Nvtd, call, create_pull_point, messages, pulled, set_state
from soundtap_rig import watch_opens
from vcam import ImageServer, Vcam, catch_console, sim_build

pytestmark = pytest.mark.skipif(not sim_build(), reason="needs the virtual camera (sim build)")

MOTIOND = program("motiond", "motiond")
IRSWITCHD = program("irswitchd", "irswitchd")
ELSEWHERE = "/tmp/elsewhere"
IMAGING_WSDL = "http://www.onvif.org/ver20/imaging/wsdl"


def ir_cut_filter():
    answer = call('<timg:GetImagingSettings xmlns:timg="%s"><timg:VideoSourceToken>HD'
                  '</timg:VideoSourceToken></timg:GetImagingSettings>' % IMAGING_WSDL,
                  IMAGING_WSDL + "/GetImagingSettings", path="/onvif/imaging_service")
    return answer.split("IrCutFilter>", 1)[1].split("<", 1)[0]


def alarms(sid):
    return [value for topic, _, _, value in messages(pulled(sid, timeout="PT1S"))
            if topic == ALARM]


@pytest.fixture
def camera(tmp_path):
    """nvtd, the image-server stand-in, irswitchd and motiond on a bright, still scene."""
    catch_console()
    nvtd = Nvtd(tmp_path)
    server = ImageServer()
    cam = Vcam()
    daemons = [subprocess.Popen(p, env=cam.env()) for p in (IRSWITCHD, MOTIOND)]
    try:
        assert wait_for(lambda: os.path.exists(os.path.join(STATES, "motion")), timeout=10)
        yield nvtd, daemons, cam
        for d in daemons:  # a stop is answered at once: nobody waits on a FIFO
            d.send_signal(signal.SIGTERM)
            assert d.wait(timeout=5) == 0
    finally:
        for d in daemons:
            if d.poll() is None:
                d.kill()
                d.wait()
        server.stop()
        nvtd.stop()
        if os.path.islink(STATES):
            os.unlink(STATES)
        shutil.rmtree(ELSEWHERE, ignore_errors=True)


def test_a_directory_replaced_by_a_link_is_neither_read_nor_written(camera):
    nvtd, daemons, cam = camera
    sid, answer = create_pull_point("PT60S", (ALARM,))
    assert alarms(sid) == ["false"], answer
    # Another directory whose states say motion, night and a forced night: read through the
    # link, they would raise an alarm, quiet motiond and turn the filter.
    os.makedirs(ELSEWHERE, mode=0o755)
    for name, value in (("motion", "true"), ("daynight", "night"), ("ircut-mode", "night")):
        with open(os.path.join(ELSEWHERE, name), "w") as f:
            f.write(value + "\n")
    opens = watch_opens(ELSEWHERE)
    shutil.rmtree(STATES)
    os.symlink(ELSEWHERE, STATES)
    time.sleep(3)  # irswitchd reads each second, motiond five times a second
    with pytest.raises(BlockingIOError):
        os.read(opens, 4096)  # nothing in it was opened
    assert ir_cut_filter() == "AUTO"
    assert "true" not in alarms(sid)
    assert sorted(os.listdir(ELSEWHERE)) == ["daynight", "ircut-mode", "motion"]
    assert cam.state().get("filter") != "night"
    assert all(d.poll() is None for d in daemons)
    # A sound directory again: the watcher and the writers go on.
    os.unlink(STATES)
    os.makedirs(STATES, mode=0o755)
    set_state("motion", "true")
    assert wait_for(lambda: "true" in alarms(sid), timeout=10)
    os.close(opens)


def test_fifos_a_huge_file_and_an_odd_name_hold_nobody_up(camera):
    nvtd, daemons, _ = camera
    sid, _ = create_pull_point("PT60S", (ALARM,))
    assert alarms(sid) == ["false"]
    odd = b"mo\ntion\x1b[2J"
    with open(os.path.join(STATES.encode(), odd), "w") as f:
        f.write("true\n")
    for name in ("motion", "daynight"):
        os.mkfifo(os.path.join(STATES, ".fifo"))
        os.rename(os.path.join(STATES, ".fifo"), os.path.join(STATES, name))
    with open(os.path.join(STATES, ".huge"), "w") as f:
        f.truncate(1 << 30)
    os.rename(os.path.join(STATES, ".huge"), os.path.join(STATES, "ircut-mode"))
    read_before = [io(d.pid) for d in daemons + [nvtd.proc]]
    time.sleep(3)
    assert ir_cut_filter() == "AUTO"
    assert "true" not in alarms(sid)
    assert all(d.poll() is None for d in daemons)
    for pid, before in zip([d.pid for d in daemons + [nvtd.proc]], read_before):
        assert io(pid) - before < 1 << 20, pid
    log = nvtd.log()
    assert "ignoring mo\\x0ation\\x1b[2J: not a state name" in log
    assert "\x1b" not in log
    set_state("motion", "true")
    assert wait_for(lambda: "true" in alarms(sid), timeout=10)


def io(pid):
    """Bytes the process has read so far."""
    with open("/proc/%d/io" % pid) as f:
        return int(next(line for line in f if line.startswith("rchar:")).split()[1])
