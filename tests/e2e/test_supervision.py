"""The start-up scripts' watchdog (packaging/init.d/supervise.sh): each daemon is started
again after it dies, restarts are logged and slowed down when a program cannot stay up, and
"stop" ends the watchdog and its program. The daemons are stood in for by small scripts
installed where the package puts the programs (the sandbox's /usr/local overlay); nvtd's own
case, with the real program, is in test_nvtd_relay.py."""
import os
import shutil
import signal
import subprocess

import pytest

from camera import SOURCE_DIR, wait_for

INIT_D = os.path.join(SOURCE_DIR, "packaging", "init.d")
DAEMONS = [("S60soundtap", "soundtap"), ("S80irswitchd", "irswitchd"),
           ("S85motiond", "motiond"), ("S70nvtd", "nvtd")]


def pids_of(path):
    """Live processes whose command line names path (the stand-ins are shell scripts)."""
    found = []
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{entry}/stat") as f:
                if f.read().rpartition(")")[2].split()[0] == "Z":
                    continue
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                words = f.read().split(b"\0")
        except OSError:
            continue
        if path.encode() in words:
            found.append(int(entry))
    return found


@pytest.fixture
def rig(tmp_path):
    """Busybox's applets first on PATH (the camera's shell tools), logger writing to a file."""
    applets = tmp_path / "bin"
    applets.mkdir()
    for applet in ("start-stop-daemon", "sleep", "cat", "rm", "dirname", "basename", "date"):
        os.symlink(shutil.which("busybox"), applets / applet)
    log = tmp_path / "syslog"
    (applets / "logger").write_text(f'#!/bin/sh\necho "$*" >> {log}\n')
    (applets / "logger").chmod(0o755)
    env = dict(os.environ, PATH=f"{applets}:{os.environ['PATH']}")

    class Rig:
        def install(self, name, body):
            path = f"/usr/local/bin/{name}"
            with open(path, "w") as f:
                f.write(f"#!/bin/sh\necho $$ >> {tmp_path}/{name}.starts\n{body}\n")
            os.chmod(path, 0o755)
            return path

        def starts(self, name):
            try:
                return (tmp_path / f"{name}.starts").read_text().split()
            except FileNotFoundError:
                return []

        def script(self, script, action, **extra):
            return subprocess.run(["busybox", "sh", os.path.join(INIT_D, script), action],
                                  env=dict(env, **extra), capture_output=True, timeout=30)

        def log(self):
            return log.read_text() if log.exists() else ""

    return Rig()


@pytest.mark.parametrize("script,name", DAEMONS)
def test_a_killed_daemon_is_started_again_and_stop_ends_both(rig, script, name):
    path = rig.install(name, "while :; do sleep 1; done")
    assert rig.script(script, "start").returncode == 0
    try:
        assert wait_for(lambda: len(pids_of(path)) == 1, timeout=10)
        first = pids_of(path)[0]
        os.kill(first, signal.SIGKILL)
        # Started again: a new process that has written its start.
        assert wait_for(lambda: len(rig.starts(name)) == 2 and pids_of(path) not in ([], [first]),
                        timeout=8), f"{name} was not started again"
        assert f"-t {name} exited with status 137; starting it again in 2 s" in rig.log()
    finally:
        assert rig.script(script, "stop").returncode == 0
    assert wait_for(lambda: not pids_of(path) and
                    not pids_of(os.path.join(INIT_D, script)), timeout=15)


def test_a_program_that_cannot_stay_up_is_restarted_more_slowly_and_stop_still_works(rig):
    path = rig.install("motiond", "exit 3")
    quick = dict(RESPAWN_DELAY="0", RESPAWN_BURST="3", RESPAWN_BACKOFF="30")
    assert rig.script("S85motiond", "start", **quick).returncode == 0
    watchdog = os.path.join(INIT_D, "S85motiond")
    try:
        assert wait_for(lambda: "waiting longer" in rig.log(), timeout=10), rig.log()
        assert len(rig.starts("motiond")) == 4
        assert "-t motiond exited with status 3; starting it again in 30 s" in rig.log()
        assert not wait_for(lambda: len(rig.starts("motiond")) > 4, timeout=2)
    finally:
        assert rig.script("S85motiond", "stop").returncode == 0
    # The watchdog's 30 s wait does not hold up the stop.
    assert wait_for(lambda: not pids_of(watchdog), timeout=5)
    assert not pids_of(path)
