"""The npm "onvif" client (tests/e2e/node) over Media2. GetServices lists Media2, so the
client's media flow (connect, profiles, stream and snapshot URIs, encoder configurations and
their options, a SetVideoEncoderConfiguration read back) goes to the Media2 address in the
ver20 namespace and stays there; it would fall back to Media1 at a wrong answer. A proxy
between the client and nvtd records which address, namespace and answer each call had."""
import http.client
import http.server
import json
import subprocess
import threading
import xml.etree.ElementTree as ET

import pytest

from camera import program, wait_for, write_accounts
from onvif_client import onvif_library
from onvif_soap import TRT, TT, envelope, post, security, serving
from settingsd import Settingsd

PORT, PROXY = 8080, 8091
USER, PASSWORD = "m2admin", "m2-secret"
TR2 = "http://www.onvif.org/ver20/media/wsdl"
CAMERA = "10.99.0.2"


def operation(data):
    """The tag ({namespace}name) of the first element in the Body of a SOAP document."""
    try:
        body = [e for e in ET.fromstring(data) if e.tag.endswith("}Body")]
    except ET.ParseError:
        return None
    return body[0][0].tag if body and len(body[0]) else None


class Proxy(http.server.ThreadingHTTPServer):
    """Passes each POST on to nvtd and records (path, request operation, status, answer)."""

    def __init__(self):
        self.calls = []
        super().__init__(("127.0.0.1", PROXY), ProxyHandler)
        threading.Thread(target=self.serve_forever, daemon=True).start()


class ProxyHandler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        keep = ("content-type", "authorization")
        conn = http.client.HTTPConnection("127.0.0.1", PORT, timeout=30)
        conn.request("POST", self.path, body,
                     {k: v for k, v in self.headers.items() if k.lower() in keep})
        reply = conn.getresponse()
        answer = reply.read()
        self.server.calls.append((self.path, operation(body), reply.status, operation(answer)))
        self.send_response(reply.status)
        for name in ("Content-Type", "WWW-Authenticate"):
            if reply.getheader(name):
                self.send_header(name, reply.getheader(name))
        self.send_header("Content-Length", str(len(answer)))
        self.send_header("Connection", "close")
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
    proxy = Proxy()
    try:
        assert wait_for(lambda: serving(PORT), timeout=30)
        yield node_dir, proxy
    finally:
        proxy.shutdown()
        proxy.server_close()
        nvtd.terminate()
        nvtd.wait(timeout=15)
        settings.stop()


def test_the_onvif_client_runs_its_media_flow_over_media2_and_stays(camera):
    node_dir, proxy = camera
    run = subprocess.run(["node", "media2_flow.js", "127.0.0.1", str(PROXY), USER, PASSWORD,
                          "12", "1536"], cwd=node_dir, capture_output=True, text=True,
                         timeout=120)
    calls = proxy.calls
    print("\n".join("%s %s -> %s %s" % call for call in calls))
    assert run.returncode == 0, run.stderr
    seen = json.loads(run.stdout)
    assert seen["media2AfterConnect"] and seen["media2AtEnd"], seen
    assert [p["token"] for p in seen["profiles"]][:2] == ["stream1", "stream2"], seen
    assert seen["stream"].startswith("rtsp://%s/" % CAMERA), seen
    assert seen["snapshot"].startswith("http://%s" % CAMERA), seen
    tokens = [e["token"] for e in seen["encoders"]]
    assert tokens[:2] == ["T-VEConf-stream1", "T-VEConf-stream2"], seen
    assert all(e["encoding"] == "H264" for e in seen["encoders"]), seen
    after = {e["token"]: e for e in seen["after"]}["T-VEConf-stream2"]
    assert (after["fps"], after["kbps"]) == (12, 1536), seen
    # Every media call went to the Media2 address in its namespace and was answered there,
    # except GetVideoSources, which Media2 does not have: the client asks Media1 for it.
    media = [c for c in calls if c[1] and c[1].split("}")[0][1:] in (TR2, TRT)]
    names = [c[1].split("}")[1] for c in media]
    for op in ("GetProfiles", "GetStreamUri", "GetSnapshotUri", "GetVideoEncoderConfigurations",
               "GetVideoEncoderConfigurationOptions", "SetVideoEncoderConfiguration"):
        assert op in names, names
    for path, request, status, answer in media:
        if request == "{%s}GetVideoSources" % TRT:
            continue
        assert (path, request) == ("/onvif/media2_service", request.replace(TRT, TR2)), calls
        assert (status, answer) == (200, request + "Response"), calls
    # The set is the camera's one encoder setting: Media1 reads it back.
    reply = post(envelope("<trt:GetVideoEncoderConfiguration><trt:ConfigurationToken>"
                          "T-VEConf-stream2</trt:ConfigurationToken>"
                          "</trt:GetVideoEncoderConfiguration>", security(USER, PASSWORD)),
                 PORT, path="/onvif/media_service").xml()
    rate = reply.find(".//tt:RateControl", {"tt": TT})
    assert (rate.find("{%s}FrameRateLimit" % TT).text,
            rate.find("{%s}BitrateLimit" % TT).text) == ("12", "1536")
