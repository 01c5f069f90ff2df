#!/usr/bin/python3
"""A LAN host that sends whole ONVIF requests to the camera's web server and resets each
connection at once (SO_LINGER 0, then close), and a client that asks one question at a time
meanwhile; and what a flood leaves on the camera.

  reset_flood.py flood HOST PORT SECONDS [PARALLEL] [HOLD_MS]
        for SECONDS (at most 60, or until SIGTERM), PARALLEL (8) connections at a time, each
        reset HOLD_MS (20) after its request is sent; prints {"sent": N}
  reset_flood.py ask HOST PORT SECONDS GAP_MS
        one GetSystemDateAndTime after another (GAP_MS between) for SECONDS (at most 120);
        prints [[start, seconds, status], ...] (start: seconds from the first; status: the
        HTTP status, or "timeout"/"error" after 30 s or a failed connection)
  reset_flood.py leftovers
        on the camera: {"forwarders": N, "fifos": N, "orphan_fifos": N} (reply FIFOs whose
        forwarder no longer runs are orphans)
"""
import errno
import json
import os
import selectors
import signal
import socket
import struct
import sys
import time

BODY = (b'<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" '
        b'xmlns:tds="http://www.onvif.org/ver10/device/wsdl"><s:Body>'
        b'<tds:GetSystemDateAndTime/></s:Body></s:Envelope>')
REQUEST = (b"POST /onvif/device_service HTTP/1.1\r\nHost: camera\r\n"
           b"Content-Type: application/soap+xml; charset=utf-8\r\nConnection: close\r\n"
           b"Content-Length: %d\r\n\r\n" % len(BODY)) + BODY
RESET = struct.pack("ii", 1, 0)


def flood(host, port, seconds, parallel, hold_ms):
    deadline = [time.monotonic() + min(seconds, 60)]
    signal.signal(signal.SIGTERM, lambda *_: deadline.__setitem__(0, 0))
    selector = selectors.DefaultSelector()
    sent_at = {}  # socket: when its request went; reset hold_ms later
    sent = 0
    while time.monotonic() < deadline[0]:
        while len(selector.get_map()) + len(sent_at) < parallel:
            s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            s.setblocking(False)
            if s.connect_ex((host, port)) not in (0, errno.EINPROGRESS):
                s.close()
                break
            selector.register(s, selectors.EVENT_WRITE)
        for key, _ in selector.select(timeout=0.005):
            s = key.fileobj
            selector.unregister(s)
            try:
                s.send(REQUEST)
                sent += 1
            except OSError:
                pass
            sent_at[s] = time.monotonic()
        now = time.monotonic()
        for s in [s for s, at in sent_at.items() if now - at >= hold_ms / 1000]:
            del sent_at[s]
            s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, RESET)
            s.close()
    for s in list(sent_at) + [key.fileobj for key in selector.get_map().values()]:
        s.close()
    print(json.dumps({"sent": sent}), flush=True)


def ask_once(host, port):
    """(seconds, status) of one request on a connection of its own."""
    started = time.monotonic()
    try:
        with socket.create_connection((host, port), timeout=30) as s:
            s.sendall(REQUEST)
            answer = b""
            while chunk := s.recv(65536):
                answer += chunk
    except socket.timeout:
        return time.monotonic() - started, "timeout"
    except OSError:
        return time.monotonic() - started, "error"
    status = answer.split(b" ", 2)[1].decode() if answer.startswith(b"HTTP/") else "none"
    if status == "200" and b"GetSystemDateAndTimeResponse" not in answer:
        status = "200-without-answer"
    return time.monotonic() - started, status


def ask(host, port, seconds, gap_ms):
    first = time.monotonic()
    results = []
    while time.monotonic() - first < min(seconds, 120):
        start = time.monotonic() - first
        took, status = ask_once(host, port)
        results.append([round(start, 3), round(took, 4), status])
        time.sleep(gap_ms / 1000)
    print(json.dumps(results), flush=True)


def leftovers():
    forwarders = 0
    for pid in os.listdir("/proc"):
        try:
            if pid.isdigit() and os.readlink("/proc/%s/exe" % pid).endswith("nvtd-forwarder"):
                forwarders += 1
        except OSError:
            pass
    fifos = [n for n in os.listdir("/tmp") if n.startswith("nvtd_cl.")]
    orphans = [n for n in fifos if not os.path.exists("/proc/" + n.split(".", 1)[1])]
    print(json.dumps({"forwarders": forwarders, "fifos": len(fifos),
                      "orphan_fifos": len(orphans)}), flush=True)


if __name__ == "__main__":
    command = sys.argv[1]
    if command == "flood":
        flood(sys.argv[2], int(sys.argv[3]), float(sys.argv[4]),
              int(sys.argv[5]) if len(sys.argv) > 5 else 8,
              int(sys.argv[6]) if len(sys.argv) > 6 else 20)
    elif command == "ask":
        ask(sys.argv[2], int(sys.argv[3]), float(sys.argv[4]), int(sys.argv[5]))
    elif command == "leftovers":
        leftovers()
    else:
        sys.exit(__doc__)
