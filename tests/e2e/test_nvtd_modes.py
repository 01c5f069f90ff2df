"""nvtd's command line and CGI mode, run as the camera's init scripts and web server would."""
import os
import re
import subprocess
import time

from camera import program, wait_for
from onvif_soap import envelope, security
import pytest

# nvtd finds its settings at once instead of waiting for CAM.
pytestmark = pytest.mark.usefixtures("settings_server")

NVTD = program("nvtd", "nvtd")
USAGE = "params:\n\tuseradd <username> <password> <administrator|operator|user>\n"
BODY = (b'<?xml version="1.0"?><s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope">'
        b"<s:Body><GetFrobnication/></s:Body></s:Envelope>")


def clean_env(**extra):
    env = {k: v for k, v in os.environ.items()
           if k not in ("REQUEST_METHOD", "CONTENT_LENGTH", "HTTP_SOAPACTION", "CONTENT_TYPE")}
    env.update(extra)
    return env


def run(args, env=None, stdin=b""):
    return subprocess.run(NVTD + args, input=stdin, capture_output=True, timeout=30,
                          env=env if env is not None else clean_env())


def test_usage_errors_exit_255():
    for args in ([], ["--port"], ["--bogus"], ["useradd", "a", "b"], ["useradd", "a", "b", "root"],
                 ["--verbose", "--port"]):
        r = run(args)
        assert r.returncode == 255, args
        assert r.stdout.decode() == USAGE, args


def test_flags_without_a_mode_exit_0():
    for args in (["--verbose"], ["--noauth", "--verbose"], ["useradd", "admin", "pw", "user"]):
        r = run(args)
        assert r.returncode == 0, (args, r.stdout, r.stderr)


def test_port_in_use_fails_to_start():
    import socket
    with socket.socket() as s:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.bind(("0.0.0.0", 8099))
        s.listen(1)
        r = run(["--port", "8099"])
    assert r.returncode == 255
    assert "failed to start server" in r.stderr.decode()
    assert "bind on listen socket failed" in r.stderr.decode()


def cgi(body=BODY, args=(), **env):
    env.setdefault("REQUEST_METHOD", "POST")
    env.setdefault("CONTENT_LENGTH", str(len(body)))
    return run(list(args), env=clean_env(**env), stdin=body)


def test_cgi_response_begins_with_content_length_that_matches():
    r = cgi(args=["--bogus", "arguments", "ignored"], REQUEST_URI="/onvif/device_service")
    assert r.returncode == 0
    out = r.stdout
    # Without credentials: the CGI status and the Digest challenges, then the CGI response.
    status = re.match(rb"Status: 401 Unauthorized\r\n(WWW-Authenticate: Digest [^\r]*\r\n){2}", out)
    assert status, out[:300]
    out = out[status.end():]
    assert out.startswith(b"Content-Length: ")
    head, _, body = out.partition(b"\r\n\r\n")
    length = int(head.split(b"\r\n")[0].split(b": ")[1])
    assert length == len(body)
    assert head.split(b"\r\n")[1:] == [b"Content-Type: application/soap+xml; charset=utf-8",
                                       b"Connection: close"]
    assert b"200 OK" not in r.stdout
    assert body.endswith(b"</SOAP-ENV:Body></SOAP-ENV:Envelope>")


def test_cgi_without_a_body_gets_the_digest_challenge():
    # CGI leaves CONTENT_LENGTH unset for a request without a body; curl --digest sends such
    # a request (or Content-Length: 0) first to learn the challenge.
    for env in (clean_env(REQUEST_METHOD="POST"), clean_env(REQUEST_METHOD="POST",
                                                            CONTENT_LENGTH="0")):
        r = run([], env=env)
        assert r.returncode == 0
        assert r.stdout.startswith(b"Status: 401 Unauthorized\r\nWWW-Authenticate: Digest ")


def test_cgi_bogus_lengths():
    for bad in ("50001", "-5"):
        r = cgi(CONTENT_LENGTH=bad)
        assert r.returncode == 0
        assert r.stdout == (b"Content-Type: text/plain\r\n\r\nbogus content length!\n"
                            b"Content-Type: text/plain\r\n\r\nbogus content\n"), bad


def test_cgi_body_cut_short_is_still_answered():
    r = cgi(body=BODY, CONTENT_LENGTH=str(len(BODY) + 100))
    assert r.returncode == 0
    # Dispatched: a CGI request without credentials gets the Digest challenge.
    assert r.stdout.startswith(b"Status: 401 Unauthorized\r\n")


def test_hwconfig_is_read_without_trouble():
    # The sandbox's camera files include the factory description; odd lines change nothing.
    with open("/etc/olm/factory/hwconfig.txt", "a") as f:
        f.write("model=" + "X" * 200 + "\nnot a line\naudio=7\n")
    r = cgi()
    assert r.returncode == 0 and b"Content-Length: " in r.stdout


# The discovery thread's INFO query is held this long by the settings stand-in; a CGI process
# that waits for the thread cannot end before that reply has gone out.
HELD_REPLY_S = 10


def cgi_with_held_discovery(settings_server, body):
    """Runs one CGI request while the discovery thread is stuck in its INFO query: the body
    is sent only once that query has reached the stand-in. Returns the completed process,
    the time the held reply was sent and the time the process had ended."""
    settings_server.set_faults([{"fault": "slow", "section": "INFO", "cmd": 100,
                                 "delay": HELD_REPLY_S, "count": 1}])
    try:
        start = time.time()
        env = clean_env(REQUEST_METHOD="POST", CONTENT_LENGTH=str(len(body)))
        proc = subprocess.Popen(NVTD, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, env=env)
        try:
            held = wait_for(lambda: [e for e in settings_server.exchanges(section="INFO")
                                     if e.get("fault") == "slow" and e["t"] >= start],
                            timeout=20)
            assert held, "the discovery thread never asked for INFO"
            out, err = proc.communicate(body, timeout=60)
            ended = time.time()
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
    finally:
        settings_server.set_faults([])
    return subprocess.CompletedProcess(proc.args, proc.returncode, out, err), \
        held[0]["t"] + HELD_REPLY_S, ended


def test_cgi_open_operation_does_not_wait_for_the_discovery_thread(settings_server):
    body = (b'<?xml version="1.0"?><s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope"'
            b' xmlns:tds="http://www.onvif.org/ver10/device/wsdl"><s:Body>'
            b"<tds:GetSystemDateAndTime/></s:Body></s:Envelope>")
    r, reply_sent, ended = cgi_with_held_discovery(settings_server, body)
    assert r.returncode == 0
    assert b"GetSystemDateAndTimeResponse" in r.stdout
    assert ended < reply_sent, "the process waited for the discovery thread"


def test_cgi_authenticated_request_stops_the_discovery_thread_first(settings_server):
    users = subprocess.run(NVTD + ["useradd", "viewer", "s3cret", "user"], capture_output=True,
                           text=True, timeout=10, env=clean_env())
    os.makedirs("/etc/nvtd", exist_ok=True)
    with open("/etc/nvtd/users", "w") as f:
        f.write(users.stdout.strip() + "\n")
    body = envelope("<tds:GetDeviceInformation/>", security("viewer", "s3cret")).encode()
    r, reply_sent, ended = cgi_with_held_discovery(settings_server, body)
    assert r.returncode == 0
    assert b"GetDeviceInformationResponse" in r.stdout
    # The thread was joined: its held reply went out before the process ended.
    assert ended >= reply_sent
