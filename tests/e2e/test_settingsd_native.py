"""The compiled settings stand-in (testbed/settingsd-native, for load runs) against the
Python one: the same bytes for gets of every section file, on the camera and a peer board,
for sets and what they leave behind, and for requests either must refuse."""
import os
import socket
import subprocess

from camera import SOURCE_DIR, program, wait_for
from settingsd import Settingsd, wire

SECTIONS = sorted(os.listdir(os.path.join(SOURCE_DIR, "testbed", "settingsd", "sections")))


def probe(*args):
    r = subprocess.run(program("nvtd", "getset", "settings-probe") + list(args),
                       capture_output=True, timeout=60)
    assert r.returncode == 0, r.stderr
    return r.stdout[r.stdout.index(b"result "):]  # after the traces


def raw(port, data):
    """One exchange by hand: everything the server sends until it closes."""
    with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
        s.sendall(data)
        got = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                return got
            got += chunk


def session():
    """The same requests for either server, in order; each answer as bytes."""
    answers = [probe("get", name) for name in SECTIONS]
    answers.append(probe("get", "IMAGE", "2.2.2.3"))
    answers.append(probe("set", "INFO", 'model = "bench"', "extra=1"))
    answers.append(probe("get", "INFO"))
    answers.append(probe("set", "--host", "1.1.1.2", "MOTION", "sensitivity = 9"))
    answers.append(probe("get", "MOTION", "1.1.1.2"))
    answers.append(probe("get", "MOTION"))
    answers.append(raw(20000, wire.request(wire.GET, "INFO")))  # a section of another port
    answers.append(raw(20004, wire.request(wire.SET, "NOSUCH", 4)))  # set of an unknown section
    answers.append(raw(20004, wire.request(7, "INFO")))  # unknown command
    answers.append(raw(20004, wire.request(wire.SET_ALSO, "HIVE", 9) + b"x=1\r\ny=2\n"))  # at once
    answers.append(raw(20004, wire.request(wire.GET, "HIVE")))
    answers.append(raw(20004, wire.request(wire.GET, "INFO", 1 << 20)[:12]))  # out of bounds
    return answers


def native_session():
    state = "/run/settingsd-native"
    proc = subprocess.Popen(program("testbed", "settingsd-native", "settingsd-native") +
                            ["--state", state])
    try:
        assert wait_for(lambda: os.path.exists(os.path.join(state, "ready")), timeout=10)
        return session()
    finally:
        proc.terminate()
        proc.wait(timeout=10)


def test_native_stand_in_answers_as_the_python_one():
    python = Settingsd(state="/run/settingsd-python")
    try:
        expected = session()
    finally:
        python.stop()
    assert expected[0].startswith(b"result 0\n") and len(expected[0]) > len(b"result 0\n")
    got = native_session()
    assert len(got) == len(expected)
    for at, (mine, theirs) in enumerate(zip(got, expected)):
        assert mine == theirs, "answer %d differs" % at
