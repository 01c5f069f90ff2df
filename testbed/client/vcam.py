"""Helpers for tests on the virtual camera: its folder, the expander's write log, its state,
the image-server stand-in, and a console file that catches syslog messages."""
import os
import re
import subprocess
import tempfile

from camera import BUILD_DIR, program

WRITE = re.compile(r"t=(\d+) reg=(\d+) val=0x([0-9A-F]{2})")
PULSE = re.compile(r"reg=1 val=0x(1F|2F) .* reads=(\d+)")


def sim_build():
    """True when the programs under test have the virtual camera behind their device seam
    (CAMERA_SEAM, set by CTest; else this build's own seam)."""
    if os.environ.get("CAMERA_SEAM"):
        return os.environ["CAMERA_SEAM"] == "sim"
    try:
        with open(os.path.join(BUILD_DIR, "CMakeCache.txt")) as f:
            return "CAMERA_PLATFORM:STRING=sim" in f.read()
    except OSError:
        return False


class Vcam:
    """A fresh virtual camera folder; env() gives the environment that points programs at it."""

    def __init__(self, pace="real"):
        self.dir = tempfile.mkdtemp(prefix="vcam.", dir="/tmp")
        self.pace = pace

    def env(self, **extra):
        env = dict(os.environ, VCAM_DIR=self.dir, VCAM_PACE=self.pace)
        env.update(extra)
        return env

    def write(self, name, text):
        with open(os.path.join(self.dir, name), "w") as f:
            f.write(text)

    def writes(self):
        """The expander writes so far as (time_us, register, value)."""
        try:
            with open(os.path.join(self.dir, "i2c.log")) as f:
                found = (WRITE.search(line) for line in f)
                return [(int(m[1]), int(m[2]), int(m[3], 16)) for m in found if m]
        except FileNotFoundError:
            return []

    def filter_pulses(self):
        """The filter pulses so far as (value, statistics reports read before it)."""
        try:
            with open(os.path.join(self.dir, "i2c.log")) as f:
                found = (PULSE.search(line) for line in f)
                return [(int(m[1], 16), int(m[2])) for m in found if m]
        except FileNotFoundError:
            return []

    def state(self):
        try:
            with open(os.path.join(self.dir, "state")) as f:
                return dict(line.strip().split("=", 1) for line in f if "=" in line)
        except FileNotFoundError:
            return {}

    def set_state(self, **values):
        state = self.state()
        state.update({k: str(v) for k, v in values.items()})
        self.write("state", "".join(f"{k}={v}\n" for k, v in state.items()))


class ImageServer:
    """The image-server stand-in on the sandbox's queue ("/tmp/img_queue")."""

    def __init__(self):
        self.log = tempfile.mktemp(prefix="imageserver.", suffix=".log", dir="/tmp")
        self.proc = subprocess.Popen(program("testbed", "imageserver", "imageserver") +
                                     ["--log", self.log], stdout=subprocess.PIPE, text=True)
        self.proc.stdout.readline()  # "queue ... ready"

    def commands(self):
        try:
            with open(self.log) as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []

    def stop(self):
        self.proc.terminate()
        self.proc.wait(timeout=5)


def catch_console():
    """Binds a file over /dev/console in the sandbox (its own mount namespace), so syslog
    messages that find no /dev/log land there instead of on the machine's console."""
    path = "/run/console.log"
    open(path, "a").close()
    if not os.path.ismount("/dev/console"):
        subprocess.run(["mount", "--bind", path, "/dev/console"], check=True)
    return path
