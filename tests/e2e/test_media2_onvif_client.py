"""The npm "onvif" client (tests/e2e/node) over Media2. GetServices lists Media2, so the
client's media flow (connect, profiles, stream and snapshot URIs, encoder configurations and
options, a SetVideoEncoderConfiguration it reads back) goes to the Media2 address in the ver20
namespace and stays there; it would fall back to Media1 at a wrong answer. A proxy between
the client and nvtd records the address, namespace and answer of each call."""
import http.client
import http.server
import json
import subprocess
import threading
import xml.etree.ElementTree as ET

import pytest

from camera import program, wait_for, write_accounts
from onvif_client import onvif_library
from onvif_soap import TRT, serving
from settingsd import Settingsd

PORT, PROXY = 8080, 8091
USER, PASSWORD = "m2admin", "m2-secret"
TR2 = "http://www.onvif.org/ver20/media/wsdl"


def operation(data):
    """The tag ({namespace}name) of the first element in a SOAP document's Body."""
    body = [e for e in ET.fromstring(data) if e.tag.endswith("}Body")]
    return body[0][0].tag if body and len(body[0]) else None


class Recorder(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers["Content-Length"]))
        conn = http.client.HTTPConnection("127.0.0.1", PORT, timeout=30)
        conn.request("POST", self.path, body, {"Content-Type": self.headers["Content-Type"]})
        reply = conn.getresponse()
        answer = reply.read()
        self.server.calls.append((self.path, operation(body), reply.status, operation(answer)))
        self.send_response(reply.status)
        self.send_header("Content-Type", reply.getheader("Content-Type"))
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        self.wfile.write(answer)

    def log_message(self, *args):
        pass


@pytest.fixture(scope="module")
def camera():
    node_dir = onvif_library()
    write_accounts((USER, PASSWORD, "administrator"))
    settings = Settingsd()
    nvtd = subprocess.Popen(program("nvtd", "nvtd") + ["--port", str(PORT)],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    proxy = http.server.ThreadingHTTPServer(("127.0.0.1", PROXY), Recorder)
    proxy.calls = []
    threading.Thread(target=proxy.serve_forever, daemon=True).start()
    try:
        assert wait_for(lambda: serving(PORT), timeout=30)
        yield node_dir, proxy.calls
    finally:
        proxy.shutdown()
        proxy.server_close()
        nvtd.terminate()
        nvtd.wait(timeout=15)
        settings.stop()


def test_the_onvif_client_runs_its_media_flow_over_media2_and_stays(camera):
    node_dir, calls = camera
    run = subprocess.run(["node", "camera_media.js", "127.0.0.1", str(PROXY), USER, PASSWORD,
                          "12", "1536"], cwd=node_dir, capture_output=True, text=True,
                         timeout=120)
    print("\n".join("%s %s -> %s %s" % call for call in calls))
    assert run.returncode == 0, run.stderr
    seen = json.loads(run.stdout)
    assert seen["media2"] and seen["media2AtEnd"], seen
    assert [p["token"] for p in seen["profiles"]][:2] == ["stream1", "stream2"], seen
    assert seen["stream"].startswith("rtsp://10.99.0.2/"), seen
    assert seen["snapshot"].startswith("http://10.99.0.2"), seen
    assert [e[:2] for e in seen["encoders"]][:2] == [["T-VEConf-stream1", "H264"],
                                                     ["T-VEConf-stream2", "H264"]], seen
    assert seen["after"][1] == ["T-VEConf-stream2", "H264", 12, 1536], seen
    # Every media call went to the Media2 address in its namespace and was answered there,
    # except GetVideoSources, which Media2 does not have: the client asks Media1 for it.
    media = [c for c in calls if c[1].split("}")[0][1:] in (TR2, TRT)]
    assert {c[1].split("}")[1] for c in media} >= {
        "GetProfiles", "GetStreamUri", "GetSnapshotUri", "GetVideoEncoderConfigurations",
        "GetVideoEncoderConfigurationOptions", "SetVideoEncoderConfiguration"}, calls
    for path, request, status, answer in media:
        if request != "{%s}GetVideoSources" % TRT:
            assert (path, request.split("}")[0][1:]) == ("/onvif/media2_service", TR2), calls
            assert (status, answer) == (200, request + "Response"), calls
