#!/usr/bin/python3
"""A LAN client of nvtd's server mode for attacks run unprivileged (source on standard input):
`python3 - LIB exchange PORT SOURCE REQUEST_B64` prints the answer (Base64) from SOURCE;
`python3 - LIB flood PORT USER PASSWORD SECONDS` prints {"sent": N, "refused": M}."""
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
    end, refused = time.monotonic() + float(sys.argv[6]), []
    while time.monotonic() < end:
        body = envelope("<tds:GetDeviceInformation/>", security(sys.argv[4], sys.argv[5]))
        refused.append(b"FailedAuthentication" in send(port, soap_post(body.encode())))
    print(json.dumps({"sent": len(refused), "refused": sum(refused)}))
