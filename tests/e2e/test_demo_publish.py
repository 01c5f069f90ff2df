"""The demo's --publish: a listening socket on the loopback outside the camera's namespaces,
inherited through the sandbox, forwards a client's connection to the camera's port 80."""
import os
import signal
import subprocess

import pytest

from camera import EMULATOR, SOURCE_DIR, wait_for
from nvtd_relay import http_exchange, soap_post
from onvif_soap import envelope

PORT = 18080


@pytest.mark.skipif(bool(EMULATOR), reason="the demo runs the host build's programs")
def test_a_client_outside_the_sandbox_reaches_the_camera():
    testbed = os.path.join(SOURCE_DIR, "testbed")
    demo = subprocess.Popen([os.path.join(testbed, "publish"), str(PORT), "--",
                             os.path.join(testbed, "sandbox"), os.path.join(testbed, "camera-up")],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    request = soap_post(envelope("<tds:GetSystemDateAndTime/>").encode())

    def answer():
        try:
            return http_exchange(PORT, request, timeout=5)
        except OSError:
            return b""
    try:
        got = wait_for(lambda: b"GetSystemDateAndTimeResponse" in answer(), timeout=60, step=1)
        assert got
    finally:
        os.killpg(demo.pid, signal.SIGTERM)
        demo.wait(timeout=30)
