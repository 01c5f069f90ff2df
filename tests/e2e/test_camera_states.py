"""A state directory gone odd at run time: no link followed, FIFO waited on or huge file read."""
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

ELSEWHERE = "/tmp/elsewhere"
TIMG = "http://www.onvif.org/ver20/imaging/wsdl"


def ir_cut_filter():
    return call('<timg:GetImagingSettings xmlns:timg="%s"><timg:VideoSourceToken>HD</timg:'
                'VideoSourceToken></timg:GetImagingSettings>' % TIMG, TIMG + "/GetImagingSettings",
                path="/onvif/imaging_service").split("IrCutFilter>")[1].split("<")[0]


def alarms(sid):
    return [m[3] for m in messages(pulled(sid, timeout="PT1S")) if m[0] == ALARM]


def bytes_read(processes):
    return [int(open("/proc/%d/io" % p.pid).read().split("rchar:")[1].split()[0])
            for p in processes]


def test_links_fifos_a_huge_file_and_odd_names_in_the_state_directory(tmp_path):
    catch_console()
    nvtd, server, cam = Nvtd(tmp_path), ImageServer(), Vcam()
    daemons = [subprocess.Popen(program(p, p), env=cam.env()) for p in ("irswitchd", "motiond")]
    try:
        assert wait_for(lambda: os.path.exists(os.path.join(STATES, "motion")), timeout=10)
        sid, answer = create_pull_point("PT60S", (ALARM,))
        assert alarms(sid) == ["false"], answer
        # The directory replaced by a link to states that would raise the alarm and so on.
        os.makedirs(ELSEWHERE, mode=0o755)
        for name, value in (("motion", "true"), ("daynight", "night"), ("ircut-mode", "night")):
            with open(os.path.join(ELSEWHERE, name), "w") as f:
                f.write(value + "\n")
        opens = watch_opens(ELSEWHERE)
        shutil.rmtree(STATES)
        os.symlink(ELSEWHERE, STATES)
        time.sleep(3)  # irswitchd reads each second, motiond five times a second
        with pytest.raises(BlockingIOError):
            os.read(opens, 4096)  # nothing in it was opened, let alone made
        assert ir_cut_filter() == "AUTO" and "true" not in alarms(sid)
        os.unlink(STATES)
        os.makedirs(STATES, mode=0o755)
        # FIFOs and a huge file in the states' places, and a name with odd bytes.
        with open(os.path.join(STATES.encode(), b"mo\ntion\x1b[2J"), "w") as f:
            f.write("true\n")
        temp = os.path.join(STATES, ".new")
        for name in ("motion", "daynight", "ircut-mode"):
            if name == "ircut-mode":
                os.truncate(os.open(temp, os.O_CREAT | os.O_WRONLY), 1 << 30)
            else:
                os.mkfifo(temp)
            os.rename(temp, os.path.join(STATES, name))
        before = bytes_read(daemons + [nvtd.proc])
        time.sleep(3)
        assert [n - b < 1 << 20 for n, b in zip(bytes_read(daemons + [nvtd.proc]), before)] \
            == [True] * 3
        assert ir_cut_filter() == "AUTO" and "true" not in alarms(sid)
        assert "ignoring mo\\x0ation\\x1b[2J: not a" in nvtd.log() and "\x1b" not in nvtd.log()
        for d in daemons:  # a stop is answered at once: nobody waits on a FIFO
            d.send_signal(signal.SIGTERM)
            assert d.wait(timeout=5) == 0
        set_state("motion", "true")  # the watcher goes on
        assert wait_for(lambda: "true" in alarms(sid), timeout=10)
    finally:
        for d in daemons:
            d.kill()
            d.wait()
        server.stop()
        nvtd.stop()
        if os.path.islink(STATES):
            os.unlink(STATES)
        shutil.rmtree(ELSEWHERE, ignore_errors=True)
