"""Where the programs of a build are, and starting them (the end-to-end tests and the
benchmarks)."""
import ctypes
import os
import struct
import subprocess
import time

BUILD_DIR = os.environ.get("CAMERA_BUILD_DIR", "")
SOURCE_DIR = os.environ.get("CAMERA_SOURCE_DIR", "")
EMULATOR = os.environ.get("CAMERA_EMULATOR", "")


def program(*parts):
    """Command prefix for a program of this build (under the emulator on cross builds)."""
    path = os.path.join(BUILD_DIR, *parts)
    return ([EMULATOR] if EMULATOR else []) + [path]


def nvtd_program():
    """nvtd's command prefix. nvtd has no device seam: in the camera build, where the build
    folder of the modules that drive the virtual camera holds only the sim variants
    (vcam-seam/), it is the build's."""
    for parts in (("nvtd", "nvtd"), ("..", "nvtd", "nvtd")):
        if os.path.exists(os.path.join(BUILD_DIR, *parts)):
            return program(*parts)
    raise FileNotFoundError("nvtd is not built")


def in_lan(cmd):
    """Command prefix that runs cmd on the LAN side of the camera's eth0."""
    return ["ip", "netns", "exec", "lan"] + list(cmd)


def wait_for(predicate, timeout=5.0, step=0.05):
    """Polls predicate until it is true or timeout seconds pass; returns its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(step)


class Opens:
    """Counts the opens of a file from now on (inotify), such as a daemon's reading it once
    a round. Read it often: opens queued unread in between count once."""

    def __init__(self, path):
        libc = ctypes.CDLL(None, use_errno=True)
        self.fd = libc.inotify_init1(os.O_NONBLOCK | os.O_CLOEXEC)
        if self.fd < 0 or libc.inotify_add_watch(self.fd, path.encode(), 0x20) < 0:  # IN_OPEN
            raise OSError(ctypes.get_errno(), "inotify on " + path)
        self.seen = 0

    def count(self):
        while True:
            try:
                data = os.read(self.fd, 4096)
            except BlockingIOError:
                return self.seen
            at = 0
            while at < len(data):  # struct inotify_event: wd, mask, cookie, len, name
                self.seen += 1
                at += 16 + struct.unpack_from("iIII", data, at)[3]

    def close(self):
        os.close(self.fd)


def fake_calls():
    """Lines logged by the sandbox's stand-in commands (reboot, ifup, ...)."""
    try:
        with open("/run/camera-fakes/calls") as f:
            return f.read().splitlines()
    except FileNotFoundError:
        return []


def ptrace_env():
    """The environment for a program run under strace: LeakSanitizer cannot work there."""
    env = dict(os.environ)
    env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
    return env


def write_accounts(*accounts):
    """Makes /etc/nvtd/users from (name, password, level) accounts with `nvtd useradd`."""
    lines = [subprocess.run(nvtd_program() + ["useradd", *account], capture_output=True,
                            text=True, timeout=30, check=True).stdout for account in accounts]
    os.makedirs("/etc/nvtd", exist_ok=True)
    with open("/etc/nvtd/users", "w") as f:
        f.write("".join(lines))


def start_web_server(folder, forwarder, users):
    """lighttpd with the camera's configuration on port 80, once it accepts connections: the
    ONVIF paths to forwarder (a program named nvtd-forwarder), the snapshot behind HTTP Digest
    for the "name:password" lines of users. Its files are made in folder (a pathlib.Path)."""
    (folder / "www").mkdir(exist_ok=True)
    (folder / "users").write_text(users)
    env = dict(os.environ, CAMERA_WWW=str(folder / "www"), CAMERA_LOG_DIR=str(folder),
               VCAM_DIR="/run/vcam", CAMERA_WEB_USERS=str(folder / "users"),
               CAMERA_FORWARDER=str(forwarder),
               CAMERA_SNAPSHOT=os.path.join(SOURCE_DIR, "testbed", "videoserver", "snapshot"))
    web = subprocess.Popen(["/usr/sbin/lighttpd", "-D", "-f",
                            os.path.join(SOURCE_DIR, "testbed", "webserver", "lighttpd.conf")],
                           env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    from onvif_soap import serving
    assert wait_for(lambda: serving(80), timeout=20)
    return web
