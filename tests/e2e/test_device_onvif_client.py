"""A real ONVIF client, the npm package "onvif" (tests/e2e/node), walks the ordinary start of
a session against the sandboxed camera from the LAN side: GetSystemDateAndTime,
GetCapabilities, GetServices and GetDeviceInformation, with UsernameToken digests for a user
made with `nvtd useradd`."""
import calendar
import datetime
import json
import subprocess
import time

import pytest

from camera import in_lan, program, wait_for, write_accounts
from onvif_soap import serving
from onvif_client import onvif_library
from settingsd import Settingsd

PORT = 8080
CAMERA = "10.99.0.2"
USER, PASSWORD = "viewer", "view-secret"


@pytest.fixture(scope="module")
def camera():
    node_dir = onvif_library()
    write_accounts((USER, PASSWORD, "user"))
    settings = Settingsd()
    nvtd = subprocess.Popen(program("nvtd", "nvtd") + ["--port", str(PORT)],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        assert wait_for(lambda: serving(PORT), timeout=30)
        yield node_dir
    finally:
        nvtd.terminate()
        nvtd.wait(timeout=15)
        settings.stop()


def client(node_dir, password):
    return subprocess.run(in_lan(["node", "device_info.js", CAMERA, str(PORT), USER, password]),
                          cwd=node_dir, capture_output=True, text=True, timeout=120)


def test_onvif_library_reads_the_device(camera):
    before = int(time.time())
    run = client(camera, PASSWORD)
    after = int(time.time())
    assert run.returncode == 0, run.stderr
    seen = json.loads(run.stdout)

    stamp = calendar.timegm(datetime.datetime.strptime(
        seen["date"], "%Y-%m-%dT%H:%M:%S.%fZ").timetuple())
    assert before <= stamp <= after

    assert seen["info"]["manufacturer"] == "Corvane"
    assert seen["info"]["model"] == "TQLM-R204"
    assert seen["info"]["firmwareVersion"] == "2.1.7"
    assert seen["info"]["serialNumber"] == "N/A"

    caps = seen["capabilities"]
    assert caps["device"]["XAddr"] == "http://%s:%d/onvif/device_service" % (CAMERA, PORT)
    assert caps["media"]["XAddr"] == "http://%s:%d/onvif/media_service" % (CAMERA, PORT)
    assert caps["events"]["XAddr"] == "http://%s:%d/onvif/events_service" % (CAMERA, PORT)
    assert caps["imaging"]["XAddr"] == "http://%s:%d/onvif/imaging_service" % (CAMERA, PORT)

    namespaces = [s["namespace"] for s in seen["services"]]
    assert namespaces == ["http://www.onvif.org/ver10/device/wsdl",
                          "http://www.onvif.org/ver10/events/wsdl",
                          "http://www.onvif.org/ver10/media/wsdl",
                          "http://www.onvif.org/ver10/deviceIO/wsdl",
                          "http://www.onvif.org/ver20/imaging/wsdl",
                          "http://www.onvif.org/ver20/media/wsdl"]
    # The library takes its service addresses from the answers, and keeps to Media1.
    assert seen["uri"]["media"] == "http://%s:%d/onvif/media_service" % (CAMERA, PORT)


def test_onvif_library_with_a_wrong_password_is_refused(camera):
    run = client(camera, "not-the-password")
    assert run.returncode != 0
    # The open operations work; the first guarded one is refused.
    assert run.stderr.startswith("getDeviceInformation:"), run.stderr
