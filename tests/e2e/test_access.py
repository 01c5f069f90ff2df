"""Who may do what, and tokens that count once, in server, relay and CGI mode: accounts of
the three levels made with `nvtd useradd`, a table of (level, operation, allowed), stale,
malformed and replayed tokens, other spellings of one token, the same token again from the
same address, --token-window 0, a flood of tokens that must not lock others out, and
accounts made, changed and deleted through ONVIF that authentication uses at once."""
import base64
import datetime
import hashlib
import json
import os
import re
import shutil
import subprocess

import pytest

from camera import fake_calls, program, wait_for
from nvtd_relay import http_exchange, relay_request, soap_post, start_persistent, start_server
from onvif_soap import envelope, security, utc_text
from onvif_validate import validate

pytestmark = pytest.mark.usefixtures("settings_server")

PORT = 8090
ACCOUNTS = {"user": ("viewer", "v-pass"), "operator": ("op", "o-pass"),
            "administrator": ("boss", "b-pass")}
USERS = "/etc/nvtd/users"
LIB = os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib")
HELPERS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "testbed", "client")
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
        raw = base64.b64encode(soap_post(body.encode(), uri=uri)).decode()
        answer = unprivileged_client("exchange", str(PORT), client, raw)  # as another host
        return base64.b64decode(answer).decode(errors="replace")

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
    assert wait_for(lambda: failed(call(mode, "user", "GetDeviceInformation", once)), timeout=5)
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
    # Past the second in which the same client may send it again.
    assert wait_for(lambda: failed(call(mode, "administrator", "GetUsers", header)), timeout=5)
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


def unprivileged_client(*args):
    """lib/token_client.py run as nobody (a LAN client with no rights on the camera), with a
    copy of the client helpers it imports where nobody may read them (the tree may sit in a
    home that nobody cannot enter)."""
    helpers = "/tmp/client-helpers"
    if not os.path.isdir(helpers):
        shutil.copytree(HELPERS, helpers, ignore=shutil.ignore_patterns("__pycache__"))
        os.chmod(helpers, 0o755)
    with open(os.path.join(LIB, "token_client.py")) as script:
        return subprocess.run(NOBODY + ["/usr/bin/python3", "-", helpers] + list(args),
                               stdin=script, capture_output=True, text=True, timeout=60,
                               check=True).stdout


def test_tokens_belong_to_their_account_change_state_once_and_need_a_nonce(mode):
    # A user on another host sends an administrator's nonce and Created first: no harm done.
    nonce, created = os.urandom(16), utc_text()
    stolen = security(*ACCOUNTS["user"], created=created, nonce=nonce)
    assert "Response>" in call(mode, "user", "GetDeviceInformation", stolen, client="127.0.0.2")
    own = security(*ACCOUNTS["administrator"], created=created, nonce=nonce)
    assert "<tds:GetUsersResponse>" in call(mode, "administrator", "GetUsers", own)
    # SetHostname twice at once with one token; a reading request's token at once on it.
    answers = [call(mode, "administrator", "SetHostname", own)]
    read = security(*ACCOUNTS["administrator"])
    assert "Response>" in call(mode, "administrator", "GetDeviceInformation", read)
    answers.append(call(mode, "administrator", "SetHostname", read))
    admin = security(*ACCOUNTS["administrator"])
    answers += [call(mode, "administrator", "SetHostname", admin) for _ in range(2)]
    assert [failed(a) for a in answers] == [True, True, False, True]
    created, password = utc_text(), ACCOUNTS["user"][1]  # an empty Nonce, the right digest
    digest = base64.b64encode(hashlib.sha1((created + password).encode()).digest()).decode()
    header = re.sub(r"<wsse:Nonce>[^<]*<", "<wsse:Nonce><",
                    security(*ACCOUNTS["user"], created=created))
    header = re.sub(r"(<wsse:Password [^>]*>)[^<]*", lambda m: m.group(1) + digest, header)
    assert failed(call(mode, "user", "GetDeviceInformation", header))


def test_a_flood_of_refused_tokens_logs_a_line_a_second():
    # 256 accounts hold a token each: the memory counts no more accounts, so every token of
    # one more (user-level) account is refused as by a full memory. It floods for 3 s.
    fillers, saved = ["fill%03d" % i for i in range(256)] + ["flooder"], open(USERS).read()
    with open(USERS, "a") as f:
        f.write("".join("%s:user:pw-%s:\n" % (n, n) for n in fillers))
    m = ServerMode()
    try:
        for n in fillers[:-1]:
            call(m, "user", "GetDeviceInformation", security(n, "pw-" + n))
        flood = json.loads(unprivileged_client("flood", str(PORT), "flooder", "pw-flooder", "3"))
        # None served; an answer other than the refusal (a connection the busy server shut
        # without one) is no admission.
        assert flood["served"] == 0 and flood["refused"] > 30, flood
        assert flood["refused"] >= flood["sent"] - 3, flood
        lines = [line for line in m.nvtd.out().splitlines() if "token of flooder" in line]
        assert 1 <= len(lines) <= 5 and lines[0].startswith("token memory full"), lines[:9]
        assert all(line.endswith("more like this left out)") for line in lines[1:]), lines
    finally:
        m.stop()
        with open(USERS, "w") as f:
            f.write(saved)
