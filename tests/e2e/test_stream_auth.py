"""The demo's streams and snapshots ask for Digest with the demo's account: the streaming
stand-in (RTSP Digest) and the web server stand-in with the camera's configuration (HTTP
Digest on the snapshot path). That the web servers hand the ONVIF paths' Authorization header
to their CGI program and pass its 401 back is shown by test_digest's flows through them."""
import os
import subprocess
import sys

import pytest

from camera import SOURCE_DIR, program, start_web_server, wait_for
from media_probe import fetch, jpeg_size, probe_stream, rtsp_describe, with_account
from onvif_soap import serving

USER, PASSWORD = "admin", "admin"
RTSP = "rtsp://127.0.0.1:8554/onvif/"
SNAPSHOT = "http://127.0.0.1/onvif/no_image.jpg"


@pytest.fixture(scope="module")
def servers(tmp_path_factory):
    tmp = tmp_path_factory.mktemp("web")
    web = start_web_server(tmp, program("testbed", "forwarder", "nvtd-forwarder")[-1],
                           "%s:%s\n" % (USER, PASSWORD))
    with open(tmp / "rtsp-server.log", "wb") as log:
        rtsp = subprocess.Popen([sys.executable, os.path.join(SOURCE_DIR, "testbed", "videoserver",
                                                              "rtsp-server"), "--port", "8554"],
                                stdout=log, stderr=subprocess.STDOUT)
    try:
        assert wait_for(lambda: serving(8554), timeout=20)
        yield
    finally:
        for p in (web, rtsp):
            p.terminate()
            p.wait(timeout=20)


@pytest.mark.parametrize("path", ["stream1", "stream2"])
def test_a_stream_asks_for_rtsp_digest_and_opens_with_the_account(servers, path):
    status, challenges = rtsp_describe(RTSP + path)
    assert status == "RTSP/1.0 401 Unauthorized", (status, challenges)
    assert [c.split(" ")[0] for c in challenges] == ["Digest"], challenges
    assert 'realm="ONVIF camera"' in challenges[0], challenges
    for password, codec in (("wrong", None), (PASSWORD, "H.264")):
        (found, _, _, _), text = probe_stream(with_account(RTSP + path, USER, password), 20)
        assert found == codec, (password, text)


def test_the_snapshot_asks_for_http_digest_and_answers_the_account(servers):
    status, challenges, _ = fetch(SNAPSHOT)
    assert status == 401, status
    assert len(challenges) == 1 and challenges[0].startswith("Digest "), challenges
    for part in ('realm="ONVIF camera"', "algorithm=MD5", 'qop="auth"'):
        assert part in challenges[0], challenges
    assert fetch(SNAPSHOT, USER, "wrong")[0] == 401
    status, _, data = fetch(SNAPSHOT, USER, PASSWORD, timeout=60)
    assert status == 200 and jpeg_size(data), (status, data[:200])
