"""nvtd as a stand-alone HTTP server (--port): one request per connection, unusable heads,
slow and silent clients served side by side, the bounded pool of connections and its places
per peer, strict header parsing, closing with FIN after draining, responses in one piece, and
stopping."""
import json
import os
import re
import select
import signal
import socket
import subprocess

import pytest
from nvtd_relay import http_exchange, server_has_read, soap_post, split_response, start_server
from camera import SOURCE_DIR, in_lan, wait_for

# nvtd finds its settings at once instead of waiting for CAM.
pytestmark = pytest.mark.usefixtures("settings_server")

PORT = 8080
BODY = b"<s:Envelope><s:Body><GetFrobnication/></s:Body></s:Envelope>"


@pytest.fixture
def server():
    # Without authentication, so that an unknown operation reaches the action table.
    s = start_server(PORT, "--verbose", "--noauth")
    assert wait_for(lambda: connections(s) == 1)  # the start-up check's connection
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
    # A head over 2,048 bytes (room for Digest credentials).
    b"POST / HTTP/1.0\r\nX-Pad: " + b"p" * 2100 + b"\r\nContent-Length: 3\r\n\r\nabc",
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
        for piece in (request[:20], request[20:60]):
            s.sendall(piece)
            assert wait_for(lambda: server_has_read(s))  # read as a piece of its own
        s.sendall(request[60:])
        raw = b""
        while chunk := s.recv(65536):
            raw += chunk
    assert raw.startswith(b"HTTP/1.0 400 Bad Request\r\nContent-Length: ")


def test_silent_connection_is_dropped_and_the_next_is_served(server):
    accepted = connections(server)
    silent = socket.create_connection(("127.0.0.1", PORT), timeout=20)
    try:
        # The server is now waiting on the silent one.
        assert wait_for(lambda: connections(server) > accepted)
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
        assert wait_for(lambda: server_has_read(s))
        s.sendall(request[head_end + 5:])
        raw = b""
        while chunk := s.recv(65536):
            raw += chunk
    assert b"Unsupported Command" in raw
    assert "bytes left unread" not in server.out()


def test_sigterm_ends_an_idle_server_within_5_seconds():
    server = start_server(PORT)
    assert http_exchange(PORT, soap_post(BODY))  # its loop runs
    assert wait_for(server.sleeps_in_poll)  # and waits for the next connection
    server.proc.send_signal(signal.SIGTERM)
    assert server.wait(timeout=7) == 0
    assert "connect failed!" in server.out()
    assert "waiting for discovery thread..." in server.out()


EVENTS = "http://www.onvif.org/ver10/events/wsdl"


def events_envelope(body, header=""):
    return (f'<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" xmlns:tev="{EVENTS}">'
            f"<s:Header>{header}</s:Header><s:Body>{body}</s:Body></s:Envelope>").encode()


def test_sigterm_ends_the_server_with_status_0_while_pull_points_are_held():
    server = start_server(PORT, "--noauth")
    held = []
    try:
        for _ in range(2):
            created = http_exchange(PORT, soap_post(
                events_envelope("<tev:CreatePullPointSubscription/>"),
                EVENTS + "/EventPortType/CreatePullPointSubscriptionRequest",
                "/onvif/events_service"))
            sid = re.search(rb"SubscriptionId [^>]*>(\d+)<", created).group(1).decode()
            for _ in range(2):  # the first pull is answered at once, the second is held
                s = socket.create_connection(("127.0.0.1", PORT), timeout=10)
                s.sendall(soap_post(events_envelope(
                    "<tev:PullMessages><tev:Timeout>PT60S</tev:Timeout><tev:MessageLimit>5"
                    "</tev:MessageLimit></tev:PullMessages>",
                    f"<SubscriptionId>{sid}</SubscriptionId>"),
                    EVENTS + "/PullPointSubscription/PullMessagesRequest", "/onvif/events_service"))
                held.append(s)
        assert wait_for(lambda: all(server_has_read(s) for s in held), timeout=10)
        server.proc.send_signal(signal.SIGTERM)
        assert server.wait(timeout=15) == 0, server.err()
    finally:
        server.stop()
        for s in held:
            s.close()


def test_useradd_then_port_serves():
    server = start_server(PORT, "useradd", "admin", "pw", "user")
    try:
        out = server.out()
        assert "running in server mode on port 8080" in out
        # The users line (name:level:enciphered password:a:), and the server still serves.
        assert re.search(r"^admin:user:[A-Za-z0-9+/]+=*:a:$", out, re.M), out
        raw = http_exchange(PORT, soap_post(BODY))
        assert raw.startswith(b"HTTP/1.0 401 Unauthorized\r\n")  # no credentials
    finally:
        server.stop()


TIME_BODY = (b'<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" '
             b'xmlns:tds="http://www.onvif.org/ver10/device/wsdl"><s:Body>'
             b'<tds:GetSystemDateAndTime/></s:Body></s:Envelope>')
PER_PEER = 8  # kMaxPerPeer
CAMERA = "10.99.0.2"
FLOOD = os.path.join(SOURCE_DIR, "testbed", "client", "connect_flood.py")
NOBODY = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]


def connections(server):
    """How many connections the (verbose) server has accepted."""
    return server.out().count("New connection from ")


def connect():
    return socket.create_connection(("127.0.0.1", PORT), timeout=15)


def closed_by_server(s):
    """True when the server has ended the connection (end of file or reset), without waiting."""
    if not select.select([s], [], [], 0)[0]:
        return False
    try:
        return s.recv(1, socket.MSG_PEEK) == b""
    except ConnectionResetError:
        return True


def read_to_end(s):
    """All the server sends until its end of file; a reset raises ConnectionResetError."""
    raw = b""
    for _ in range(1000):
        chunk = s.recv(65536)
        if not chunk:
            return raw
        raw += chunk
    raise AssertionError("no end of file")


def content_length(head):
    return next(int(line.split(": ")[1]) for line in head if line.startswith("Content-Length: "))


def test_requests_are_answered_while_slow_and_idle_clients_wait(server):
    request = soap_post(BODY)
    accepted = connections(server)
    head_end = request.index(b"\r\n\r\n") + 4
    silent = [connect() for _ in range(2)]
    slow_head, slow_body = connect(), connect()
    slow_head.sendall(request[:9])
    slow_body.sendall(request[:head_end + 5])
    waiting = silent + [slow_head, slow_body]
    try:
        # All of them are accepted and being read.
        assert wait_for(lambda: connections(server) >= accepted + len(waiting))
        assert wait_for(lambda: all(server_has_read(s) for s in waiting))
        # Answered before any waiting client's time is up (they are all still open).
        raw = http_exchange(PORT, request, timeout=40)
        assert raw.startswith(b"HTTP/1.0 400 Bad Request\r\n")
        assert [closed_by_server(s) for s in waiting] == [False] * len(waiting)
        # The slow ones kept what they sent and are answered once the rest arrives.
        slow_body.sendall(request[head_end + 5:])
        slow_head.sendall(request[9:])
        for s in (slow_body, slow_head):
            assert b"Unsupported Command" in read_to_end(s)
        assert [closed_by_server(s) for s in silent] == [False, False]
    finally:
        for s in waiting:
            s.close()
    assert "bytes left unread" not in server.out()


def listen_backlog(port):
    out = subprocess.run(["ss", "-Hltn", f"sport = :{port}"], capture_output=True, text=True,
                         timeout=10).stdout
    return max(int(line.split()[2]) for line in out.splitlines())


def test_one_peer_waits_on_at_most_8_connections(server):
    assert listen_backlog(PORT) >= 128
    idle = []
    try:
        for _ in range(PER_PEER + 2):
            accepted = connections(server)
            idle.append(connect())
            assert wait_for(lambda: connections(server) > accepted)  # accepted in this order
        # Each beyond the limit took the place of the peer's own oldest silent connection.
        assert wait_for(lambda: closed_by_server(idle[1]), timeout=3)
        assert closed_by_server(idle[0])
        assert not any(closed_by_server(s) for s in idle[2:])
        raw = http_exchange(PORT, soap_post(BODY), host=CAMERA, timeout=15)  # another peer
        assert raw.startswith(b"HTTP/1.0 400 Bad Request\r\n")
    finally:
        for s in idle:
            s.close()
    assert "closed silent connection from 127.0.0.1" in server.out()


def test_split_requests_are_answered_while_a_peer_floods_empty_connections(server):
    # The flood comes from an unprivileged process on 127.0.0.1, the client from the LAN.
    with open(FLOOD) as script:
        flood = subprocess.Popen(NOBODY + ["/usr/bin/python3", "-", "flood", "127.0.0.1",
                                           str(PORT), "100", "40"],
                                 stdin=script, stdout=subprocess.PIPE, text=True)
    try:
        flooding = lambda: server.out().count("New connection from 127.0.0.1") > 200
        assert wait_for(flooding, timeout=20)
        out = subprocess.run(in_lan(["/usr/bin/python3", FLOOD, "split", CAMERA, str(PORT), "5",
                                     "40"]), capture_output=True, text=True, timeout=120).stdout
        assert json.loads(out)["answered"] == 5, out
        assert flood.poll() is None  # the flood ran all along
    finally:
        flood.kill()
        flood.wait()


@pytest.mark.parametrize("head, answer, message", [
    # Only the whole name counts: without a Content-Length line the head is unusable.
    (b"Content-LengtZ: %d\r\n", b"", "process header fail"),
    (b"Content-Lengthy: %d\r\n", b"", "process header fail"),
    # A length must be digits only.
    (b"Content-Length: %dabc\r\n", b"Content-Type: text/plain\r\n\r\nbogus content\n",
     "bogus content length!"),
    (b"Content-Length: +%d\r\n", b"Content-Type: text/plain\r\n\r\nbogus content\n",
     "bogus content length!"),
], ids=["LengtZ", "Lengthy", "digits then letters", "plus sign"])
def test_header_names_whole_and_lengths_in_digits(server, head, answer, message):
    request = b"POST /onvif/device_service HTTP/1.1\r\n" + head % len(BODY) + b"\r\n" + BODY
    assert http_exchange(PORT, request) == answer
    assert wait_for(lambda: message in server.out())


@pytest.mark.parametrize("extra, answers", [
    (b"x" * 20000, 1),                    # a body longer than its Content-Length
    (soap_post(BODY) * 3, 1),             # pipelined requests: only the first is answered
    (None, 0),                            # a head over 2,048 bytes, followed by more
], ids=["long body", "pipelined", "long head"])
def test_unread_bytes_are_drained_and_the_close_is_not_a_reset(server, extra, answers):
    if extra is None:
        data = b"POST / HTTP/1.0\r\nX-Pad: " + b"p" * 3000 + b"\r\nContent-Length: 3\r\n\r\nabc"
    else:
        data = soap_post(BODY) + extra
    with connect() as s:
        s.sendall(data)
        raw = read_to_end(s)  # raises on a reset
    assert raw.count(b"HTTP/1.0 400 Bad Request\r\n") == answers
    if answers:
        head, body = split_response(raw)
        assert content_length(head) == len(body)


@pytest.mark.parametrize("body, action, start", [
    (TIME_BODY, None, b"HTTP/1.0 200 OK\r\n"),
    (BODY, "http://example/GetFrobnication", b"HTTP/1.0 400 Bad Request\r\n"),
    (b"<s:Envelope><s:Body><tds:GetCapabilities/></s:Body></s:Envelope>", None,
     b"HTTP/1.0 200 OK\r\n"),
    (None, None, b"Content-Type: text/plain\r\n\r\nbogus content\n"),
], ids=["200", "fault", "large 200", "bogus content"])
def test_each_response_arrives_in_one_read(server, body, action, start):
    if body is None:
        request = b"POST / HTTP/1.0\r\nContent-Length: 0\r\n\r\n"
    else:
        request = soap_post(body, action=action)
    with connect() as s:
        s.sendall(request)
        waiter = select.poll()
        waiter.register(s, select.POLLRDHUP)
        assert waiter.poll(15000)  # the server has written and shut its side
        raw = s.recv(65536)
        rest = read_to_end(s)
    assert raw.startswith(start) and rest == b""
    head, answer = split_response(raw)
    if head[0].startswith("HTTP/1.0 "):
        assert content_length(head) == len(answer) > 0
