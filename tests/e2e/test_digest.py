"""HTTP Digest beside the UsernameToken: curl --digest (MD5, and SHA-256 when the MD5 challenge
is taken away on the way, as a client that prefers SHA-256 would choose) running a device and
media flow against nvtd in server mode and through the web server and the forwarder in relay
mode; the 401 a request without credentials gets in every mode; and CGI processes sharing the
nonce key and the memory of (nonce, nc)."""
import hashlib
import os
import re
import shlex
import socket
import subprocess
import threading

import pytest

from camera import program, wait_for, write_accounts
from nvtd_relay import start_persistent
from onvif_soap import Answer, envelope, post, security, serving
from onvif_validate import validate

pytestmark = pytest.mark.usefixtures("settings_server")

NVTD = program("nvtd", "nvtd")
FORWARDER = program("testbed", "forwarder", "nvtd-forwarder")
PORT = 8090
WEB_PORT = 8091
FILTER_PORT = 8092
REALM = "ONVIF camera"
ACCOUNTS = (("admin", "adm1n", "administrator"), ("viewer", "v1ew", "user"))
DEVICE = "/onvif/device_service"
MEDIA = "/onvif/media_service"
STREAM_URI = ("<trt:GetStreamUri><trt:StreamSetup><tt:Stream>RTP-Unicast</tt:Stream>"
              "<tt:Transport><tt:Protocol>RTSP</tt:Protocol></tt:Transport></trt:StreamSetup>"
              "<trt:ProfileToken>stream1</trt:ProfileToken></trt:GetStreamUri>")
# A device and media flow as a client walks it: (path, body, what the answer holds).
FLOW = [
    (DEVICE, "<tds:GetSystemDateAndTime/>", "<tds:GetSystemDateAndTimeResponse>"),
    (DEVICE, "<tds:GetCapabilities/>", "<tds:GetCapabilitiesResponse>"),
    (DEVICE, "<tds:GetServiceCapabilities/>", 'HttpDigest="true"'),
    (DEVICE, "<tds:GetDeviceInformation/>", "<tds:GetDeviceInformationResponse>"),
    (DEVICE, "<tds:GetScopes/>", "<tds:GetScopesResponse>"),
    (MEDIA, "<trt:GetProfiles/>", "<trt:GetProfilesResponse>"),
    (MEDIA, "<trt:GetVideoSources/>", "<trt:GetVideoSourcesResponse>"),
    (MEDIA, STREAM_URI, "<tt:Uri>rtsp://"),
    (MEDIA, "<trt:GetSnapshotUri><trt:ProfileToken>stream1</trt:ProfileToken></trt:GetSnapshotUri>",
     "<trt:GetSnapshotUriResponse>"),
]


def challenges(raw):
    """The WWW-Authenticate values of an answer's head, in order."""
    head = raw.partition(b"\r\n\r\n")[0].decode("latin-1")
    return [line.split(":", 1)[1].strip() for line in head.split("\r\n")
            if line.lower().startswith("www-authenticate:")]


def check_challenge(raw, status, tmp_path, stale=False):
    """A 401 with the two challenges (one nonce, MD5 first) and a fault body that validates."""
    assert raw.startswith(status), raw[:300]
    found = challenges(raw)
    assert len(found) == 2, raw[:600]
    nonce = re.search(r'nonce="([^"]+)"', found[0]).group(1)
    tail = ', nonce="%s"' % nonce + (", stale=true" if stale else "")
    assert found == ['Digest realm="%s", qop="auth", algorithm=%s%s' % (REALM, a, tail)
                     for a in ("MD5", "SHA-256")]
    answer = Answer(raw[raw.index(b"Content-Length"):] if status.startswith(b"Status") else raw)
    assert answer.fault()[1] == ["ter:NotAuthorized"]
    validate(tmp_path, raw.decode())
    return nonce


def authorization(user, password, nonce, uri, nc="00000001", algorithm="MD5", cnonce="0a4f113b"):
    h = hashlib.md5 if algorithm == "MD5" else hashlib.sha256

    def hx(text):
        return h(text.encode()).hexdigest()
    response = hx("%s:%s:%s:%s:auth:%s" % (hx("%s:%s:%s" % (user, REALM, password)), nonce, nc,
                                            cnonce, hx("POST:" + uri)))
    return ('Digest username="%s", realm="%s", nonce="%s", uri="%s", response="%s", qop=auth, '
            'nc=%s, cnonce="%s", algorithm=%s' % (user, REALM, nonce, uri, response, nc, cnonce,
                                                  algorithm))


def curl(port, path, body, user="admin", password="adm1n", extra=()):
    """curl --digest posting a SOAP body: (HTTP status, body)."""
    r = subprocess.run(["curl", "-s", "--max-time", "20", "--digest", "-u", user + ":" + password,
                        "-H", "Content-Type: application/soap+xml; charset=utf-8",
                        "--data-binary", envelope(body), "-w", "\n%{http_code}", *extra,
                        "http://127.0.0.1:%d%s" % (port, path)],
                       capture_output=True, timeout=60)
    assert r.returncode == 0, r.stderr
    text, _, code = r.stdout.decode().rpartition("\n")
    return int(code), text


class ChallengeFilter:
    """A relay on FILTER_PORT to port that drops the MD5 challenge from 401 answers, so a client
    that takes the first challenge it supports (curl) answers the SHA-256 one."""

    def __init__(self, port):
        self.port = port
        self.listener = socket.create_server(("127.0.0.1", FILTER_PORT))
        self.listener.settimeout(0.5)
        self.stopped = False
        self.algorithms = set()  # of the credentials that went through
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        while not self.stopped:
            try:
                client, _ = self.listener.accept()
            except OSError:
                continue
            with client:
                client.settimeout(20)
                self.relay(client)

    def relay(self, client):
        request = b""
        while b"\r\n\r\n" not in request and len(request) < 8192:
            request += client.recv(4096)
        head = request.partition(b"\r\n\r\n")[0].decode("latin-1")
        length = int(re.search(r"(?im)^content-length:\s*(\d+)", head).group(1))
        self.algorithms.update(re.findall(r"(?im)^authorization: digest .*algorithm=([^,\s]+)",
                                          head))
        while len(request) - len(head) - 4 < length:
            request += client.recv(65536)
        with socket.create_connection(("127.0.0.1", self.port), timeout=20) as upstream:
            upstream.sendall(request)
            answer = b""
            for _ in range(1000):
                chunk = upstream.recv(65536)
                if not chunk:
                    break
                answer += chunk
        client.sendall(re.sub(rb"WWW-Authenticate: Digest [^\r]*algorithm=MD5[^\r]*\r\n", b"",
                              answer))

    def stop(self):
        self.stopped = True
        self.thread.join(timeout=5)
        self.listener.close()


@pytest.fixture(scope="module")
def server():
    write_accounts(*ACCOUNTS)
    proc = subprocess.Popen(NVTD + ["--port", str(PORT)], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    try:
        assert wait_for(lambda: serving(PORT), timeout=30)
        yield PORT
    finally:
        proc.terminate()
        proc.wait(timeout=15)


LIGHTTPD_CONF = """server.modules = ("mod_alias", "mod_cgi")
server.document-root = "{root}"
server.port = {port}
server.max-keep-alive-requests = 0
alias.url = ("/onvif/" => "{forwarder}/")
cgi.assign = ("/nvtd-forwarder" => "")
"""


@pytest.fixture(scope="module", params=["lighttpd", "busybox httpd"])
def relay(request):
    """nvtd --persist behind a web server and the forwarder, as the camera ships it: lighttpd
    with the ONVIF paths aliased to the forwarder, or busybox httpd with a CGI script in front
    of it. The base URL path of the services."""
    write_accounts(*ACCOUNTS)
    server, fd = start_persistent()
    root = "/tmp/www-digest"
    os.makedirs(root + "/cgi-bin", exist_ok=True)
    # The forwarder (under the emulator on cross builds) as the web server starts it.
    script = root + ("/cgi-bin/onvif" if request.param == "busybox httpd" else "/nvtd-forwarder")
    with open(script, "w") as f:
        f.write("#!/bin/sh\nexec " + shlex.join(FORWARDER) + "\n")
    os.chmod(script, 0o755)
    if request.param == "lighttpd":
        with open(root + "/lighttpd.conf", "w") as f:
            f.write(LIGHTTPD_CONF.format(root=root, port=WEB_PORT, forwarder=script))
        cmd, base = ["lighttpd", "-D", "-f", root + "/lighttpd.conf"], "/onvif/"
    else:
        cmd, base = ["busybox", "httpd", "-f", "-p", str(WEB_PORT), "-h", root], "/cgi-bin/onvif/"
    web = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        assert wait_for(lambda: serving(WEB_PORT), timeout=10)
        yield base
    finally:
        web.terminate()
        web.wait(timeout=10)
        os.close(fd)
        server.stop()


def relay_path(base, path):
    """The service's path on the web server (the service's name after the forwarder's path)."""
    return base + path.rsplit("/", 1)[1]


@pytest.mark.parametrize("algorithm", ["MD5", "SHA-256"])
def test_curl_digest_runs_the_device_and_media_flow_in_server_mode(server, algorithm):
    port = server
    relay_filter = ChallengeFilter(server) if algorithm == "SHA-256" else None
    try:
        for path, body, expect in FLOW:
            status, text = curl(FILTER_PORT if relay_filter else port, path, body)
            assert status == 200 and expect in text, (path, body, status, text[:300])
        if relay_filter:
            assert relay_filter.algorithms == {"SHA-256"}
    finally:
        if relay_filter:
            relay_filter.stop()


@pytest.mark.parametrize("algorithm", ["MD5", "SHA-256"])
def test_curl_digest_runs_the_device_and_media_flow_through_the_web_server(relay, algorithm):
    relay_filter = ChallengeFilter(WEB_PORT) if algorithm == "SHA-256" else None
    try:
        for path, body, expect in FLOW:
            status, text = curl(FILTER_PORT if relay_filter else WEB_PORT,
                                relay_path(relay, path), body)
            assert status == 200 and expect in text, (path, body, status, text[:300])
        if relay_filter:
            assert relay_filter.algorithms == {"SHA-256"}
    finally:
        if relay_filter:
            relay_filter.stop()


def test_wrong_password_and_low_level_are_refused_in_server_mode(server):
    status, text = curl(server, DEVICE, "<tds:GetDeviceInformation/>", password="wrong")
    assert status == 401 and "ter:NotAuthorized" in text
    # A user account reads but does not change the system, as with the UsernameToken.
    status, text = curl(server, DEVICE, "<tds:GetDeviceInformation/>", "viewer", "v1ew")
    assert status == 200
    status, text = curl(server, DEVICE, "<tds:SetHostname><tds:Name>x</tds:Name></tds:SetHostname>",
                        "viewer", "v1ew")
    assert status == 400 and "ter:NotAuthorized" in text


def test_no_credentials_get_401_and_a_count_is_used_once_in_server_mode(server, tmp_path):
    raw = post(envelope("<tds:GetDeviceInformation/>"), server).raw
    nonce = check_challenge(raw, b"HTTP/1.0 401 Unauthorized\r\n", tmp_path)
    sent = authorization("admin", "adm1n", nonce, DEVICE, algorithm="SHA-256")

    def ask(auth, header=""):
        data = envelope("<tds:GetDeviceInformation/>", header).encode()
        with socket.create_connection(("127.0.0.1", server), timeout=10) as s:
            s.sendall(("POST %s HTTP/1.1\r\nAuthorization: %s\r\nContent-Length: %d\r\n\r\n"
                       % (DEVICE, auth, len(data))).encode() + data)
            return b"".join(iter(lambda: s.recv(65536), b""))

    assert ask(sent).startswith(b"HTTP/1.0 200 OK")
    check_challenge(ask(sent), b"HTTP/1.0 401 Unauthorized\r\n", tmp_path, stale=True)  # replay
    # Both schemes: each must hold.
    both = authorization("admin", "adm1n", nonce, DEVICE, nc="00000002")
    assert ask(both, security("viewer", "v1ew")).startswith(b"HTTP/1.0 200 OK")
    both = authorization("admin", "adm1n", nonce, DEVICE, nc="00000003")
    refused = ask(both, security("viewer", "wrong"))
    assert refused.startswith(b"HTTP/1.0 400") and b"wsse:FailedAuthentication" in refused


def test_no_credentials_get_401_through_the_web_server(relay, tmp_path):
    r = subprocess.run(["curl", "-s", "-i", "--max-time", "20", "-H",
                        "Content-Type: application/soap+xml; charset=utf-8", "--data-binary",
                        envelope("<tds:GetDeviceInformation/>"),
                        "http://127.0.0.1:%d%s" % (WEB_PORT, relay_path(relay, DEVICE))],
                       capture_output=True, timeout=60)
    head, _, body = r.stdout.partition(b"\r\n\r\n")
    assert head.startswith(b"HTTP/1.1 401 Unauthorized\r\n"), r.stdout[:300]
    assert len(challenges(r.stdout)) == 2
    assert b"ter:NotAuthorized" in body
    validate(tmp_path, r.stdout.decode())


def cgi(body, **env):
    base = {k: v for k, v in os.environ.items() if not k.startswith(("HTTP_", "REQUEST_"))}
    base.update(REQUEST_METHOD="POST", REQUEST_URI=DEVICE, CONTENT_LENGTH=str(len(body)), **env)
    r = subprocess.run(NVTD, input=body, capture_output=True, timeout=30, env=base)
    assert r.returncode == 0, r.stderr
    return r.stdout


def test_cgi_processes_share_the_nonce_key_and_the_count_memory(tmp_path):
    write_accounts(*ACCOUNTS)
    body = envelope("<tds:GetDeviceInformation/>").encode()
    nonce = check_challenge(cgi(body), b"Status: 401 Unauthorized\r\n", tmp_path)
    for nc, status in (("00000001", b"Content-Length"), ("00000002", b"Content-Length"),
                       ("00000001", b"Status: 401")):
        out = cgi(body, HTTP_AUTHORIZATION=authorization("viewer", "v1ew", nonce, DEVICE, nc=nc))
        assert out.startswith(status), (nc, out[:300])
    # A nonce of another camera (another key) is refused without stale.
    other = nonce[:-4] + ("AAAA" if nonce[-4:] != "AAAA" else "BBBB")
    out = cgi(body, HTTP_AUTHORIZATION=authorization("viewer", "v1ew", other, DEVICE))
    assert out.startswith(b"Status: 401") and b"stale" not in out
    # The digest-uri must be the request's.
    out = cgi(body, HTTP_AUTHORIZATION=authorization("viewer", "v1ew", nonce, MEDIA, nc="00000009"))
    assert out.startswith(b"Status: 401")
