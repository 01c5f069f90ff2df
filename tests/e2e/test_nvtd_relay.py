"""nvtd in persistent mode (--persist): the relay protocol spoken by hand, its errors, and the
forwarder behind busybox httpd answering curl from the LAN side."""
import os
import subprocess
import threading

import pytest
from camera import in_lan, program, wait_for
from nvtd_relay import (ReplyFifo, content_message, env_message, header, open_message,
                        relay_request, start_persistent)

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
    assert server.wait(timeout=10) == 255
    reply.close()
    out = server.out()
    assert "fifo_read_content: read length is past content length!\n" in out
    assert "bogus content\n" in out
    assert "close fifo /tmp/nvtd_cl.4200\n" in out


def test_env_before_open_ends_the_server(persistent):
    server, fd = persistent
    os.write(fd, env_message("CONTENT_LENGTH=10"))
    assert server.wait(timeout=10) == 255
    assert "got unexpected fifo message 2, needed OPEN\n" in server.err()


def test_missing_content_length_ends_the_server(persistent):
    server, fd = persistent
    reply = ReplyFifo(4300)
    os.write(fd, open_message(4300))
    os.write(fd, env_message("REQUEST_METHOD=POST"))
    os.write(fd, header(3))
    assert server.wait(timeout=10) == 255
    reply.close()
    assert "need content length!bogus content\n" in server.out()


def test_reply_fifo_without_reader_is_given_up_and_the_next_request_served(persistent):
    server, fd = persistent
    os.write(fd, open_message(4400))  # no FIFO at all: fails at once
    path = "/tmp/nvtd_cl.4401"
    os.mkfifo(path, 0o600)            # a FIFO whose reader never comes
    os.write(fd, open_message(4401))
    check_fault_reply(relay_request(fd, 4402, BODY, ENV_LINES))
    err = server.err()
    assert "server failed to open /tmp/nvtd_cl.4400, No such file or directory" in err
    assert "server failed to open /tmp/nvtd_cl.4401, Connection timed out" in err


def test_sigterm_ends_a_persistent_server(persistent):
    import signal
    server, fd = persistent
    check_fault_reply(relay_request(fd, 4500, BODY, ENV_LINES))  # the loop is running now
    server.proc.send_signal(signal.SIGTERM)
    assert server.wait(timeout=10) == 255


FORWARDER = program("testbed", "forwarder", "nvtd-forwarder")


def forward(body, **env):
    cgi_env = {"PATH": "/usr/bin:/bin", "REQUEST_METHOD": "POST",
               "CONTENT_LENGTH": str(len(body))}
    cgi_env.update(env)
    return subprocess.run(FORWARDER, input=body, capture_output=True, env=cgi_env, timeout=30)


def test_forwarder_relays_a_request(persistent):
    server, _ = persistent
    r = forward(BODY, HTTP_SOAPACTION='"http://example/GetFrobnication"', PATH="/tmp/evil")
    assert r.returncode == 0, r.stdout
    check_fault_reply(r.stdout)
    out = server.out()
    assert 'got HTTP_SOAPACTION="http://example/GetFrobnication"\n' in out
    assert "PATH=" not in out  # the forwarder hands over request variables only


def test_forwarder_refuses_a_bad_length_itself(persistent):
    server, _ = persistent
    r = forward(BODY, CONTENT_LENGTH="0")
    assert r.returncode == 1
    assert r.stdout == b"Status: 400 Bad Request\r\nContent-Type: text/plain\r\n\r\nbogus content length!\n"
    assert server.proc.poll() is None


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
        f.write("#!/bin/sh\nexec " + " ".join(FORWARDER) + "\n")
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
    server, fd = persistent
    env = "REQUEST_METHOD=POST\nCONTENT_LENGTH=%d" % len(BODY)
    # One forwarder stops inside its ENV text, another inside a CONTENT chunk; neither closes
    # the server FIFO for nvtd (it keeps a write end of its own anyway).
    for pid, cut in ((4600, env_message(env)[:-5]),
                     (4601, env_message(env) + content_message([BODY])[:-7])):
        reply = ReplyFifo(pid)
        os.write(fd, open_message(pid))
        os.write(fd, cut)
        assert reply.read_all(timeout=30) == b""  # closed unanswered
        reply.close()
    r = forward(BODY)
    assert r.returncode == 0, r.stdout
    check_fault_reply(r.stdout)
    assert server.out().count("relay: message cut short, request dropped\n") == 2
    assert server.proc.poll() is None
