#!/usr/bin/python3
"""WS-Discovery probe and listen helper for the LAN side of the camera's veth
(run with `ip netns exec lan`). Prints one JSON object per received datagram:
{"t": seconds since start, "from": "addr:port", "text": datagram}.

  wsd_probe.py listen SECONDS          join 239.255.255.250:3702 on lan0 and print datagrams
  wsd_probe.py probe SECONDS FILE [LOCAL]
                                       send FILE's text to the group (from LOCAL, an address
                                       of lan0; default 10.99.0.1), print the answers
  wsd_probe.py burst COUNT SECONDS FILE
                                       send FILE's text COUNT times at once, print the answers
  wsd_probe.py spoof SOURCE FILE       send FILE's text to the group from SOURCE (raw socket)
  wsd_probe.py rotate TARGET FIRST SOURCES RATE SECONDS FILE
                                       send FILE's text to TARGET:3702 from SOURCES addresses
                                       (FIRST and the next ones, each already on an interface)
                                       in turn, RATE datagrams a second in all for SECONDS;
                                       print {"sent", "answers", "bytes"} received back
"""
import ipaddress
import json
import selectors
import socket
import struct
import sys
import time

GROUP = "239.255.255.250"
PORT = 3702
LOCAL = "10.99.0.1"


def emit(start, source, data):
    text = data.decode("utf-8", "replace")
    print(json.dumps({"t": time.monotonic() - start, "from": "%s:%d" % source, "text": text}),
          flush=True)


def receive(sock, seconds):
    start = time.monotonic()
    deadline = start + seconds
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            return
        sock.settimeout(left)
        try:
            data, source = sock.recvfrom(65535)
        except socket.timeout:
            return
        emit(start, source, data)


def listen(seconds):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind(("", PORT))
    mreq = socket.inet_aton(GROUP) + socket.inet_aton(LOCAL)
    sock.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, mreq)
    print(json.dumps({"ready": True}), flush=True)
    receive(sock, seconds)


def probe(seconds, text, local=LOCAL, count=1):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1 << 20)
    sock.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_IF, socket.inet_aton(local))
    sock.bind((local, 0))
    for _ in range(count):
        sock.sendto(text, (GROUP, PORT))
    receive(sock, seconds)


def checksum(data):
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack("!%dH" % (len(data) // 2), data))
    total = (total >> 16) + (total & 0xFFFF)
    total += total >> 16
    return ~total & 0xFFFF


def spoof(source, text):
    udp = struct.pack("!HHHH", 40000, PORT, 8 + len(text), 0) + text
    header = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + len(udp), 1, 0, 4, socket.IPPROTO_UDP, 0,
                         socket.inet_aton(source), socket.inet_aton(GROUP))
    header = header[:10] + struct.pack("!H", checksum(header)) + header[12:]
    sock = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_RAW)
    sock.setsockopt(socket.IPPROTO_IP, socket.IP_HDRINCL, 1)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_BINDTODEVICE, b"lan0")
    sock.sendto(header + udp, (GROUP, 0))


def rotate(target, first, sources, rate, seconds, text):
    selector = selectors.DefaultSelector()
    socks = []
    for n in range(sources):
        sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        sock.bind((str(ipaddress.IPv4Address(first) + n), 0))
        sock.setblocking(False)
        selector.register(sock, selectors.EVENT_READ)
        socks.append(sock)
    sent = answers = size = 0
    start = time.monotonic()
    while True:
        now = time.monotonic() - start
        if now >= seconds + 0.5:  # late answers included
            break
        while now < seconds and sent < now * rate:
            try:
                socks[sent % sources].sendto(text, (target, PORT))
            except OSError:
                pass
            sent += 1
        for key, _ in selector.select(timeout=0.002):
            try:
                while True:
                    data = key.fileobj.recv(65535)
                    answers += 1
                    size += len(data)
            except BlockingIOError:
                pass
    print(json.dumps({"sent": sent, "answers": answers, "bytes": size}), flush=True)


def main(argv):
    if argv[1] == "listen":
        listen(float(argv[2]))
    elif argv[1] == "probe":
        with open(argv[3], "rb") as f:
            probe(float(argv[2]), f.read(), *argv[4:5])
    elif argv[1] == "burst":
        with open(argv[4], "rb") as f:
            probe(float(argv[3]), f.read(), count=min(int(argv[2]), 1000))
    elif argv[1] == "rotate":
        with open(argv[7], "rb") as f:
            rotate(argv[2], argv[3], int(argv[4]), float(argv[5]), min(float(argv[6]), 600),
                   f.read())
    elif argv[1] == "spoof":
        with open(argv[3], "rb") as f:
            spoof(argv[2], f.read())
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
