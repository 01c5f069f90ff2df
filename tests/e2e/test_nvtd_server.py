"""nvtd as a stand-alone HTTP server (--port): one request per connection, unusable heads,
slow and silent clients, and stopping."""
import re
import signal
import socket
import time

import pytest
from nvtd_relay import http_exchange, soap_post, split_response, start_server
from camera import in_lan, wait_for

# nvtd finds its settings at once instead of waiting for CAM.
pytestmark = pytest.mark.usefixtures("settings_server")

PORT = 8080
BODY = b"<s:Envelope><s:Body><GetFrobnication/></s:Body></s:Envelope>"


@pytest.fixture
def server():
    # Without authentication, so that an unknown operation reaches the action table.
    s = start_server(PORT, "--verbose", "--noauth")
    yield s
    s.stop()


def test_fault_in_server_mode_has_one_400_status_line(server):
    raw = http_exchange(PORT, soap_post(BODY, action="http://example/GetFrobnication"))
    head, body = split_response(raw)
    assert head[0] == "HTTP/1.0 400 Bad Request"
    assert head[1].startswith("Content-Length: ")
    assert int(head[1].split(": ")[1]) == len(body)
    assert "HTTP/1.0 200 OK" not in head
    assert b"Unsupported Command" in body and body.startswith(b"<?xml")
    assert wait_for(lambda: "closed socket" in server.out())
    assert "New connection from 127.0.0.1" in server.out()


def test_answers_from_the_lan_side(server):
    import subprocess
    r = subprocess.run(in_lan(["curl", "-s", "-i", "--max-time", "10", "-X", "POST",
                               "-H", "Content-Type: application/soap+xml",
                               "--data-binary", BODY.decode(),
                               f"http://10.99.0.2:{PORT}/onvif/device_service"]),
                       capture_output=True, timeout=30)
    assert r.stdout.startswith(b"HTTP/1.0 400 Bad Request\r\n"), r.stdout[:200]
    assert b"ter:InvalidThing" in r.stdout


@pytest.mark.parametrize("request_bytes", [
    b"GET /onvif/device_service HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc",
    b"POST /onvif/device_service HTTP/1.0\r\nHost: x\r\n\r\nabc",
    b"POST / HTTP/1.0\r\nX-Pad: " + b"p" * 600 + b"\r\nContent-Length: 3\r\n\r\nabc",
])
def test_unusable_heads_are_closed_without_an_answer(server, request_bytes):
    assert http_exchange(PORT, request_bytes) == b""
    assert wait_for(lambda: "process header fail" in server.out())


def test_bogus_content_length_gets_bogus_content(server):
    raw = http_exchange(PORT, b"POST / HTTP/1.0\r\nContent-Length: 50001\r\n\r\nx")
    assert raw == b"Content-Type: text/plain\r\n\r\nbogus content\n"
    assert wait_for(lambda: "bogus content length!" in server.out())


def test_head_split_across_segments_is_accepted(server):
    request = soap_post(BODY)
    with socket.create_connection(("127.0.0.1", PORT), timeout=15) as s:
        s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        for piece in (request[:20], request[20:60], request[60:]):
            s.sendall(piece)
            time.sleep(0.2)
        raw = b""
        while chunk := s.recv(65536):
            raw += chunk
    assert raw.startswith(b"HTTP/1.0 400 Bad Request\r\nContent-Length: ")


def test_silent_connection_is_dropped_and_the_next_is_served(server):
    silent = socket.create_connection(("127.0.0.1", PORT), timeout=20)
    try:
        time.sleep(0.2)  # the server is now waiting on the silent one
        raw = http_exchange(PORT, soap_post(BODY), timeout=20)
        assert raw.startswith(b"HTTP/1.0 400 Bad Request\r\n")
        assert silent.recv(100) == b""  # closed by the server without an answer
    finally:
        silent.close()
    assert "process header fail" in server.out()


def test_body_sent_later_than_the_head_is_assembled(server):
    request = soap_post(BODY)
    head_end = request.index(b"\r\n\r\n") + 4
    with socket.create_connection(("127.0.0.1", PORT), timeout=15) as s:
        s.sendall(request[:head_end + 5])
        time.sleep(0.2)
        s.sendall(request[head_end + 5:])
        raw = b""
        while chunk := s.recv(65536):
            raw += chunk
    assert b"Unsupported Command" in raw
    assert "bytes left unread" not in server.out()


def test_sigterm_ends_an_idle_server_within_5_seconds():
    server = start_server(PORT)
    time.sleep(0.5)
    server.proc.send_signal(signal.SIGTERM)
    assert server.wait(timeout=7) == 255
    assert "connect failed!" in server.out()
    assert "waiting for discovery thread..." in server.out()


def test_useradd_then_port_serves():
    server = start_server(PORT, "useradd", "admin", "pw", "user")
    try:
        out = server.out()
        assert "running in server mode on port 8080" in out
        # The users line (name:level:enciphered password:a:), and the server still serves.
        assert re.search(r"^admin:user:[A-Za-z0-9+/]+=*:a:$", out, re.M), out
        raw = http_exchange(PORT, soap_post(BODY))
        assert raw.startswith(b"HTTP/1.0 400")
    finally:
        server.stop()
