"""The demo's streams and snapshots ask for Digest with the demo's account: the streaming
stand-in (RTSP Digest) and the web server stand-in with the camera's configuration (HTTP
Digest on the snapshot path). The same web server hands the ONVIF paths' Authorization header
to their CGI program and passes its 401 and challenges back, as nvtd's Digest needs; so does
busybox httpd, the other web server cameras ship."""
import os
import subprocess
import sys

import pytest

from camera import SOURCE_DIR, wait_for
from media_probe import fetch, jpeg_size, probe_stream, rtsp_describe, with_account

TESTBED = os.path.join(SOURCE_DIR, "testbed")
USER, PASSWORD = "admin", "admin"
RTSP = "rtsp://127.0.0.1:8554/onvif/"
SNAPSHOT = "http://127.0.0.1/onvif/no_image.jpg"
# A CGI program in place of the forwarder: what it was handed, or a 401 with two challenges.
ECHO_CGI = """#!/bin/sh
if [ -z "$HTTP_AUTHORIZATION" ]; then
  printf 'Status: 401 Unauthorized\\r\\nWWW-Authenticate: Digest realm="onvif", qop="auth", \
nonce="n1", algorithm=MD5\\r\\nWWW-Authenticate: Digest realm="onvif", qop="auth", nonce="n2", \
algorithm=SHA-256\\r\\nContent-Type: text/plain\\r\\n\\r\\n'
else
  printf 'Content-Type: text/plain\\r\\n\\r\\n%s' "$HTTP_AUTHORIZATION"
fi
"""
AUTHORIZATION = 'Digest username="admin", realm="onvif", nonce="n1", uri="/onvif/device_service"'


def listening(port):
    return subprocess.run(["bash", "-c", "exec 3<>/dev/tcp/127.0.0.1/%d" % port],
                          capture_output=True).returncode == 0


@pytest.fixture(scope="module")
def servers(tmp_path_factory):
    tmp = tmp_path_factory.mktemp("web")
    (tmp / "www").mkdir()
    (tmp / "users").write_text("%s:%s\n" % (USER, PASSWORD))
    echo = tmp / "nvtd-forwarder"
    echo.write_text(ECHO_CGI)
    echo.chmod(0o755)
    (tmp / "bb" / "cgi-bin").mkdir(parents=True)
    os.symlink(echo, tmp / "bb" / "cgi-bin" / "onvif")
    env = dict(os.environ, CAMERA_WWW=str(tmp / "www"), CAMERA_LOG_DIR=str(tmp),
               VCAM_DIR="/run/vcam", CAMERA_FORWARDER=str(echo), CAMERA_WEB_USERS=str(tmp / "users"),
               CAMERA_SNAPSHOT=os.path.join(TESTBED, "videoserver", "snapshot"))
    log = open(tmp / "rtsp-server.log", "wb")
    started = [
        subprocess.Popen(["/usr/sbin/lighttpd", "-D", "-f",
                          os.path.join(TESTBED, "webserver", "lighttpd.conf")], env=env),
        subprocess.Popen(["busybox", "httpd", "-f", "-p", "8081", "-h", str(tmp / "bb")]),
        subprocess.Popen([sys.executable, os.path.join(TESTBED, "videoserver", "rtsp-server"),
                          "--port", "8554"], stdout=log, stderr=subprocess.STDOUT),
    ]
    try:
        assert wait_for(lambda: all(listening(p) for p in (80, 8081, 8554)), timeout=20)
        yield
    finally:
        for p in started:
            p.terminate()
            p.wait(timeout=20)
        log.close()


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


@pytest.mark.parametrize("url", ["http://127.0.0.1/onvif/device_service",
                                 "http://127.0.0.1:8081/cgi-bin/onvif/device_service"])
def test_the_web_servers_hand_authorization_over_and_pass_a_401_back(servers, url):
    curl = ["curl", "-s", "-i", "--noproxy", "*", "--max-time", "20", "-X", "POST",
            "--data-binary", "<x/>", url]
    answer = subprocess.run(curl, capture_output=True, timeout=30).stdout.decode()
    head = answer.split("\r\n\r\n")[0].split("\r\n")
    assert head[0].endswith(" 401 Unauthorized"), answer
    assert [h.split(",")[-1].strip() for h in head if h.startswith("WWW-Authenticate:")] == [
        "algorithm=MD5", "algorithm=SHA-256"], answer
    answer = subprocess.run(curl + ["-H", "Authorization: " + AUTHORIZATION], capture_output=True,
                            timeout=30).stdout.decode()
    assert answer.startswith("HTTP/1.") and " 200 " in answer.splitlines()[0], answer
    assert answer.split("\r\n\r\n", 1)[1] == AUTHORIZATION, answer
