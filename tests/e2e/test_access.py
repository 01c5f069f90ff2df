"""Who may do what, and tokens that count once, in server, relay and CGI mode: accounts of
the three levels made with `nvtd useradd`, a table of (level, operation, allowed), stale,
malformed, empty-nonce and replayed tokens, other spellings of one token, tokens that belong
to their account, the same token again from the same address only on reading operations,
--token-window 0, a flood of tokens that must not lock others out nor flood the log, and
accounts made, changed and deleted through ONVIF that authentication uses at once."""
import base64
import datetime
import hashlib
import json
import os
import re
import select
import socket
import subprocess
import threading
import time

import pytest

from camera import fake_calls, program
from nvtd_relay import http_exchange, relay_request, soap_post, start_persistent, start_server
from onvif_soap import envelope, security, utc_text
from onvif_validate import validate

pytestmark = pytest.mark.usefixtures("settings_server")

PORT = 8090
ACCOUNTS = {"user": ("viewer", "v-pass"), "operator": ("op", "o-pass"),
            "administrator": ("boss", "b-pass")}
USERS = "/etc/nvtd/users"
CLIENT_SCRIPT = os.path.join(os.path.dirname(__file__), "lib", "token_client.py")
NOBODY = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]
DEVICE, MEDIA, EVENTS = ("/onvif/device_service", "/onvif/media_service",
                         "/onvif/events_service")
TEV = ' xmlns:tev="http://www.onvif.org/ver10/events/wsdl"'
# The files a refused request must leave alone.
WATCHED = ("/etc/hostname", "/etc/resolv.conf", "/etc/network/interfaces", "/etc/nvtd/users")

OPERATIONS = {
    "GetDeviceInformation": (DEVICE, "<tds:GetDeviceInformation/>"),
    "GetProfiles": (MEDIA, "<trt:GetProfiles/>"),
    "GetStreamUri": (MEDIA, "<trt:GetStreamUri><trt:StreamSetup><tt:Stream>RTP-Unicast</tt:Stream>"
                     "<tt:Transport><tt:Protocol>RTSP</tt:Protocol></tt:Transport></trt:StreamSetup>"
                     "<trt:ProfileToken>stream1</trt:ProfileToken></trt:GetStreamUri>"),
    "CreatePullPointSubscription": (EVENTS, "<tev:CreatePullPointSubscription%s/>" % TEV),
    "PullMessages": (EVENTS + "/SubscriptionManager=0",
                     "<tev:PullMessages%s><tev:Timeout>PT1S</tev:Timeout>"
                     "<tev:MessageLimit>1</tev:MessageLimit></tev:PullMessages>" % TEV),
    "SetHostname": (DEVICE, "<tds:SetHostname><tds:Name>taken</tds:Name></tds:SetHostname>"),
    "SetDNS": (DEVICE, "<tds:SetDNS><tds:FromDHCP>false</tds:FromDHCP><tds:DNSManual>"
               "<tt:Type>IPv4</tt:Type><tt:IPv4Address>10.99.0.77</tt:IPv4Address>"
               "</tds:DNSManual></tds:SetDNS>"),
    "SetNetworkInterfaces": (DEVICE, "<tds:SetNetworkInterfaces><tds:InterfaceToken>eth0"
                             "</tds:InterfaceToken><tds:NetworkInterface><tt:IPv4><tt:Manual>"
                             "<tt:Address>10.99.0.77</tt:Address><tt:PrefixLength>24"
                             "</tt:PrefixLength></tt:Manual><tt:DHCP>false</tt:DHCP></tt:IPv4>"
                             "</tds:NetworkInterface></tds:SetNetworkInterfaces>"),
    "SystemReboot": (DEVICE, "<tds:SystemReboot/>"),
    "SetSystemFactoryDefault": (DEVICE, "<tds:SetSystemFactoryDefault><tds:FactoryDefault>Hard"
                                "</tds:FactoryDefault></tds:SetSystemFactoryDefault>"),
    "CreateUsers": (DEVICE, "<tds:CreateUsers><tds:User><tt:Username>intruder</tt:Username>"
                    "<tt:Password>pw</tt:Password><tt:UserLevel>Administrator</tt:UserLevel>"
                    "</tds:User></tds:CreateUsers>"),
    "GetUsers": (DEVICE, "<tds:GetUsers/>"),
    "SetVideoEncoderConfiguration": (MEDIA, "<trt:SetVideoEncoderConfiguration><trt:Configuration "
                                     'token="T-VEConf-stream2"><tt:RateControl><tt:FrameRateLimit>'
                                     "15</tt:FrameRateLimit></tt:RateControl></trt:Configuration>"
                                     "</trt:SetVideoEncoderConfiguration>"),
    "CreateProfile": (MEDIA, "<trt:CreateProfile><trt:Name>mine</trt:Name><trt:Token>mine"
                      "</trt:Token></trt:CreateProfile>"),
}

ALLOWED = [("user", op) for op in ("GetDeviceInformation", "GetProfiles", "GetStreamUri",
                                   "CreatePullPointSubscription", "PullMessages")]
ALLOWED += [("operator", "CreateProfile"), ("operator", "SetVideoEncoderConfiguration")]
REFUSED = [("user", op) for op in ("SetHostname", "SetDNS", "SetNetworkInterfaces",
                                   "SystemReboot", "SetSystemFactoryDefault", "CreateUsers",
                                   "GetUsers", "SetVideoEncoderConfiguration")]
REFUSED += [("operator", "SystemReboot"), ("operator", "SetHostname")]


CLIENT = "127.0.0.1"


class ServerMode:
    def __init__(self, *args):
        self.nvtd = start_server(PORT, *args)

    def send(self, uri, body, client=CLIENT):
        if client == CLIENT:
            return http_exchange(PORT, soap_post(body.encode(), uri=uri)).decode(errors="replace")
        with socket.create_connection(("127.0.0.1", PORT), timeout=15,
                                      source_address=(client, 0)) as s:
            s.sendall(soap_post(body.encode(), uri=uri))
            chunks = []
            while chunk := s.recv(65536):
                chunks.append(chunk)
        return b"".join(chunks).decode(errors="replace")

    def stop(self):
        self.nvtd.stop()


class RelayMode:
    def __init__(self, *args):
        self.nvtd, self.fd = start_persistent(*args)
        self.pid = 41000

    def send(self, uri, body, client=CLIENT):
        self.pid += 1
        data = body.encode()
        env = ["REQUEST_METHOD=POST", "REQUEST_URI=" + uri, "CONTENT_LENGTH=%d" % len(data),
               "CONTENT_TYPE=application/soap+xml; charset=utf-8", "REMOTE_ADDR=" + client]
        return relay_request(self.fd, self.pid, data, env).decode(errors="replace")

    def stop(self):
        os.close(self.fd)
        self.nvtd.stop()


class CgiMode:
    """A CGI program takes no options: the window is always the default."""

    def send(self, uri, body, client=CLIENT):
        data = body.encode()
        env = {"PATH": os.environ["PATH"], "REQUEST_METHOD": "POST", "REQUEST_URI": uri,
               "CONTENT_LENGTH": str(len(data)), "REMOTE_ADDR": client,
               "CONTENT_TYPE": "application/soap+xml; charset=utf-8"}
        out = subprocess.run(program("nvtd", "nvtd"), input=data, env=env, capture_output=True,
                             timeout=60)
        return out.stdout.decode(errors="replace")

    def stop(self):
        pass


MODES = {"server": ServerMode, "relay": RelayMode, "cgi": CgiMode}


@pytest.fixture(scope="module", autouse=True)
def accounts():
    lines = []
    for level, (name, password) in ACCOUNTS.items():
        out = subprocess.run(program("nvtd", "nvtd") + ["useradd", name, password, level],
                             capture_output=True, text=True, timeout=10, check=True)
        lines.append(out.stdout)
    os.makedirs("/etc/nvtd", exist_ok=True)
    with open("/etc/nvtd/users", "w") as f:
        f.write("".join(lines))


@pytest.fixture(params=sorted(MODES))
def mode(request):
    m = MODES[request.param]()
    yield m
    m.stop()


def call(mode, level, operation, header=None, client=CLIENT):
    uri, body = OPERATIONS[operation]
    if header is None:
        header = security(*ACCOUNTS[level])
    return mode.send(uri, envelope(body, header), client)


def failed(answer):
    return "400 Bad Request" in answer and "wsse:FailedAuthentication" in answer


def refused(answer):
    return "ter:NotAuthorized" in answer or "FailedAuthentication" in answer


def snapshot(settings):
    files = {}
    for path in WATCHED:
        with open(path, "rb") as f:
            files[path] = f.read()
    sets = [e for e in settings.exchanges() if e.get("cmd") in (101, 103)]
    return files, len(sets), len(fake_calls())


def test_levels_decide_what_an_account_may_call(mode, settings_server):
    for level, operation in ALLOWED:
        answer = call(mode, level, operation)
        assert not refused(answer), (level, operation, answer[:300])
        # Outside server mode there is no connection to hold a pull on: no answer comes.
        if isinstance(mode, ServerMode) or operation != "PullMessages":
            assert "Response>" in answer, (level, operation, answer[:300])
    before = snapshot(settings_server)
    for level, operation in REFUSED:
        answer = call(mode, level, operation)
        assert "400 Bad Request" in answer and "ter:NotAuthorized" in answer, (level, operation)
        assert "Response>" not in answer, (level, operation)
    assert snapshot(settings_server) == before
    answer = call(mode, "administrator", "GetUsers")
    assert "<tds:GetUsersResponse>" in answer and "intruder" not in answer


def test_a_token_counts_once_and_only_near_the_camera_clock(mode):
    user = ACCOUNTS["user"]
    once = security(*user)
    assert "GetDeviceInformationResponse" in call(mode, "user", "GetDeviceInformation", once)
    # The same token again: refused from another address; from the same one it passes
    # within a second of its first use (clients that send one token twice at once), and is
    # refused after that.
    assert failed(call(mode, "user", "GetDeviceInformation", once, client="127.0.0.2"))
    assert "GetDeviceInformationResponse" in call(mode, "user", "GetDeviceInformation", once)
    time.sleep(1.2)
    cases = [(once, False), (security(*user, created=utc_text(-360)), False),
             (security(*user, created=utc_text(360)), False),
             (security(*user, created=utc_text(-240)), True),
             (security(*user, created=utc_text(240)), True),
             (security(*user, created=" %s\n" % utc_text()), True),
             (security(*user, created=zoned_now(14 * 60)), True),
             (security(*user, created=zoned_now(-14 * 60)), True),
             (security(*user, created=zoned_now(14 * 60 + 1)), False),  # no such zone
             (security(*user, created="not a time"), False),
             (security(*user, created="2026-12-07T10:00:00"), False)]
    for header, passes in cases:
        answer = call(mode, "user", "GetDeviceInformation", header)
        if passes:
            assert "GetDeviceInformationResponse" in answer, header
        else:
            assert failed(answer), header


def zoned_now(minutes):
    """The camera's time now, written in the zone that many minutes east of UTC."""
    at = datetime.datetime.now(datetime.timezone.utc) + datetime.timedelta(minutes=minutes)
    sign = "+" if minutes >= 0 else "-"
    return at.strftime("%Y-%m-%dT%H:%M:%S") + "%s%02d:%02d" % (sign, abs(minutes) // 60,
                                                               abs(minutes) % 60)


def respelled(header, spelling):
    """The header with its nonce written another way (the digest left as it is)."""
    nonce = re.search(r"<wsse:Nonce>([^<]*)</wsse:Nonce>", header).group(1)
    return header.replace(nonce, spelling(nonce))


SPELLINGS = [lambda n: n + "=", lambda n: n + "==", lambda n: n + "!", lambda n: n + " A",
             lambda n: n.rstrip("=") + "~1", lambda n: n.rstrip("="), lambda n: " " + n]


def test_a_captured_token_does_not_pass_under_another_spelling(mode):
    # A 16-byte nonce: one "=" of padding, as most clients send it.
    header = security(*ACCOUNTS["administrator"], nonce=os.urandom(16))
    assert "<tds:GetUsersResponse>" in call(mode, "administrator", "GetUsers", header)
    time.sleep(1.2)  # past the second in which the same client may send it again
    for spelling in SPELLINGS:
        variant = respelled(header, spelling)
        assert failed(call(mode, "administrator", "SetHostname", variant)), variant
    assert snapshot_hostname() != "taken"
    # Canonical Base64 other than the usual: a 15-byte nonce, no padding, passes once.
    fresh = security(*ACCOUNTS["administrator"], nonce=os.urandom(15))
    assert "<tds:GetUsersResponse>" in call(mode, "administrator", "GetUsers", fresh)


def snapshot_hostname():
    with open("/etc/hostname") as f:
        return f.read().strip()


@pytest.mark.parametrize("kind", ["server", "relay"])
def test_window_zero_is_the_old_behaviour(kind):
    m = MODES[kind]("--token-window", "0")
    try:
        user = ACCOUNTS["user"]
        stale = security(*user, created="2001-01-01T00:00:00Z")
        for header in (stale, stale, security(*user, created="not a time")):
            assert "GetDeviceInformationResponse" in call(m, "user", "GetDeviceInformation",
                                                          header)
    finally:
        m.stop()


def sanitized(pid):
    """AddressSanitizer keeps freed memory in quarantine: resident size says nothing there."""
    with open("/proc/%d/maps" % pid) as f:
        return "libasan" in f.read()


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def test_a_flood_of_fresh_tokens_locks_no_one_out(record_property):
    # A user account sends 10,000 fresh tokens at the window's far edge for operations it may
    # not call (refused without touching anything: none is remembered), then 9,000 more for
    # one it may call, more than an 8,192-place table held; administrators and the user itself
    # still get in.
    m = ServerMode()
    try:
        pid = m.nvtd.proc.pid
        viewer, edge = ACCOUNTS["user"], lambda: utc_text(299)
        call(m, "user", "GetDeviceInformation")
        before = resident_kib(pid)
        refused = [call(m, "user", "SetHostname", security(*viewer, created=edge()))
                   for _ in range(10000)]
        assert sum("ter:NotAuthorized" in a for a in refused) == 10000
        served = [call(m, "user", "GetDeviceInformation", security(*viewer, created=edge()))
                  for _ in range(9000)]
        after = resident_kib(pid)
        record_property("rss_kib_before_after", "%d %d" % (before, after))
        print("nvtd resident: %d KiB before, %d KiB after 9,000 tokens" % (before, after))
        assert sum("GetDeviceInformationResponse" in a for a in served) == 9000
        assert "<tds:GetUsersResponse>" in call(m, "administrator", "GetUsers")
        assert "GetDeviceInformationResponse" in call(m, "user", "GetDeviceInformation")
        if not sanitized(pid):
            # The whole table is 2 MiB and 6 KiB; nothing else grows with the tokens.
            assert after - before < 2560
        assert "token memory full" not in m.nvtd.out()
    finally:
        m.stop()


def user_entry(name, level, password=None):
    secret = "<tt:Password>%s</tt:Password>" % password if password is not None else ""
    return ("<tds:User><tt:Username>%s</tt:Username>%s<tt:UserLevel>%s</tt:UserLevel>"
            "</tds:User>" % (name, secret, level))


def test_accounts_made_through_onvif_log_in_at_once(mode, tmp_path):
    """CreateUsers, SetUser and DeleteUsers change the accounts authentication uses, in this
    mode's process and in another (a CGI process), and GetUsers lists them."""
    def admin(body, via=mode):
        return via.send(DEVICE, envelope(body, security(*ACCOUNTS["administrator"])))

    def as_newop(password):
        return mode.send(DEVICE, envelope("<tds:GetDeviceInformation/>",
                                          security("newop", password)))

    answers = [admin("<tds:CreateUsers>%s</tds:CreateUsers>"
                     % user_entry("newop", "Operator", "n-pass&amp;1"))]
    assert "<tds:CreateUsersResponse>" in answers[-1], answers[-1][:400]
    assert "GetDeviceInformationResponse" in as_newop("n-pass&1")
    answers.append(admin("<tds:GetUsers/>"))
    listed = re.findall(r"<tt:Username>([^<]*)</tt:Username><tt:UserLevel>([^<]*)<", answers[-1])
    assert sorted(listed) == [("boss", "Administrator"), ("newop", "Operator"), ("op", "Operator"),
                              ("viewer", "User")], answers[-1][:600]
    assert "Password" not in answers[-1]
    # Another process changes the password: the old one is refused, the new one accepted.
    answers.append(admin("<tds:SetUser>%s</tds:SetUser>"
                         % user_entry("newop", "Operator", "n-pass2"), via=CgiMode()))
    assert "<tds:SetUserResponse>" in answers[-1]
    assert "wsse:FailedAuthentication" in as_newop("n-pass&1")
    assert "GetDeviceInformationResponse" in as_newop("n-pass2")
    answers.append(admin("<tds:DeleteUsers><tds:Username>newop</tds:Username></tds:DeleteUsers>"))
    assert "<tds:DeleteUsersResponse>" in answers[-1]
    assert "wsse:FailedAuthentication" in as_newop("n-pass2")
    # What the users file cannot hold, and the last administrator, are refused by name.
    refusals = [("<tds:CreateUsers>%s</tds:CreateUsers>" % user_entry("a:b", "User", "pw"),
                 "ter:InvalidArgVal"),
                ("<tds:CreateUsers>%s</tds:CreateUsers>" % user_entry("x" * 12, "User", "pw"),
                 "ter:UsernameTooLong"),
                ("<tds:SetUser>%s</tds:SetUser>" % user_entry("boss", "User"), "ter:FixedUser"),
                ("<tds:DeleteUsers><tds:Username>boss</tds:Username></tds:DeleteUsers>",
                 "ter:FixedUser")]
    for body, subcode in refusals:
        answers.append(admin(body))
        assert subcode in answers[-1] and "Response>" not in answers[-1], (body, answers[-1])
    assert "GetDeviceInformationResponse" in call(mode, "administrator", "GetDeviceInformation")
    validate(tmp_path, *answers)


def unprivileged_client(*args, timeout=60):
    """lib/token_client.py run as nobody (a LAN client with no rights on the camera)."""
    with open(CLIENT_SCRIPT) as script:
        return subprocess.run(NOBODY + ["/usr/bin/python3", "-"] + list(args), stdin=script,
                              capture_output=True, text=True, timeout=timeout, check=True).stdout


def attacker_send(mode, uri, body, client):
    """Another LAN client's request: in server mode sent by an unprivileged process; in the
    relay and CGI modes the web server hands it on, as it does every remote client's."""
    if not isinstance(mode, ServerMode):
        return mode.send(uri, body, client)
    raw = base64.b64encode(soap_post(body.encode(), uri=uri)).decode()
    answer = unprivileged_client("exchange", "127.0.0.1", str(PORT), client, raw)
    return base64.b64decode(answer).decode(errors="replace")


def test_a_token_belongs_to_its_account(mode):
    # A user-level account on another host sees an administrator's nonce and Created and sends
    # them first, with a digest of its own password: the administrator's token passes once.
    nonce, created = os.urandom(16), utc_text()
    stolen = security(*ACCOUNTS["user"], created=created, nonce=nonce)
    uri, body = OPERATIONS["GetDeviceInformation"]
    first = attacker_send(mode, uri, envelope(body, stolen), client="127.0.0.2")
    assert "GetDeviceInformationResponse" in first, first[:300]
    own = security(*ACCOUNTS["administrator"], created=created, nonce=nonce)
    assert "<tds:GetUsersResponse>" in call(mode, "administrator", "GetUsers", own)
    assert failed(call(mode, "administrator", "SetHostname", own))


def hostname_body(name):
    return "<tds:SetHostname><tds:Name>%s</tds:Name></tds:SetHostname>" % name


def test_a_token_changes_state_once(mode):
    admin = ACCOUNTS["administrator"]
    header = security(*admin)
    answers = [mode.send(DEVICE, envelope(hostname_body("first-name"), header))]
    assert "SetHostnameResponse" in answers[0], answers[0][:300]
    # At once, from the same address: the same request, the same token on another name.
    answers += [mode.send(DEVICE, envelope(hostname_body(name), header))
                for name in ("first-name", "second-name")]
    # A reading request's header, sent again at once on SetHostname.
    read = security(*admin)
    assert "GetDeviceInformationResponse" in call(mode, "administrator", "GetDeviceInformation",
                                                  read)
    answers.append(mode.send(DEVICE, envelope(hostname_body("third-name"), read)))
    assert [failed(a) for a in answers] == [False, True, True, True]
    assert snapshot_hostname() == "first-name"
    # A reading request may come again at once (clients that send one token twice).
    assert "GetDeviceInformationResponse" in call(mode, "administrator", "GetDeviceInformation",
                                                  read)


def without_nonce(user, password):
    """A header whose Nonce is empty, with the right digest over Created and the password."""
    created = utc_text()
    digest = base64.b64encode(hashlib.sha1((created + password).encode()).digest()).decode()
    header = re.sub(r"<wsse:Nonce>[^<]*</wsse:Nonce>", "<wsse:Nonce></wsse:Nonce>",
                    security(user, password, created=created))
    return re.sub(r"(<wsse:Password [^>]*>)[^<]*", lambda m: m.group(1) + digest, header)


def test_an_empty_nonce_is_refused(mode):
    assert failed(call(mode, "user", "GetDeviceInformation", without_nonce(*ACCOUNTS["user"])))


class ConsoleLines:
    """syslog's lines while in use. Without a syslog daemon each message opens /dev/console
    anew and writes at its start, so the sandbox's console file keeps only the last: a FIFO
    bound over /dev/console (in the sandbox's mount namespace) is read by a thread instead."""

    def __enter__(self):
        self.path, self.text, self.done = "/run/console.fifo", b"", threading.Event()
        os.mkfifo(self.path, 0o600)
        self.fd = os.open(self.path, os.O_RDONLY | os.O_NONBLOCK)
        self.keep = os.open(self.path, os.O_WRONLY)  # no end of file between writers
        subprocess.run(["mount", "--bind", self.path, "/dev/console"], check=True, timeout=10)
        self.thread = threading.Thread(target=self._read)
        self.thread.start()
        return self

    def _read(self):
        while not self.done.is_set():
            if select.select([self.fd], [], [], 0.1)[0]:
                self.text += os.read(self.fd, 65536)

    def lines(self, text):
        return [line for line in self.text.decode(errors="replace").splitlines() if text in line]

    def __exit__(self, *exc):
        subprocess.run(["umount", "/dev/console"], check=True, timeout=10)
        self.done.set()
        self.thread.join(timeout=10)
        try:
            while chunk := os.read(self.fd, 65536):
                self.text += chunk
        except BlockingIOError:
            pass
        os.close(self.keep)
        os.close(self.fd)
        os.unlink(self.path)


@pytest.mark.parametrize("kind", ["server", "cgi"])
def test_a_flood_of_refused_tokens_logs_a_line_a_second(kind):
    # 256 accounts each hold a token: the memory keeps counts for no more accounts, so every
    # token of one more (user-level) account is refused as by a full memory. That account
    # floods for 3 s; its refusals are logged at most once a second, with the count left out.
    fillers = ["fill%03d" % i for i in range(256)]
    with open(USERS) as f:
        saved = f.read()
    with open(USERS, "a") as f:
        f.write("".join("%s:user:pw-%s:\n" % (n, n) for n in fillers + ["flooder"]))
    m = MODES[kind]()
    try:
        for n in fillers:
            call(m, "user", "GetDeviceInformation", security(n, "pw-" + n))
        out_at = len(m.nvtd.out()) if kind == "server" else 0
        seconds = 3.0
        with ConsoleLines() as console:
            flood = run_flood(m, kind, seconds)
        print("flood:", flood)
        assert flood["refused"] == flood["sent"] > 10
        logs = [console.lines("token of flooder")]
        if kind == "server":
            logs.append(m.nvtd.out()[out_at:].splitlines())
        for lines in logs:
            lines = [line for line in lines if "token memory full: token of flooder" in line]
            assert 1 <= len(lines) <= seconds + 2, lines[:10]
            assert all("more like this left out" in line for line in lines[1:]), lines
    finally:
        m.stop()
        with open(USERS, "w") as f:
            f.write(saved)


def run_flood(m, kind, seconds):
    """Fresh tokens of the flooding account for seconds: by an unprivileged LAN client in
    server mode, through the web server's CGI runs in CGI mode."""
    if kind == "server":
        return json.loads(unprivileged_client("flood", "127.0.0.1", str(PORT), "flooder",
                                              "pw-flooder", str(seconds), "30000"))
    flood, end = {"sent": 0, "refused": 0}, time.monotonic() + seconds
    while time.monotonic() < end and flood["sent"] < 3000:
        answer = call(m, "user", "GetDeviceInformation", security("flooder", "pw-flooder"))
        flood["sent"] += 1
        flood["refused"] += failed(answer)
    return flood
