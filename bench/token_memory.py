#!/usr/bin/python3
"""nvtd's resident size with its token memory full, run inside the camera sandbox by
bench/token_memory.sh: one "user" account sends 140,000 fresh tokens (Created 290 s ahead,
so none ages out meanwhile) for GetDeviceInformation, more than the memory's 131,072 places;
then another account sends 1,000. Prints VmRSS before and after, and how many were served.
    token_memory.py BUILD_DIR
"""
import os
import re
import subprocess
import sys
import time

BUILD = os.path.abspath(sys.argv[1])
SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
os.environ.update(CAMERA_BUILD_DIR=BUILD, CAMERA_SOURCE_DIR=SOURCE, CAMERA_EMULATOR="")
# The client helpers, and the settings server's package (testbed/settingsd).
sys.path[:0] = [os.path.join(SOURCE, "testbed", "client"), os.path.join(SOURCE, "testbed")]
from camera import program, wait_for, write_accounts  # noqa: E402
from nvtd_relay import http_exchange, soap_post  # noqa: E402
from onvif_soap import envelope, security, utc_text  # noqa: E402
from settingsd import Settingsd  # noqa: E402

PORT = 8080
ACCOUNTS = [("flood", "flood-pass", "user"), ("other", "other-pass", "user")]


def resident_kb(pid):
    with open("/proc/%d/status" % pid) as f:
        return int(re.search(r"^VmRSS:\s+(\d+)", f.read(), re.M).group(1))


def served(account, created=None):
    body = envelope("<tds:GetDeviceInformation/>", security(account[0], account[1], created))
    answer = http_exchange(PORT, soap_post(body.encode()))
    return b"GetDeviceInformationResponse" in answer


def listening():
    import socket
    try:
        socket.create_connection(("127.0.0.1", PORT), timeout=0.2).close()
        return True
    except OSError:
        return False


def main():
    write_accounts(*ACCOUNTS)
    settings = Settingsd(state="/run/settingsd-token-memory")
    proc = subprocess.Popen(program("nvtd", "nvtd") + ["--port", str(PORT)],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        assert wait_for(listening, timeout=30), "nvtd does not listen"
        served(ACCOUNTS[1])
        before = resident_kb(proc.pid)
        start = time.monotonic()
        flood = sum(served(ACCOUNTS[0], utc_text(290)) for _ in range(140000))
        seconds = time.monotonic() - start
        full = resident_kb(proc.pid)
        other = sum(served(ACCOUNTS[1]) for _ in range(1000))
        after = resident_kb(proc.pid)
    finally:
        proc.terminate()
        proc.wait(timeout=15)
        settings.stop()
    print("nvtd resident before: %d kB" % before)
    print("flood account: %d of 140000 served in %.0f s; resident then %d kB (%+d kB)"
          % (flood, seconds, full, full - before))
    print("other account with the memory full: %d of 1000 served; resident %d kB"
          % (other, after))
    return 0 if other == 1000 else 1


if __name__ == "__main__":
    sys.exit(main())
