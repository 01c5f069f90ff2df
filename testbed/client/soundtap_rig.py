"""soundtap in the sandbox for tests: the test sound card (testbed/alsa) fed with known
samples, the daemon with its log, consumers as separate processes, the control queues
through the sndq-client tool, and a local attacker (an unprivileged user)."""
import ctypes
import math
import os
import random
import shutil
import signal
import struct
import subprocess
import sys

from camera import SOURCE_DIR, program, wait_for

LIB = os.path.dirname(__file__)
CONSUMER = os.path.join(LIB, "sound_consumer.py")
FEEDER = os.path.join(SOURCE_DIR, "testbed", "alsa", "feed_sound")
LOG = "/tmp/soundtap.log"
OUT = "/tmp/soundtap.out"
SNDQ = program("soundtap", "sndq-client")
NOBODY = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]
IN_OPEN = 0x20


def for_nobody(cmd):
    """cmd with its program and the emulator before it (the paths of a command prefix) copied
    where nobody can run them: the source tree and the build may sit under a directory only
    root may enter."""
    os.makedirs("/tmp/nobody-bin", mode=0o755, exist_ok=True)
    out = []
    for part in cmd:
        if os.path.isfile(part):
            copy = os.path.join("/tmp/nobody-bin", os.path.basename(part))
            shutil.copy(part, copy)
            os.chmod(copy, 0o755)
            part = copy
        out.append(part)
    return out


def attacker(*cmd, check=True):
    """Runs cmd as the unprivileged local user."""
    return subprocess.run(NOBODY + [str(c) for c in cmd], capture_output=True, text=True,
                          check=check)


def watch_opens(path):
    """An inotify descriptor that turns readable once the object at path is opened."""
    libc = ctypes.CDLL(None, use_errno=True)
    fd = libc.inotify_init1(os.O_NONBLOCK | os.O_CLOEXEC)
    assert fd >= 0 and libc.inotify_add_watch(fd, path.encode(), IN_OPEN) >= 0
    return fd


def tone_s16(seconds, rate, freq=1000.0, seed=7):
    """A sine tone with a little deterministic noise (so no two chunks are alike)."""
    rnd = random.Random(seed)
    n = int(seconds * rate)
    return b"".join(struct.pack("<h", int(8000 * math.sin(2 * math.pi * freq * i / rate))
                                + rnd.randint(-40, 40)) for i in range(n))


def g711_ulaw(pcm):
    """ITU-T G.711 mu-law of 16-bit little-endian samples."""
    out = bytearray()
    for (v,) in struct.iter_unpack("<h", pcm):
        mask = 0x7F if v < 0 else 0xFF
        mag = min(-v if v < 0 else v, 32635) + 0x84
        seg = mag.bit_length() - 8
        out.append(((seg << 4) | ((mag >> (seg + 3)) & 0xF)) ^ mask)
    return bytes(out)


def cyclic(data, n):
    return (data * (n // len(data) + 1))[:n]


class Soundtap:
    def __init__(self, args=(), data=b"", bytes_per_second=48000, conf="asound.conf",
                 before=None, wrap=()):
        self.args, self.data, self.rate, self.conf = [str(a) for a in args], data, bytes_per_second, conf
        self.before = before  # called once the old queues are gone, before the daemon starts
        self.wrap = list(wrap)  # a command the daemon runs under (strace)
        self.proc = self.feeder = None
        self.consumers = []

    def start(self):
        # The queues hold 50 messages, more than a namespace allows by default to a process
        # without CAP_SYS_RESOURCE; the limit belongs to the sandbox's own IPC namespace.
        with open("/proc/sys/fs/mqueue/msg_max", "w") as f:
            f.write("64")
        subprocess.run(SNDQ + ["unlink"], check=True)
        if self.before:
            self.before()
        # ALSA reads a list of paths there: a copy at a plain path, wherever the tree is.
        conf = os.path.join("/tmp", "alsa-" + self.conf)
        shutil.copy(os.path.join(SOURCE_DIR, "testbed", "alsa", self.conf), conf)
        env = dict(os.environ, ALSA_CONFIG_PATH=conf)
        if self.wrap:  # LeakSanitizer cannot work under ptrace
            env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
        if self.conf == "asound.conf":
            with open("/tmp/sound-data", "wb") as f:
                f.write(self.data)
            self.feeder = subprocess.Popen([sys.executable, FEEDER, "/tmp/sound-data",
                                            str(self.rate)])
        else:
            with open("/tmp/sound-in.s16", "wb") as f:
                f.write(self.data)
        with open(LOG, "wb") as log, open(OUT, "wb") as out:
            self.proc = subprocess.Popen(self.wrap + program("soundtap", "soundtap") + self.args +
                                         ["--stdout"], stdout=out, stderr=log, env=env)
        # Under strace, and behind a squatter's rounds, a loaded machine takes longer.
        assert self.wait_log("enter audio_thread\n", timeout=30.0 if self.wrap else 8.0), self.log()
        return self

    def stop(self):
        for c in self.consumers:
            if c.poll() is None:
                c.kill()
            c.wait()
        if self.proc and self.proc.poll() is None:
            # Under a wrapper the daemon itself: strace, running it, holds off SIGTERM.
            os.kill(self.daemon_pid(), signal.SIGTERM)
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        if self.feeder:
            self.feeder.terminate()
            self.feeder.wait()

    def daemon_pid(self):
        if not self.wrap:
            return self.proc.pid
        try:
            with open("/proc/%d/task/%d/children" % (self.proc.pid, self.proc.pid)) as f:
                return int(f.read().split()[0])
        except (OSError, IndexError):
            return self.proc.pid

    def log(self):
        with open(LOG, errors="replace") as f:
            return f.read()

    def out(self):
        with open(OUT, errors="replace") as f:
            return f.read()

    def wait_log(self, text, count=1, timeout=8.0):
        return wait_for(lambda: self.log().count(text) >= count, timeout)

    def send(self, text):
        subprocess.run(SNDQ + ["send", text], check=True)

    def send_batch(self, texts):
        """Queues texts while the daemon is stopped, so that one pass handles them all."""
        self.proc.send_signal(signal.SIGSTOP)
        try:
            for text in texts:
                self.send(text)
        finally:
            self.proc.send_signal(signal.SIGCONT)

    def ask(self, text, wait_ms=3000):
        r = subprocess.run(SNDQ + ["ask", text, str(wait_ms)],
                           capture_output=True, text=True)
        return r.stdout.rstrip("\n")

    def sync(self):
        """Returns once every request queued so far has been handled."""
        assert " sample " in " " + self.ask("getinfo")

    def consumer(self, name, *options, path=None):
        """Starts a consumer on /tmp/soundtap/NAME (or path); returns (process, output)."""
        path = path or "/tmp/soundtap/" + name
        out = "/tmp/" + name + ".out"
        os.makedirs("/tmp/soundtap", exist_ok=True)
        if os.path.exists(path):
            os.unlink(path)
        os.mkfifo(path)
        proc = subprocess.Popen([sys.executable, CONSUMER, path, out] + [str(o) for o in options])
        self.consumers.append(proc)
        return proc, out

    def register(self, name, *options, path=None):
        proc, out = self.consumer(name, *options, path=path)
        self.send("start audio " + (path or "/tmp/soundtap/" + name))
        return proc, out

    def device_open(self):
        """Whether the daemon holds the sound card's input open."""
        fd_dir = "/proc/%d/fd" % self.proc.pid
        for fd in os.listdir(fd_dir):
            try:
                if os.readlink(os.path.join(fd_dir, fd)).startswith("/tmp/sound-in"):
                    return True
            except OSError:
                pass
        return False


def read_file(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""


def size_at_least(path, n):
    return lambda: len(read_file(path)) >= n
