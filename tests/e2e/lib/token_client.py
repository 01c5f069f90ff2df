#!/usr/bin/python3
"""A LAN client of nvtd's server mode for attacks run unprivileged (source on standard input):
`python3 - CLIENT exchange PORT SOURCE REQUEST_B64` prints the answer (Base64) from SOURCE;
`python3 - CLIENT flood PORT USER PASSWORD SECONDS` prints {"sent": N, "refused": M, "served": S, "other": [the first other answers]}.
CLIENT is the folder of the client helpers (testbed/client)."""
import base64
import json
import socket
import sys
import time

sys.path.insert(0, sys.argv[1])
from nvtd_relay import soap_post  # noqa: E402
from onvif_soap import envelope, security  # noqa: E402


def send(port, data, source="127.0.0.1"):
    with socket.create_connection(("127.0.0.1", port), 15, source_address=(source, 0)) as s:
        s.sendall(data)
        return b"".join(iter(lambda: s.recv(65536), b""))


port = int(sys.argv[3])
if sys.argv[2] == "exchange":
    print(base64.b64encode(send(port, base64.b64decode(sys.argv[5]), sys.argv[4])).decode())
else:
    end, refused, served, other = time.monotonic() + float(sys.argv[6]), 0, 0, []
    while time.monotonic() < end:
        body = envelope("<tds:GetDeviceInformation/>", security(sys.argv[4], sys.argv[5]))
        answer = send(port, soap_post(body.encode()))
        refused += b"FailedAuthentication" in answer
        served += b"GetDeviceInformationResponse" in answer
        if b"FailedAuthentication" not in answer:
            other.append(answer[:120].decode("latin-1"))
    print(json.dumps({"sent": refused + len(other), "refused": refused, "served": served,
                      "other": other[:3]}))
