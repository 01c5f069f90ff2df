"""nvtd in persistent mode (--persist): the relay protocol spoken by hand, its errors, and the
forwarder behind busybox httpd answering curl from the LAN side; a PullMessages held
through the relay."""
import glob
import os
import re
import shlex
import shutil
import signal
import stat
import subprocess
import struct
import sys
import threading
import time

import pytest
from camera import EMULATOR, in_lan, program, wait_for
from events_rig import (ALARM, CELL, EVENTS_WSDL, STATES, TDS, WITHIN, WSNT, envelope, messages,
                        set_state, sid_header)
from nvtd_relay import (SERVER_FIFO, Nvtd, ReplyFifo, content_message, env_message, fifo_unread,
                        header, open_message, own_server_fifo, relay_request, start_persistent)
from onvif_validate import validate

# nvtd finds its settings at once instead of waiting for CAM.
pytestmark = pytest.mark.usefixtures("settings_server")

BODY = b"<s:Envelope><s:Body><GetFrobnication/></s:Body></s:Envelope>"
ENV_LINES = ["REQUEST_METHOD=POST", "REQUEST_URI=/onvif/device_service",
             "CONTENT_TYPE=application/soap+xml", f"CONTENT_LENGTH={len(BODY)}"]


@pytest.fixture
def persistent():
    # Without authentication, so that an unknown operation reaches the action table.
    server, fd = start_persistent("--noauth")
    yield server, fd
    os.close(fd)
    server.stop()


def check_fault_reply(reply):
    status = b"HTTP/1.0 400 Bad Request\r\n"
    assert reply.startswith(status + b"Content-Length: "), reply[:200]
    head, _, body = reply[len(status):].partition(b"\r\n\r\n")
    assert int(head.split(b"\r\n")[0].split(b": ")[1]) == len(body)
    assert b"Unsupported Command" in body


def check_served_after_protocol_error(server):
    """The broken request was dropped with its rest and nvtd still serves."""
    assert wait_for(lambda: "bytes of the broken request dropped\n" in server.out()
                    or server.proc.poll() is not None, timeout=10), server.out()
    assert server.proc.poll() is None, server.err()
    assert "relay: protocol error, request dropped\n" in server.out()
    r = forward(BODY)
    assert r.returncode == 0, r.stdout
    check_fault_reply(r.stdout)
    assert server.proc.poll() is None


def test_requests_are_answered_on_the_reply_fifo(persistent):
    server, fd = persistent
    for pid in (4001, 4002):
        check_fault_reply(relay_request(fd, pid, BODY, ENV_LINES))
    out = server.out()
    assert "called with persist\npersisting\n" in out
    assert "client pid = 4002\nopened fifo /tmp/nvtd_cl.4002\n" in out
    assert "close fifo /tmp/nvtd_cl.4002\n" in out
    assert server.proc.poll() is None


def test_chunks_4_0_6_are_accepted(persistent):
    server, fd = persistent
    reply = ReplyFifo(4100)
    os.write(fd, open_message(4100))
    os.write(fd, env_message("REQUEST_METHOD=POST\nCONTENT_LENGTH=10"))
    os.write(fd, content_message([b"0123", b"", b"456789"]))
    check_fault_reply(reply.read_all())
    reply.close()
    assert "content length = 10\n" in server.out()
    assert server.proc.poll() is None


def test_chunks_6_6_are_rejected_at_the_second(persistent):
    server, fd = persistent
    reply = ReplyFifo(4200)
    os.write(fd, open_message(4200))
    os.write(fd, env_message("REQUEST_METHOD=POST\nCONTENT_LENGTH=10"))
    os.write(fd, content_message([b"012345", b"678901"]))
    assert reply.read_all() == b""  # dropped unanswered
    reply.close()
    check_served_after_protocol_error(server)
    out = server.out()
    assert "fifo_read_content: read length is past content length!\n" in out
    assert "bogus content\n" in out
    assert "close fifo /tmp/nvtd_cl.4200\n" in out


def test_env_before_open_is_dropped_and_the_next_request_served(persistent):
    server, fd = persistent
    os.write(fd, env_message("CONTENT_LENGTH=10"))
    check_served_after_protocol_error(server)
    assert "got unexpected fifo message 2, needed OPEN\n" in server.err()


def test_missing_content_length_is_dropped_and_the_next_request_served(persistent):
    server, fd = persistent
    reply = ReplyFifo(4300)
    os.write(fd, open_message(4300))
    os.write(fd, env_message("REQUEST_METHOD=POST"))
    os.write(fd, header(3))
    assert reply.read_all() == b""
    reply.close()
    check_served_after_protocol_error(server)
    assert "need content length!bogus content\n" in server.out()


def test_requests_of_dead_forwarders_are_read_and_dropped_and_the_next_is_served(persistent):
    """A forwarder killed by the web server after sending its request: its reply FIFO is
    gone, or still there without a reader. Its ENV and CONTENT are read and dropped, and the
    FIFO it left is removed at once (its process is gone) instead of waited on for 5 s."""
    server, fd = persistent
    env = "\n".join(ENV_LINES)
    os.write(fd, open_message(4400) + env_message(env) + content_message([BODY]))  # no FIFO
    os.mkfifo("/tmp/nvtd_cl.4401", 0o600)  # its FIFO, whose reader is gone
    os.write(fd, open_message(4401) + env_message(env) + content_message([BODY]))
    r = forward(BODY)
    assert r.returncode == 0, r.stdout
    check_fault_reply(r.stdout)
    err = server.err()
    assert "server failed to open /tmp/nvtd_cl.4400, No such file or directory" in err
    assert "server failed to open /tmp/nvtd_cl.4401, No such process" in err
    assert not os.path.lexists("/tmp/nvtd_cl.4401")
    assert server.out().count("relay: no reply fifo, request dropped\n") == 2
    assert server.proc.poll() is None


def test_sigterm_ends_a_persistent_server_with_status_0_even_inside_a_request(persistent):
    server, fd = persistent
    check_fault_reply(relay_request(fd, 4500, BODY, ENV_LINES))  # the loop is running now
    reply = ReplyFifo(4501)
    os.write(fd, open_message(4501))  # a request begun and not ended
    assert wait_for(lambda: "opened fifo /tmp/nvtd_cl.4501\n" in server.out(), timeout=10)
    server.proc.send_signal(signal.SIGTERM)
    assert server.wait(timeout=10) == 0
    reply.close()


FORWARDER = program("testbed", "forwarder", "nvtd-forwarder")


def forward(body, **env):
    cgi_env = {"PATH": "/usr/bin:/bin", "REQUEST_METHOD": "POST",
               "CONTENT_LENGTH": str(len(body))}
    cgi_env.update(env)
    return subprocess.run(FORWARDER, input=body, capture_output=True, env=cgi_env, timeout=30)


def test_forwarder_relays_a_request(persistent):
    server, _ = persistent
    r = forward(BODY, HTTP_SOAPACTION='"http://example/GetFrobnication"', PATH="/tmp/evil",
                HTTP_AUTHORIZATION='Digest username="secret-name"')
    assert r.returncode == 0, r.stdout
    check_fault_reply(r.stdout)
    out = server.out()
    assert 'got HTTP_SOAPACTION="http://example/GetFrobnication"\n' in out
    assert "PATH=" not in out  # the forwarder hands over request variables only
    # Credentials go over, and stay out of the trace.
    assert "got HTTP_AUTHORIZATION=...\n" in out and "secret-name" not in out


def test_forwarder_refuses_a_bad_length_itself(persistent):
    server, _ = persistent
    # (A length of 0 is relayed: nvtd answers such an empty request with the Digest challenge.)
    for bad in ("-5", "50001", "x"):
        r = forward(BODY, CONTENT_LENGTH=bad)
        assert r.returncode == 1
        assert r.stdout == (b"Status: 400 Bad Request\r\nContent-Type: text/plain\r\n\r\n"
                            b"bogus content length!\n"), bad
    assert server.proc.poll() is None


def test_the_media2_address_reaches_media2_through_the_forwarder(persistent, tmp_path):
    """A request the web server hands over from the Media2 address, with or without the
    ver20 namespace, is Media2's."""
    answers = [forward(('<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope"><s:Body>%s'
                        "</s:Body></s:Envelope>" % body).encode(),
                       REQUEST_URI="/onvif/media2_service").stdout.decode()
               for body in ("<GetServiceCapabilities/>", '<GetProfiles xmlns="http://www.onvif.org/'
                            'ver20/media/wsdl"><Type>VideoEncoder</Type></GetProfiles>')]
    assert 'MaximumNumberOfProfiles="7"' in answers[0]
    assert answers[1].count("<tr2:VideoEncoder ") == 2
    validate(tmp_path, *answers)


def test_forwarder_without_server_says_so():
    r = forward(BODY)
    assert r.returncode == 1
    assert r.stdout.startswith(b"Status: 502 Bad Gateway\r\n")


def test_concurrent_forwarders_do_not_interleave(persistent):
    server, _ = persistent
    results = [None] * 6

    def one(i):
        results[i] = forward(BODY + b" " * i)

    threads = [threading.Thread(target=one, args=(i,)) for i in range(6)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(timeout=60)
    for r in results:
        assert r is not None and r.returncode == 0
        check_fault_reply(r.stdout)
    assert server.proc.poll() is None


@pytest.fixture
def httpd(persistent):
    root = "/tmp/www"
    os.makedirs(f"{root}/cgi-bin", exist_ok=True)
    script = f"{root}/cgi-bin/onvif"
    with open(script, "w") as f:
        f.write("#!/bin/sh\nexec " + shlex.join(FORWARDER) + "\n")
    os.chmod(script, 0o755)
    proc = subprocess.Popen(["busybox", "httpd", "-f", "-p", "8088", "-h", root],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    import socket

    def up():
        try:
            socket.create_connection(("127.0.0.1", 8088), timeout=0.2).close()
            return True
        except OSError:
            return False

    assert wait_for(up, timeout=10)
    yield persistent
    proc.terminate()
    proc.wait(timeout=10)


def test_busybox_httpd_and_forwarder_answer_curl_from_the_lan(httpd):
    server, _ = httpd
    r = subprocess.run(in_lan(["curl", "-s", "-i", "--max-time", "20", "-X", "POST",
                               "-H", "Content-Type: application/soap+xml; charset=utf-8",
                               "-H", 'SOAPAction: "http://example/GetFrobnication"',
                               "--data-binary", BODY.decode(),
                               "http://10.99.0.2:8088/cgi-bin/onvif"]),
                       capture_output=True, timeout=60)
    assert r.returncode == 0, r.stderr
    assert r.stdout.startswith(b"HTTP/1.0 400 Bad Request\r\n"), r.stdout[:300]
    assert b"<SOAP-ENV:Text xml:lang=\"en\">Unsupported Command</SOAP-ENV:Text>" in r.stdout
    assert "content length = %d\n" % len(BODY) in server.out()


def test_a_forwarder_that_stops_half_way_is_dropped_and_the_next_is_served(persistent):
    server, _ = persistent
    env = "REQUEST_METHOD=POST\nCONTENT_LENGTH=%d" % len(BODY)
    # One forwarder stops inside its ENV text, another inside a CONTENT chunk; neither closes
    # the server FIFO for nvtd (it keeps a write end of its own anyway) nor its reply FIFO.
    for pid, cut in ((4600, env_message(env)[:-5]),
                     (4601, env_message(env) + content_message([BODY])[:-7])):
        reply = ReplyFifo(pid)
        fd = os.open(SERVER_FIFO, os.O_WRONLY)
        os.write(fd, open_message(pid))
        os.write(fd, cut)
        assert reply.read_all(timeout=30) == b""  # closed unanswered
        reply.close()
        os.close(fd)
    r = forward(BODY)
    assert r.returncode == 0, r.stdout
    check_fault_reply(r.stdout)
    assert server.out().count("relay: message cut short, request dropped\n") == 2
    assert server.proc.poll() is None


# A sender of one broken request: its reply FIFO open for reading, the first part at once,
# the second after a pause, then alive (reading nothing) until killed.
BROKEN_SENDER = """
import os, sys, time
pid, first, second = os.getpid(), bytes.fromhex(sys.argv[1]), bytes.fromhex(sys.argv[2])
path = "/tmp/nvtd_cl.%d" % pid
os.mkfifo(path, 0o600)
reply = os.open(path, os.O_RDONLY | os.O_NONBLOCK)
server = os.open("/tmp/nvtd_sv", os.O_WRONLY)
os.write(server, first.replace(b"PID!", pid.to_bytes(4, sys.byteorder)))
print("sent", flush=True)
time.sleep(0.5)
os.write(server, second)
time.sleep(60)
"""
OPEN_PID = header(1) + b"PID!"
WHOLE_ENV = env_message("\n".join(ENV_LINES))


@pytest.mark.parametrize("first, second, kill, dropped", [
    # an unknown message type where ENV belongs
    (OPEN_PID, header(9) + b"\0" * 16, False, "protocol error"),
    # ENV counts with a negative byte count, then text
    (OPEN_PID, header(2) + struct.pack("=ii", 1, -20) + b"REQUEST_METHOD=POST\n", False,
     "protocol error"),
    # a forwarder killed in the middle of its body
    (OPEN_PID + WHOLE_ENV + content_message([BODY])[:-20], b"", True, "message cut short"),
], ids=["unknown type", "negative count", "killed mid-body"])
def test_a_broken_request_costs_only_itself(persistent, first, second, kill, dropped):
    """The next forwarder, started once nvtd has read the broken one's first part, is
    answered: the rest of the broken request is dropped, never read as the start of the
    next."""
    server, _ = persistent
    sender = subprocess.Popen([sys.executable, "-c", BROKEN_SENDER, first.hex(), second.hex()],
                              stdout=subprocess.PIPE, text=True)
    try:
        assert sender.stdout.readline() == "sent\n"
        assert wait_for(lambda: fifo_unread(SERVER_FIFO) == 0)  # nvtd has read the first part
        if kill:
            threading.Timer(0.3, sender.kill).start()
        r = forward(BODY)
        assert r.returncode == 0, (r.stdout, server.out())
        check_fault_reply(r.stdout)
        assert f"relay: {dropped}, request dropped\n" in server.out()
        assert server.proc.poll() is None
    finally:
        sender.kill()
        sender.wait()
        clear(f"/tmp/nvtd_cl.{sender.pid}")


NOBODY = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]
SECRET = "/run/nvtd-test-secret"


def as_nobody(*cmd):
    """Runs cmd as an unprivileged local user."""
    subprocess.run(NOBODY + list(cmd), check=True, timeout=10)


@pytest.fixture
def secret():
    """A file only root may read or write, and its text."""
    text = b"root only\n"
    with open(SECRET, "wb") as f:
        f.write(text)
    os.chmod(SECRET, 0o600)
    yield text
    os.unlink(SECRET)


def clear(path):
    if os.path.lexists(path):
        os.unlink(path)


@pytest.mark.parametrize("squat", [
    ["mkfifo", "-m", "0666", SERVER_FIFO],       # a FIFO the user may read and write
    ["ln", "-s", SECRET, SERVER_FIFO],           # a link to a root-only file
    ["sh", "-c", f"echo squat > {SERVER_FIFO}"],  # a plain file
])
def test_a_squatted_server_fifo_is_replaced_by_nvtds_own(squat, secret):
    clear(SERVER_FIFO)
    as_nobody(*squat)
    server = Nvtd("--persist", "--noauth")
    try:
        assert wait_for(lambda: own_server_fifo() or server.proc.poll() is not None,
                        timeout=10), os.lstat(SERVER_FIFO)
        assert server.proc.poll() is None, server.err()
        assert stat.S_IMODE(os.lstat(SERVER_FIFO).st_mode) == 0o620
        r = forward(BODY)
        assert r.returncode == 0, r.stdout
        check_fault_reply(r.stdout)
        with open(SECRET, "rb") as f:
            assert f.read() == secret
    finally:
        server.stop()


@pytest.mark.parametrize("plant, error", [
    (["ln", "-s", SECRET], "Too many levels of symbolic links"),  # a link to a root-only file
    (["touch"], "Invalid argument"),                               # the user's own plain file
])
def test_a_planted_reply_path_is_not_written_to(plant, error, secret):
    path = "/tmp/nvtd_cl.31337"
    clear(path)
    clear(SERVER_FIFO)
    as_nobody(*plant, path)
    planted = os.lstat(path)
    server, fd = start_persistent("--noauth")
    try:
        # The user's request names the planted path; the next forwarder is served as usual.
        os.write(fd, open_message(31337) + env_message("\n".join(ENV_LINES))
                 + content_message([BODY]))
        r = forward(BODY)
        assert r.returncode == 0, r.stdout
        check_fault_reply(r.stdout)
        with open(SECRET, "rb") as f:
            assert f.read() == secret
        assert os.lstat(path).st_size == planted.st_size
        assert f"server failed to open {path}, {error}" in server.err()
    finally:
        os.close(fd)
        server.stop()
        clear(path)


INIT_SCRIPT = os.path.join(os.environ.get("CAMERA_SOURCE_DIR", ""), "packaging", "init.d",
                           "S70nvtd")
INSTALLED_NVTD = "/usr/local/bin/nvtd"  # inside the sandbox: an overlay that goes with it


def running(exe=None, args=None):
    """Pids of live processes running exe, or whose command line holds all of args."""
    pids = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                if f.read().rpartition(")")[2].split()[0] == "Z":
                    continue
            if exe is not None and os.readlink(f"/proc/{entry}/exe") != exe:
                continue
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                words = f.read().decode(errors="replace").split("\0")
        except OSError:
            continue
        if args is None or all(a in words for a in args):
            pids.append(int(entry))
    return pids


@pytest.mark.skipif(bool(EMULATOR), reason="the script runs the camera's program directly")
def test_init_script_starts_nvtd_again_when_it_exits_and_stop_ends_both(tmp_path):
    import shutil
    import signal

    shutil.copy(program("nvtd", "nvtd")[0], INSTALLED_NVTD)
    # The camera's shell and start-stop-daemon are busybox's.
    applets = tmp_path / "busybox"
    applets.mkdir()
    for applet in ("start-stop-daemon", "sleep", "cat", "rm", "dirname", "basename", "logger"):
        os.symlink(shutil.which("busybox"), applets / applet)
    env = dict(os.environ, PATH=f"{applets}:{os.environ['PATH']}",
               NVTD_ARGS="--persist --noauth")

    def script(action):
        return subprocess.run(["busybox", "sh", INIT_SCRIPT, action], env=env,
                              capture_output=True, timeout=30)

    def one_nvtd():
        pids = running(exe=INSTALLED_NVTD)
        return pids[0] if len(pids) == 1 and reading_server_fifo() else None

    clear(SERVER_FIFO)
    assert script("start").returncode == 0
    try:
        first = wait_for(one_nvtd, timeout=10)
        assert first, running(exe=INSTALLED_NVTD)
        check_fault_reply(forward(BODY).stdout)
        os.kill(first, signal.SIGKILL)
        second = wait_for(lambda: (one_nvtd() or first) != first and one_nvtd(), timeout=20)
        assert second, "nvtd was not started again"
        r = forward(BODY)
        assert r.returncode == 0, r.stdout
        check_fault_reply(r.stdout)
    finally:
        assert script("stop").returncode == 0
    assert wait_for(lambda: not running(exe=INSTALLED_NVTD)
                    and not running(args=[INIT_SCRIPT, "respawn"]), timeout=20)


def reading_server_fifo():
    """Whether an nvtd has its server FIFO open for reading (a killed one leaves the FIFO)."""
    if not own_server_fifo():
        return False
    try:
        os.close(os.open(SERVER_FIFO, os.O_WRONLY | os.O_NONBLOCK))
        return True
    except OSError:  # ENXIO: nobody reads it yet
        return False


LOCK = SERVER_FIFO + ".lock"


def clear_tree(path):
    subprocess.run(["rm", "-rf", path], check=True, timeout=10)


@pytest.mark.parametrize("path", [SERVER_FIFO, SERVER_FIFO + ".new", LOCK])
def test_nothing_a_user_leaves_at_the_relay_paths_stops_the_relay(path):
    """A directory full of the user's files at the FIFO paths, and a lock file of the user's
    held for ever: nvtd starts, moves them aside untouched (logged) and serves forwarders,
    also after a broken request."""
    for old in [SERVER_FIFO, SERVER_FIFO + ".new", LOCK] + glob.glob("/tmp/nvtd_sv*.aside.*"):
        clear_tree(old)
    holder = None
    if path == LOCK:
        as_nobody("touch", LOCK)
        holder = subprocess.Popen(NOBODY + ["flock", LOCK, "sleep", "120"],
                                  start_new_session=True)
        assert wait_for(lambda: subprocess.run(["flock", "-n", LOCK, "true"]).returncode != 0)
    else:
        as_nobody("mkdir", "-p", path + "/inside")
    server = Nvtd("--persist", "--noauth")
    try:
        assert wait_for(lambda: own_server_fifo() or server.proc.poll() is not None,
                        timeout=10), server.err()
        assert server.proc.poll() is None, server.err()
        # The FIFO may be there before the user's lock file has been moved aside.
        assert wait_for(lambda: os.path.lexists(LOCK) and os.lstat(LOCK).st_uid == 0,
                        timeout=10), server.err()
        lock = os.lstat(LOCK)
        assert stat.S_ISREG(lock.st_mode) and lock.st_uid == 0
        assert stat.S_IMODE(lock.st_mode) == 0o600
        fd = os.open(SERVER_FIFO, os.O_WRONLY)
        os.write(fd, env_message("CONTENT_LENGTH=10"))  # a broken request first
        os.close(fd)
        r = forward(BODY)
        assert r.returncode == 0, (r.stdout, server.out(), server.err())
        check_fault_reply(r.stdout)
        assert server.proc.poll() is None
        if path != SERVER_FIFO + ".new":  # a name nvtd has no use for
            aside = glob.glob(path + ".aside.*")
            assert len(aside) == 1 and os.lstat(aside[0]).st_uid != 0
            assert f"{path}: {'a file' if path == LOCK else 'a directory'} of uid " in server.out()
            assert path == LOCK or os.path.isdir(aside[0] + "/inside")
    finally:
        server.stop()
        if holder:
            os.killpg(holder.pid, signal.SIGKILL)
            holder.wait()
        for old in [path] + glob.glob("/tmp/nvtd_sv*.aside.*"):
            clear_tree(old)


def forward_soap(body, action, uri="/onvif/events_service", started=lambda pid: None):
    """One SOAP request through the forwarder, started(pid) once it runs: (seconds it took,
    exit status, answer)."""
    data = body.encode()
    env = {"PATH": "/usr/bin:/bin", "REQUEST_METHOD": "POST", "CONTENT_LENGTH": str(len(data)),
           "REQUEST_URI": uri, "CONTENT_TYPE": "application/soap+xml",
           "HTTP_SOAPACTION": '"%s"' % action}
    begun = time.monotonic()
    with subprocess.Popen(FORWARDER, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                          env=env) as proc:
        started(proc.pid)
        out, _ = proc.communicate(data, timeout=30)
    return time.monotonic() - begun, proc.returncode, out.decode()


def answered(result):
    """The relayed answer of a forward_soap that succeeded."""
    assert result[1] == 0, result
    return result[2]


class HeldPull(threading.Thread):
    """A PullMessages through its own forwarder, once nvtd has read it (its output, flushed
    after each request, names the forwarder's FIFO)."""

    def __init__(self, server, sid, timeout):
        super().__init__()
        self.body = envelope("<tev:PullMessages><tev:Timeout>%s</tev:Timeout><tev:MessageLimit>"
                             "10</tev:MessageLimit></tev:PullMessages>" % timeout,
                             sid_header(sid))
        self.pid = None
        self.result = None
        self.start()
        assert wait_for(lambda: self.pid and "opened fifo /tmp/nvtd_cl.%d\n" % self.pid
                        in server.out(), timeout=10)

    def run(self):
        self.result = forward_soap(self.body, EVENTS_WSDL + "/PullPointSubscription/"
                                   "PullMessagesRequest", started=self.started)

    def started(self, pid):
        self.pid = pid

    def answer(self):
        self.join(timeout=30)
        return self.result[0], answered(self.result)


def empty_pull_point(server):
    """(id, answer) of a new pull point whose Initialized messages have been taken."""
    created = answered(forward_soap(
        envelope("<tev:CreatePullPointSubscription><tev:InitialTerminationTime>PT60S"
                 "</tev:InitialTerminationTime></tev:CreatePullPointSubscription>"),
        EVENTS_WSDL + "/EventPortType/CreatePullPointSubscriptionRequest"))
    sid = int(re.search(r"<dom0:SubscriptionId [^>]*>(\d+)<", created).group(1))
    HeldPull(server, sid, "PT0S").answer()
    return sid, created


def test_a_pull_is_held_while_other_forwarders_are_answered(tmp_path):
    shutil.rmtree(STATES, ignore_errors=True)
    os.makedirs(STATES, mode=0o755)
    server, fd = start_persistent("--noauth")
    try:
        sid, created = empty_pull_point(server)
        # An empty queue: the pull waits its Timeout while the next forwarder is served.
        empty = HeldPull(server, sid, "PT3S")
        other = forward_soap(envelope("<tds:GetSystemDateAndTime/>"),
                             TDS + "/GetSystemDateAndTime", "/onvif/device_service")
        assert other[0] < 1.0 and empty.is_alive(), other
        waited, nothing = empty.answer()
        assert 2.5 < waited < 10, waited
        assert messages(nothing.partition("\r\n\r\n")[2]) == []
        # A state written meanwhile reaches a held pull at once.
        changed = HeldPull(server, sid, "PT20S")
        set_state("motion", "true")
        waited, news = changed.answer()
        assert waited < WITHIN + 1.0, waited
        assert messages(news.partition("\r\n\r\n")[2]) == [
            (ALARM, "Changed", "State", "true"), (CELL, "Changed", "IsMotion", "true")]
        # nvtd stops with status 0 while it holds a pull; its forwarder answers the fault.
        stopped = HeldPull(server, sid, "PT20S")
        server.proc.send_signal(signal.SIGTERM)
        assert server.wait(timeout=10) == 0
        stopped.join(timeout=30)
        assert stopped.result is not None
        check_server_gone(stopped.result)
    finally:
        os.close(fd)
        server.stop()
    validate(tmp_path, created, nothing, news, answered(other))


def check_server_gone(result, tmp_path=None):
    """The forwarder's answer when nvtd ended after taking the request: 503, a SOAP fault."""
    took, status, out = result
    assert status == 1 and took < 10, result
    head, _, body = out.partition("\r\n\r\n")
    assert head.split("\r\n")[0] == "Status: 503 Service Unavailable", out
    assert "<SOAP-ENV:Value>SOAP-ENV:Receiver</SOAP-ENV:Value>" in body
    assert int(re.search(r"Content-Length: (\d+)", head).group(1)) == len(body.encode())
    if tmp_path is not None:
        validate(tmp_path, out)


@pytest.mark.parametrize("when", ["holding a pull", "before reading the request"])
def test_a_forwarder_whose_nvtd_is_killed_answers_a_soap_fault(when, tmp_path):
    shutil.rmtree(STATES, ignore_errors=True)
    os.makedirs(STATES, mode=0o755)
    server, fd = start_persistent("--noauth")
    try:
        sid, _ = empty_pull_point(server)
        if when == "holding a pull":
            victim = HeldPull(server, sid, "PT30S")
        else:
            server.proc.send_signal(signal.SIGSTOP)  # the request waits in the server FIFO
            victim = threading.Thread()
            victim.result = None
            victim.run = lambda: setattr(victim, "result", forward_soap(
                envelope("<tds:GetSystemDateAndTime/>"), TDS + "/GetSystemDateAndTime",
                "/onvif/device_service"))
            victim.start()
            time.sleep(1.0)
            assert victim.is_alive()
        server.proc.kill()
        server.proc.wait(timeout=10)
        victim.join(timeout=30)
        assert victim.result is not None
        check_server_gone(victim.result, tmp_path)
    finally:
        os.close(fd)
        server.stop()


def test_a_pull_held_when_its_pull_point_is_unsubscribed_ends_with_a_soap_answer(tmp_path):
    shutil.rmtree(STATES, ignore_errors=True)
    os.makedirs(STATES, mode=0o755)
    server, fd = start_persistent("--noauth")
    try:
        sid, _ = empty_pull_point(server)
        held = HeldPull(server, sid, "PT20S")
        gone = answered(forward_soap(envelope("<wsnt:Unsubscribe/>", sid_header(sid)),
                                     WSNT + "/SubscriptionManager/UnsubscribeRequest"))
        assert "UnsubscribeResponse" in gone, gone
        waited, ended = held.answer()  # the forwarder's output: the web server passes it on
        assert waited < 10, waited
        body = ended.partition("\r\n\r\n")[2]
        assert "PullMessagesResponse" in body and messages(body) == [], ended
        validate(tmp_path, body)
    finally:
        os.close(fd)
        server.stop()
