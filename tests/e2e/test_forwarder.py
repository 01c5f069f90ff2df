"""The forwarder (the web server's CGI program in front of nvtd --persist) while it waits for
the relay: its reply FIFO goes with it whatever signal ends it, a bounded number wait (the
rest are told 503 at once), and it sleeps on the lock itself instead of looking again and
again."""
import fcntl
import glob
import os
import signal
import subprocess
import time

import pytest
from camera import EMULATOR, program, wait_for
from nvtd_relay import start_persistent

pytestmark = pytest.mark.usefixtures("settings_server")

FORWARDER = program("testbed", "forwarder", "nvtd-forwarder")
LOCK = "/tmp/nvtd_sv.lock"
WAITING_PLACES = 16
BODY = b"<s:Envelope><s:Body><GetFrobnication/></s:Body></s:Envelope>"


@pytest.fixture
def relay_lock_held():
    """nvtd --persist with the relay lock held by the test, so forwarders wait for it."""
    server, fd = start_persistent("--noauth")
    lock = os.open(LOCK, os.O_RDWR)
    fcntl.flock(lock, fcntl.LOCK_EX)
    yield server, lock
    os.close(lock)
    os.close(fd)
    server.stop()


def start_forwarder(prefix=()):
    env = {"PATH": "/usr/bin:/bin", "REQUEST_METHOD": "POST",
           "CONTENT_LENGTH": str(len(BODY))}
    if prefix:  # LeakSanitizer cannot work under ptrace (sanitizer builds)
        env["ASAN_OPTIONS"] = os.environ.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
    proc = subprocess.Popen(list(prefix) + FORWARDER, stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
    proc.stdin.write(BODY)
    proc.stdin.close()
    return proc


def reply_fifo(proc):
    return "/tmp/nvtd_cl.%d" % proc.pid


@pytest.mark.parametrize("sig", [signal.SIGTERM, signal.SIGINT, signal.SIGHUP, signal.SIGPIPE])
def test_a_forwarder_ended_by_a_signal_removes_its_fifo(relay_lock_held, sig):
    proc = start_forwarder()
    try:
        assert wait_for(lambda: os.path.exists(reply_fifo(proc)), timeout=10)
        proc.send_signal(sig)
        proc.wait(timeout=5)
        assert not os.path.lexists(reply_fifo(proc))
    finally:
        proc.kill()
        proc.wait()


def test_waiting_forwarders_are_bounded_and_the_rest_told_503_at_once(relay_lock_held):
    server, lock = relay_lock_held
    extra = 4
    procs = [start_forwarder() for _ in range(WAITING_PLACES + extra)]
    try:
        # Those without a place end at once; those with one wait for the lock.
        assert wait_for(lambda: sum(p.poll() is not None for p in procs) == extra, timeout=20)
        time.sleep(0.3)
        ended = [p for p in procs if p.poll() is not None]
        assert len(ended) == extra
        for p in ended:
            assert p.stdout.read().startswith(b"Status: 503 Service Unavailable\r\n")
            assert not os.path.lexists(reply_fifo(p))
        fcntl.flock(lock, fcntl.LOCK_UN)
        for p in procs:
            if p not in ended:
                out = p.stdout.read()
                p.wait(timeout=60)
                assert p.returncode == 0 and out.startswith(b"HTTP/1.0 400 Bad Request"), out
        assert server.proc.poll() is None
    finally:
        for p in procs:
            p.kill()
            p.wait()


@pytest.mark.skipif(bool(EMULATOR), reason="strace follows the emulator, not the program")
def test_a_waiting_forwarder_sleeps_on_the_lock_instead_of_polling(relay_lock_held):
    server, lock = relay_lock_held
    trace = "/tmp/forwarder.strace"
    proc = start_forwarder(["strace", "-f", "-o", trace, "-e",
                            "trace=flock,fcntl,nanosleep,clock_nanosleep"])
    try:
        # strace's child is the forwarder: its FIFO is the only one.
        assert wait_for(lambda: glob.glob("/tmp/nvtd_cl.*"), timeout=10)
        time.sleep(1.0)  # the lock is busy for a second
        fcntl.flock(lock, fcntl.LOCK_UN)
        out = proc.stdout.read()
        proc.wait(timeout=60)
        assert proc.returncode == 0 and b"400 Bad Request" in out, out
    finally:
        proc.kill()
        proc.wait()
    with open(trace) as f:
        calls = f.read().splitlines()
    sleeps = [c for c in calls if "nanosleep(" in c]
    flocks = [c for c in calls if "flock(" in c and "LOCK_EX" in c]
    # Polling every 10 ms would make some hundred of each.
    assert len(sleeps) < 10 and len(flocks) < 10, calls


@pytest.mark.parametrize("size", [len(BODY), 4000, 4096, 50000])
def test_bodies_of_any_size_reach_nvtd_whole(size):
    """The request goes in writes of at most 4096 bytes, its chunks filling each: nvtd gets
    the body whole, whatever size."""
    server, fd = start_persistent("--noauth")
    try:
        body = BODY + b" " * (size - len(BODY))
        env = {"PATH": "/usr/bin:/bin", "REQUEST_METHOD": "POST", "CONTENT_LENGTH": str(size)}
        r = subprocess.run(FORWARDER, input=body, capture_output=True, env=env, timeout=60)
        assert r.returncode == 0 and r.stdout.startswith(b"HTTP/1.0 400 Bad Request"), r.stdout
        assert b"Unsupported Command" in r.stdout
        out = server.out()
        assert "content length = %d\n" % size in out
        assert "Error" not in server.err() and "dropped" not in out
    finally:
        os.close(fd)
        server.stop()
