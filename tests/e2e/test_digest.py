"""HTTP Digest beside the UsernameToken: curl --digest (MD5, and SHA-256 when the MD5 challenge
is taken away on the way, as a client that prefers SHA-256 would choose) running a device and
media flow against nvtd in server mode and behind each web server and the forwarder in relay
mode; the 401 a request without credentials gets there; and CGI processes sharing the nonce
key and the memory of (nonce, nc)."""
import contextlib
import hashlib
import os
import re
import shlex
import socket
import socketserver
import subprocess
import threading

import pytest

from camera import program, start_web_server, wait_for, write_accounts
from nvtd_relay import start_persistent, start_server
from onvif_soap import Answer, envelope, post, serving
from onvif_validate import validate

pytestmark = pytest.mark.usefixtures("settings_server")

NVTD = program("nvtd", "nvtd")
PORT = 8090
BUSYBOX_PORT = 8091
FILTER_PORT = 8092
REALM = "ONVIF camera"
ACCOUNTS = (("admin", "adm1n", "administrator"), ("viewer", "v1ew", "user"))
DEVICE = "/onvif/device_service"
STREAM_URI = ("<trt:GetStreamUri><trt:StreamSetup><tt:Stream>RTP-Unicast</tt:Stream>"
              "<tt:Transport><tt:Protocol>RTSP</tt:Protocol></tt:Transport></trt:StreamSetup>"
              "<trt:ProfileToken>stream1</trt:ProfileToken></trt:GetStreamUri>")
# A device and media flow as a client walks it: (service, body, what the answer holds).
FLOW = [
    ("device_service", "<tds:GetSystemDateAndTime/>", "<tds:GetSystemDateAndTimeResponse>"),
    ("device_service", "<tds:GetCapabilities/>", "<tds:GetCapabilitiesResponse>"),
    ("device_service", "<tds:GetServiceCapabilities/>", 'HttpDigest="true"'),
    ("device_service", "<tds:GetDeviceInformation/>", "<tds:GetDeviceInformationResponse>"),
    ("device_service", "<tds:GetScopes/>", "<tds:GetScopesResponse>"),
    ("media_service", "<trt:GetProfiles/>", "<trt:GetProfilesResponse>"),
    ("media_service", "<trt:GetVideoSources/>", "<trt:GetVideoSourcesResponse>"),
    ("media_service", STREAM_URI, "<tt:Uri>rtsp://"),
    ("media_service",
     "<trt:GetSnapshotUri><trt:ProfileToken>stream1</trt:ProfileToken></trt:GetSnapshotUri>",
     "<trt:GetSnapshotUriResponse>"),
]


def check_challenge(raw, status, tmp_path, stale=False):
    """A 401 with the two challenges (one nonce, MD5 first) and a fault body that validates."""
    assert re.match(status, raw), raw[:300]
    head = raw.partition(b"\r\n\r\n")[0].decode("latin-1").split("\r\n")
    found = [line.split(":", 1)[1].strip() for line in head
             if line.lower().startswith("www-authenticate:")]
    nonce = re.search(r'nonce="([^"]+)"', found[0]).group(1)
    tail = ', nonce="%s"' % nonce + (", stale=true" if stale else "")
    assert found == ['Digest realm="%s", qop="auth", algorithm=%s%s' % (REALM, a, tail)
                     for a in ("MD5", "SHA-256")]
    answer = Answer(raw[raw.index(b"Content-Length"):] if raw.startswith(b"Status") else raw)
    assert answer.fault()[1] == ["ter:NotAuthorized"]
    validate(tmp_path, raw.decode())
    return nonce


def authorization(user, password, nonce, uri, nc="00000001", algorithm="MD5", cnonce="0a4f113b"):
    def hx(text):
        return (hashlib.md5 if algorithm == "MD5" else hashlib.sha256)(text.encode()).hexdigest()
    response = hx("%s:%s:%s:%s:auth:%s" % (hx("%s:%s:%s" % (user, REALM, password)), nonce, nc,
                                            cnonce, hx("POST:" + uri)))
    return ('Digest username="%s", realm="%s", nonce="%s", uri="%s", response="%s", qop=auth, '
            'nc=%s, cnonce="%s", algorithm=%s' % (user, REALM, nonce, uri, response, nc, cnonce,
                                                  algorithm))


def curl(port, path, body, user="admin", password="adm1n"):
    """curl --digest posting a SOAP body: (HTTP status, body)."""
    r = subprocess.run(["curl", "-s", "--max-time", "20", "--digest", "-u", user + ":" + password,
                        "-H", "Content-Type: application/soap+xml; charset=utf-8",
                        "--data-binary", envelope(body), "-w", "\n%{http_code}",
                        "http://127.0.0.1:%d%s" % (port, path)],
                       capture_output=True, timeout=60)
    assert r.returncode == 0, r.stderr
    text, _, code = r.stdout.decode().rpartition("\n")
    return int(code), text


class Relay(socketserver.ThreadingTCPServer):
    allow_reuse_address = daemon_threads = True


@contextlib.contextmanager
def md5_dropped(port):
    """A relay on FILTER_PORT to port that drops the MD5 challenge from the answers, so curl,
    which answers the first challenge it knows, answers the SHA-256 one. Yields the set of the
    algorithms of the credentials that went through."""
    algorithms = set()

    class Request(socketserver.StreamRequestHandler):
        def handle(self):
            head = b""
            for _ in range(100):
                line = self.rfile.readline(8192)
                head += line
                if line in (b"\r\n", b""):
                    break
            text = head.decode("latin-1")
            algorithms.update(re.findall(r"(?im)^authorization: digest .*algorithm=([^,\s]+)",
                                         text))
            length = int(re.search(r"(?im)^content-length:\s*(\d+)", text).group(1))
            with socket.create_connection(("127.0.0.1", port), timeout=20) as upstream:
                upstream.sendall(head + self.rfile.read(length))
                answer = b"".join(iter(lambda: upstream.recv(65536), b""))
            self.wfile.write(re.sub(rb"WWW-Authenticate: Digest [^\r]*algorithm=MD5[^\r]*\r\n",
                                    b"", answer))

    with Relay(("127.0.0.1", FILTER_PORT), Request) as relay:
        threading.Thread(target=relay.serve_forever, daemon=True).start()
        yield algorithms
        relay.shutdown()


@pytest.fixture(scope="module", params=["server", "lighttpd", "busybox httpd"])
def camera(request, tmp_path_factory):
    """nvtd serving HTTP itself, or nvtd --persist behind a web server and the forwarder as the
    camera ships it: lighttpd with the camera's configuration, or busybox httpd with the
    forwarder as its CGI program. (port, the services' base path)."""
    write_accounts(*ACCOUNTS)
    if request.param == "server":
        nvtd = start_server(PORT)
        yield PORT, "/onvif/"
        nvtd.stop()
        return
    nvtd, fd = start_persistent()
    tmp = tmp_path_factory.mktemp("web")
    # The forwarder (under the emulator on cross builds) as the web server starts it.
    (tmp / "cgi-bin").mkdir()
    forwarder = tmp / "cgi-bin" / "nvtd-forwarder"
    forwarder.write_text("#!/bin/sh\nexec %s\n" % shlex.join(
        program("testbed", "forwarder", "nvtd-forwarder")))
    forwarder.chmod(0o755)
    if request.param == "lighttpd":
        web, port, base = start_web_server(tmp, forwarder, ""), 80, "/onvif/"
    else:
        web = subprocess.Popen(["busybox", "httpd", "-f", "-p", str(BUSYBOX_PORT), "-h", tmp])
        port, base = BUSYBOX_PORT, "/cgi-bin/nvtd-forwarder/"
        assert wait_for(lambda: serving(port), timeout=10)
    yield port, base
    web.terminate()
    web.wait(timeout=10)
    os.close(fd)
    nvtd.stop()


@pytest.mark.parametrize("algorithm", ["MD5", "SHA-256"])
def test_curl_digest_runs_the_device_and_media_flow(camera, algorithm):
    port, base = camera
    with md5_dropped(port) as algorithms:
        for service, body, expect in FLOW:
            status, text = curl(FILTER_PORT if algorithm == "SHA-256" else port, base + service,
                                body)
            assert status == 200 and expect in text, (service, body, status, text[:300])
    assert algorithms == ({"SHA-256"} if algorithm == "SHA-256" else set())


def test_no_credentials_get_401_with_both_challenges(camera, tmp_path):
    port, base = camera
    raw = post(envelope("<tds:GetDeviceInformation/>"), port, base + "device_service").raw
    check_challenge(raw, rb"HTTP/1\.[01] 401 Unauthorized\r\n", tmp_path)


def cgi(body, **env):
    base = {k: v for k, v in os.environ.items() if not k.startswith(("HTTP_", "REQUEST_"))}
    base.update(REQUEST_METHOD="POST", REQUEST_URI=DEVICE, CONTENT_LENGTH=str(len(body)), **env)
    r = subprocess.run(NVTD, input=body, capture_output=True, timeout=30, env=base)
    assert r.returncode == 0, r.stderr
    return r.stdout


def test_cgi_processes_share_the_nonce_key_and_the_count_memory(tmp_path):
    write_accounts(*ACCOUNTS)
    body = envelope("<tds:GetDeviceInformation/>").encode()
    nonce = check_challenge(cgi(body), rb"Status: 401 Unauthorized\r\n", tmp_path)
    for nc, status in (("00000001", b"Content-Length"), ("00000002", b"Content-Length"),
                       ("00000001", b"Status: 401")):
        out = cgi(body, HTTP_AUTHORIZATION=authorization("viewer", "v1ew", nonce, DEVICE, nc=nc))
        assert out.startswith(status), (nc, out[:300])
    check_challenge(out, rb"Status: 401 Unauthorized\r\n", tmp_path, stale=True)  # a replay
    # A nonce of another camera (another key) is refused without stale.
    other = nonce[:-4] + ("AAAA" if nonce[-4:] != "AAAA" else "BBBB")
    out = cgi(body, HTTP_AUTHORIZATION=authorization("viewer", "v1ew", other, DEVICE))
    assert out.startswith(b"Status: 401") and b"stale" not in out
    # The digest-uri must be the request's.
    out = cgi(body, HTTP_AUTHORIZATION=authorization("viewer", "v1ew", nonce,
                                                     "/onvif/media_service", nc="00000009"))
    assert out.startswith(b"Status: 401")
