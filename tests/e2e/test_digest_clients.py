"""A client that sends only HTTP Digest, the npm "onvif" library with WS-Security off, runs its
device and media flow from the LAN side against nvtd serving HTTP itself and against the
camera's deployed arrangement (the web server with the camera's configuration, the forwarder
as its CGI program, nvtd --persist behind it), for accounts of two levels and a wrong password."""
import json
import subprocess

import pytest

from camera import EMULATOR, in_lan, program, start_web_server, wait_for, write_accounts
from nvtd_relay import Nvtd, start_server
from onvif_client import onvif_library

pytestmark = pytest.mark.usefixtures("settings_server")
CAMERA = "10.99.0.2"
FLOW = ["connect", "getDeviceInformation", "getScopes", "getHostname", "getNTP", "getDNS",
        "getNetworkInterfaces", "getUsers", "getProfiles", "getVideoSources",
        "getVideoEncoderConfigurations", "getStreamUri", "getSnapshotUri"]
# The steps nvtd serves before authentication (connect's own protected requests, GetProfiles
# and GetVideoSources, end in a warning when refused).
OPEN = ["connect", "getHostname"]
REFUSED_401 = "error: Digest authentication failed 401"
# account, password, the steps refused (all others served)
CASES = [
    ("admin", "admin-secret", []),
    ("viewer", "view-secret", ["getUsers"]),
    ("admin", "wrong", [s for s in FLOW if s not in OPEN]),
]


@pytest.fixture(scope="module", params=["server", "deployed"])
def camera(request, tmp_path_factory):
    if request.param == "deployed" and EMULATOR:
        pytest.skip("the web server runs the forwarder directly")
    node_dir = onvif_library()
    write_accounts(("admin", "admin-secret", "administrator"), ("viewer", "view-secret", "user"))
    if request.param == "server":
        nvtd = start_server(8080)
        yield node_dir, 8080
    else:
        nvtd = Nvtd("--persist", name="digest-persist")
        assert wait_for(lambda: "persisting" in nvtd.out(), timeout=20), nvtd.err()
        web = start_web_server(tmp_path_factory.mktemp("web"),
                               program("testbed", "forwarder", "nvtd-forwarder")[-1], "")
        yield node_dir, 80
        web.terminate()
        web.wait(timeout=10)
    nvtd.stop()


@pytest.mark.parametrize("user,password,refused", CASES)
def test_a_digest_only_client_runs_its_device_and_media_flow(camera, user, password, refused):
    node_dir, port = camera
    run = subprocess.run(in_lan(["node", "digest_flow.js", CAMERA, str(port), user, password]),
                         cwd=node_dir, capture_output=True, text=True, timeout=240)
    assert run.returncode == 0, run.stderr
    seen = json.loads(run.stdout.strip().splitlines()[-1])
    steps = seen["steps"]
    why = json.dumps(seen, indent=1)
    assert list(steps) == FLOW, why
    assert [s for s in FLOW if steps[s] != "ok"] == refused, why
    if password == "wrong":
        assert all(steps[s] == REFUSED_401 for s in refused), why
        return
    assert seen["warnings"] == [], why
    assert seen["model"] == "TQLM-R204", why
    assert seen["profiles"][:2] == ["stream1", "stream2"], why
    assert seen["stream"] == "rtsp://%s/onvif/stream1" % CAMERA, why
    assert seen["snapshot"] == "http://%s:80/onvif/no_image.jpg" % CAMERA, why
