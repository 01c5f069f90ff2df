#!/usr/bin/python3
"""A host that floods nvtd's server mode with empty connections, and a client whose request
head and body travel apart (as with Nagle and delayed ACK).

  connect_flood.py flood HOST PORT COUNT SECONDS
        keeps COUNT connections open that send nothing and opens a new one at once for each
        the server closes, for SECONDS or until SIGTERM; prints {"opened": N}
  connect_flood.py split HOST PORT TRIES GAP_MS
        TRIES requests one after another, each head and body GAP_MS apart; prints
        {"answered": N, "tries": TRIES, "failures": [...]} (answered: a whole HTTP answer)
"""
import errno
import json
import selectors
import signal
import socket
import sys
import time

BODY = (b'<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" '
        b'xmlns:tds="http://www.onvif.org/ver10/device/wsdl"><s:Body>'
        b'<tds:GetSystemDateAndTime/></s:Body></s:Envelope>')
HEAD = (b"POST /onvif/device_service HTTP/1.1\r\nHost: camera\r\n"
        b"Content-Type: application/soap+xml; charset=utf-8\r\n"
        b"Content-Length: %d\r\n\r\n" % len(BODY))


def flood(host, port, count, seconds):
    selector = selectors.DefaultSelector()
    opened = 0

    def open_one():
        nonlocal opened
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        s.setblocking(False)
        if s.connect_ex((host, port)) not in (0, errno.EINPROGRESS):
            s.close()
            return
        selector.register(s, selectors.EVENT_READ)
        opened += 1

    deadline = [time.monotonic() + seconds]
    signal.signal(signal.SIGTERM, lambda *_: deadline.__setitem__(0, 0))
    while time.monotonic() < deadline[0]:
        for _ in range(count - len(selector.get_map())):
            open_one()
        for key, _ in selector.select(timeout=0.05):
            try:
                gone = key.fileobj.recv(4096) == b""
            except OSError:
                gone = True
            if gone:
                selector.unregister(key.fileobj)
                key.fileobj.close()
    print(json.dumps({"opened": opened}), flush=True)


def split_request(host, port, gap_ms):
    """One request with its body gap_ms after its head; "" when answered whole, else why not."""
    try:
        with socket.create_connection((host, port), timeout=30) as s:
            s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            s.sendall(HEAD)
            time.sleep(gap_ms / 1000)
            s.sendall(BODY)
            raw = b""
            while chunk := s.recv(65536):
                raw += chunk
    except OSError as e:
        return "error: %s" % e
    head, _, body = raw.partition(b"\r\n\r\n")
    lengths = [l for l in head.split(b"\r\n") if l.lower().startswith(b"content-length:")]
    if not raw.startswith(b"HTTP/1.0 200") or not lengths:
        return "answer: %r" % raw[:80]
    if len(body) != int(lengths[0].split(b":")[1]):
        return "short body"
    return ""


def split(host, port, tries, gap_ms):
    failures = [f for f in (split_request(host, port, gap_ms) for _ in range(tries)) if f]
    print(json.dumps({"answered": tries - len(failures), "tries": tries,
                      "failures": failures[:5]}), flush=True)


if __name__ == "__main__":
    mode, host, port, a, b = sys.argv[1:6]
    if mode == "flood":
        flood(host, int(port), int(a), float(b))
    else:
        split(host, int(port), int(a), int(b))
