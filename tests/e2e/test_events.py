# ctest-labels: tsan
"""The event service of nvtd in server mode, driven from the LAN namespace: camera states
written into /run/camera-state by a shell command reach pull points and push consumers as
Initialized then Changed messages, queued per subscription; termination times, filters,
ownership and the third-party client's view."""
import ctypes
import io
import json
import os
import re
import shutil
import socket
import subprocess
import threading
import time
import xml.etree.ElementTree as ET
from datetime import datetime, timedelta, timezone
from http.server import BaseHTTPRequestHandler, HTTPServer

import pytest

from camera import EMULATOR, in_lan, program, wait_for, write_accounts, SOURCE_DIR
from onvif_client import onvif_library
from onvif_soap import security

PORT = 8090
CAMERA = "10.99.0.2"
LAN = "10.99.0.1"
STATES = "/run/camera-state"
# The ONVIF schema check lives beside the source tree (in ../shared/tools of a checkout).
VALIDATE = next((path for path in (
    os.environ.get("ONVIF_VALIDATE", ""),
    os.path.join(SOURCE_DIR, "..", "shared", "tools", "onvif-validate"),
    os.path.join(SOURCE_DIR, "..", "..", "shared", "tools", "onvif-validate"))
    if path and os.path.exists(path)), None)

EVENTS_WSDL = "http://www.onvif.org/ver10/events/wsdl"
WSNT = "http://docs.oasis-open.org/wsn/b-2"
TDS = "http://www.onvif.org/ver10/device/wsdl"
TT = "http://www.onvif.org/ver10/schema"
TOPICS = "http://www.onvif.org/ver10/topics"
CONCRETE_SET = "http://www.onvif.org/ver10/tev/topicExpression/ConcreteSet"
CONCRETE = "http://docs.oasis-open.org/wsn/t-1/TopicExpression/Concrete"
ALARM = "tns1:VideoSource/MotionAlarm"
CELL = "tns1:RuleEngine/CellMotionDetector/Motion"
INVALID_THING = "<SOAP-ENV:Value>ter:InvalidThing</SOAP-ENV:Value>"
# How soon a state must arrive; the emulated camera build is given more.
WITHIN = 5.0 if EMULATOR else 1.0


def set_state(name, value):
    """The README's one-line shell command: a temporary file renamed over the state."""
    subprocess.run(["sh", "-c", 'printf "%s\\n" "$2" > "$1/.$0.tmp" && mv "$1/.$0.tmp" "$1/$0"',
                    name, STATES, value], check=True, timeout=10)


_libc = ctypes.CDLL(None, use_errno=True)


def lan(make):
    """Runs make() on a thread that joined the LAN namespace: its sockets stay there."""
    result = {}

    def run():
        fd = os.open("/run/netns/lan", os.O_RDONLY)
        try:
            if _libc.setns(fd, 0x40000000) != 0:  # CLONE_NEWNET
                raise OSError(ctypes.get_errno(), "setns")
            result["value"] = make()
        except Exception as e:  # handed to the caller
            result["error"] = e
        finally:
            os.close(fd)
    thread = threading.Thread(target=run)
    thread.start()
    thread.join()
    if "error" in result:
        raise result["error"]
    return result["value"]


class Nvtd:
    """nvtd --port PORT (--noauth unless accounts are given), standard output in a file."""

    def __init__(self, tmp_path, accounts=()):
        self.log_path = tmp_path / "nvtd.log"
        self.err_path = tmp_path / "nvtd.err"
        shutil.rmtree(STATES, ignore_errors=True)
        os.makedirs(STATES, mode=0o755)
        settingsd = os.path.join(SOURCE_DIR, "testbed", "settingsd", "settingsd.py")
        self.settingsd = subprocess.Popen(
            ["/usr/bin/python3", settingsd, "--state", str(tmp_path / "settings")],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if accounts:
            write_accounts(*accounts)
        self.out = open(self.log_path, "w")
        self.err = open(self.err_path, "w")
        env = dict(os.environ)
        env["ASAN_OPTIONS"] = ":".join(
            filter(None, [env.get("ASAN_OPTIONS"), "verify_asan_link_order=0"]))
        self.proc = subprocess.Popen(
            ["stdbuf", "-oL"] + program("nvtd", "nvtd") + ["--port", str(PORT)]
            + ([] if accounts else ["--noauth"]), stdout=self.out, stderr=self.err, env=env)
        assert wait_for(self.listening, timeout=20), "nvtd does not listen on %d" % PORT

    @staticmethod
    def listening():
        try:
            socket.create_connection(("127.0.0.1", PORT), timeout=1).close()
            return True
        except OSError:
            return False

    def log(self):
        with open(self.log_path) as f:
            return f.read()

    def delivery_thread(self):
        """Whether the process has its event delivery thread (named "nvtd-events")."""
        names = []
        for task in os.listdir("/proc/%d/task" % self.proc.pid):
            try:
                with open("/proc/%d/task/%s/comm" % (self.proc.pid, task)) as f:
                    names.append(f.read().strip())
            except OSError:
                pass
        return "nvtd-events" in names

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.settingsd.terminate()
        self.settingsd.wait()
        self.out.close()
        self.err.close()
        with open(self.err_path) as f:
            errors = f.read()
        assert "ThreadSanitizer" not in errors, errors
        assert "AddressSanitizer" not in errors, errors


@pytest.fixture
def nvtd(tmp_path):
    server = Nvtd(tmp_path)
    yield server
    server.stop()


def envelope(body, header=""):
    return ('<?xml version="1.0" encoding="UTF-8"?>'
            '<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" '
            'xmlns:a="http://www.w3.org/2005/08/addressing" xmlns:tev="%s" xmlns:wsnt="%s" '
            'xmlns:tds="%s" xmlns:tns1="%s">'
            '<s:Header>%s</s:Header><s:Body>%s</s:Body></s:Envelope>'
            % (EVENTS_WSDL, WSNT, TDS, TOPICS, header, body))


def send(body, action, path="/onvif/events_service"):
    """Sends one request from the LAN; returns the connected socket."""
    data = body.encode()
    head = ("POST %s HTTP/1.1\r\nHost: %s\r\nContent-Length: %d\r\n"
            "Content-Type: application/soap+xml; charset=utf-8; action=\"%s\"\r\n\r\n"
            % (path, CAMERA, len(data), action))
    s = lan(lambda: socket.create_connection((CAMERA, PORT), timeout=10))
    s.sendall(head.encode() + data)
    return s


def read_answer(s, timeout=10):
    """One HTTP answer: (head, body) read by its Content-Length, whose value must match."""
    s.settimeout(timeout)
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = s.recv(65536)
        assert chunk, "connection closed before an answer: %r" % data
        data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    length = int(re.search(rb"Content-Length: (\d+)", head).group(1))
    while len(body) < length:
        chunk = s.recv(65536)
        assert chunk, "answer shorter than its Content-Length"
        body += chunk
    assert len(body) == length, "bytes beyond the Content-Length"
    return head.decode(), body.decode()


def call(body, action, header="", **kw):
    with send(envelope(body, header), action, **kw) as s:
        return read_answer(s)[1]


def filter_element(expression, dialect=CONCRETE_SET):
    return ('<tev:Filter><wsnt:TopicExpression Dialect="%s">%s</wsnt:TopicExpression>'
            '</tev:Filter>' % (dialect, expression))


def create_pull_point(termination=None, expression=None, header="", **kw):
    inner = ("<tev:InitialTerminationTime>%s</tev:InitialTerminationTime>" % termination
             if termination is not None else "")
    inner = (filter_element(*expression) if expression else "") + inner
    answer = call("<tev:CreatePullPointSubscription>%s</tev:CreatePullPointSubscription>" % inner,
                  EVENTS_WSDL + "/EventPortType/CreatePullPointSubscriptionRequest",
                  "<a:MessageID>urn:uuid:create</a:MessageID>" + header, **kw)
    found = re.search(r"<dom0:SubscriptionId [^>]*>(\d+)<", answer)
    return (int(found.group(1)) if found else None), answer


def sid_header(sid):
    return "<SubscriptionId>%s</SubscriptionId>" % sid


def pull(sid, timeout="PT5S", limit=10, header=""):
    body = ("<tev:PullMessages><tev:Timeout>%s</tev:Timeout><tev:MessageLimit>%d"
            "</tev:MessageLimit></tev:PullMessages>" % (timeout, limit))
    return send(envelope(body, sid_header(sid) + "<a:MessageID>urn:uuid:pull</a:MessageID>"
                         + header), EVENTS_WSDL + "/PullPointSubscription/PullMessagesRequest")


def pulled(sid, **kw):
    with pull(sid, **kw) as s:
        return read_answer(s, timeout=90)[1]


def unsubscribe(sid, header=""):
    return call("<wsnt:Unsubscribe/>", WSNT + "/SubscriptionManager/UnsubscribeRequest",
                sid_header(sid) + header)


def renew(sid, termination):
    return call("<wsnt:Renew><wsnt:TerminationTime>%s</wsnt:TerminationTime></wsnt:Renew>"
                % termination, WSNT + "/SubscriptionManager/RenewRequest", sid_header(sid))


def stamp(answer, name):
    text = re.search(r"<[a-z]+:%s>([^<]*)<" % name, answer).group(1)
    return datetime.strptime(text, "%Y-%m-%dT%H:%M:%SZ").replace(tzinfo=timezone.utc)


def span(answer):
    return int((stamp(answer, "TerminationTime") - stamp(answer, "CurrentTime")).total_seconds())


def messages(answer):
    """(topic, operation, data item name, value) of each notification, in order."""
    root = ET.fromstring(answer.encode())
    found = []
    for note in root.iter("{%s}NotificationMessage" % WSNT):
        topic = note.find("{%s}Topic" % WSNT).text
        message = note.find(".//{%s}Message" % TT)
        item = message.find("{%s}Data/{%s}SimpleItem" % (TT, TT))
        found.append((topic, message.get("PropertyOperation"), item.get("Name"),
                      item.get("Value")))
    return found


def validate(tmp_path, *answers):
    """Every answer passes the ONVIF schema check."""
    if VALIDATE is None:
        pytest.skip("onvif-validate not found beside the source tree (set ONVIF_VALIDATE)")
    files = []
    for n, answer in enumerate(answers):
        path = tmp_path / ("answer-%d.xml" % n)
        path.write_text(answer)
        files.append(str(path))
    run = subprocess.run([VALIDATE] + files, capture_output=True, text=True, timeout=300)
    assert run.returncode == 0, run.stdout + run.stderr


class Consumer:
    """An HTTP consumer of Notify messages listening on the LAN side."""

    def __init__(self):
        self.posts = []
        consumer = self

        class Handler(BaseHTTPRequestHandler):
            def do_POST(self):
                length = int(self.headers.get("Content-Length", 0))
                body = self.rfile.read(length).decode()
                consumer.posts.append((time.monotonic(), self.path, body))
                self.send_response(200)
                self.send_header("Content-Length", "0")
                self.end_headers()

            def log_message(self, *args):
                pass

        self.server = lan(lambda: HTTPServer((LAN, 0), Handler))
        self.port = self.server.server_address[1]
        self.address = "http://%s:%d/onvif/notify" % (LAN, self.port)
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def messages(self):
        return [m for _, _, body in self.posts for m in messages(body)]

    def close(self):
        self.server.shutdown()
        self.server.server_close()


def subscribe(address, termination="PT60S", expression=None):
    body = ("<wsnt:Subscribe><wsnt:ConsumerReference><a:Address>%s</a:Address>"
            "</wsnt:ConsumerReference>%s<wsnt:InitialTerminationTime>%s"
            "</wsnt:InitialTerminationTime></wsnt:Subscribe>"
            % (address, filter_element(*expression).replace("tev:", "wsnt:")
               if expression else "", termination))
    answer = call(body, WSNT + "/NotificationProducer/SubscribeRequest",
                  "<a:MessageID>urn:uuid:sub</a:MessageID>")
    found = re.search(r"<dom0:SubscriptionId [^>]*>(\d+)<", answer)
    return (int(found.group(1)) if found else None), answer


def test_a_state_reaches_a_waiting_pull_point_and_a_push_consumer(nvtd, tmp_path):
    consumer = Consumer()
    try:
        sid, created = create_pull_point("PT60S")
        first = pulled(sid)
        assert messages(first) == [(ALARM, "Initialized", "State", "false"),
                                   (CELL, "Initialized", "IsMotion", "false")]
        _, subscribed = subscribe(consumer.address, expression=(ALARM,))
        assert wait_for(lambda: consumer.posts, timeout=10)
        assert consumer.messages() == [(ALARM, "Initialized", "State", "false")]
        with pull(sid, "PT20S") as waiting:
            time.sleep(0.3)  # the request reaches its slot
            raised = time.monotonic()
            set_state("motion", "true")
            head, changed = read_answer(waiting, timeout=30)
            pulled_after = time.monotonic() - raised
        assert messages(changed) == [(ALARM, "Changed", "State", "true"),
                                     (CELL, "Changed", "IsMotion", "true")]
        assert wait_for(lambda: len(consumer.posts) == 2, timeout=10)
        pushed_after = consumer.posts[1][0] - raised
        assert consumer.messages()[1] == (ALARM, "Changed", "State", "true")
        assert pulled_after < WITHIN and pushed_after < WITHIN, (pulled_after, pushed_after)
        # The push message has the pull message's shape (the Source item "Source" too).
        assert '<tt:SimpleItem Name="Source" Value="HD"/>' in consumer.posts[1][2]
        properties = call("<tev:GetEventProperties/>",
                          EVENTS_WSDL + "/EventPortType/GetEventPropertiesRequest")
        for item in ("Source", "State", "VideoSourceConfigurationToken",
                     "VideoAnalyticsConfigurationToken", "Rule", "IsMotion"):
            assert 'SimpleItemDescription Name="%s"' % item in properties
        validate(tmp_path, created, first, subscribed, changed, consumer.posts[1][2], properties)
    finally:
        consumer.close()


def test_changes_between_pulls_queue_in_order_and_silence_waits_the_timeout(nvtd, tmp_path):
    sid, _ = create_pull_point("PT60S", (ALARM,))
    # A state file holds the latest value only: each change is seen before the next is made.
    set_state("motion", "true")
    assert wait_for(lambda: "state motion = true" in nvtd.log(), timeout=10)
    set_state("motion", "false")
    assert wait_for(lambda: "state motion = false" in nvtd.log(), timeout=10)
    got = pulled(sid, limit=2)
    assert messages(got) == [(ALARM, "Initialized", "State", "false"),
                             (ALARM, "Changed", "State", "true")]
    assert messages(pulled(sid)) == [(ALARM, "Changed", "State", "false")]
    start = time.monotonic()
    empty = pulled(sid, timeout="PT3S")
    waited = time.monotonic() - start
    assert messages(empty) == [] and "<tev:PullMessagesResponse>" in empty
    assert waited >= 2.9, "answered empty before its Timeout"
    # A synchronization point sends each property's current state again.
    sync = call("<tev:SetSynchronizationPoint/>",
                EVENTS_WSDL + "/PullPointSubscription/SetSynchronizationPointRequest",
                sid_header(sid))
    assert messages(pulled(sid)) == [(ALARM, "Initialized", "State", "false")]
    validate(tmp_path, got, empty, sync)


@pytest.mark.parametrize("expression,expected", [
    ((ALARM,), [ALARM]),
    ((CELL, CONCRETE), [CELL]),
    ((ALARM + "|tns1:RuleEngine//.",), [ALARM, CELL]),
    (("tns1:RuleEngine//.",), [CELL]),
    (None, [ALARM, CELL]),
    (("tns1:Device/Trigger/DigitalInput",), "TopicNotSupportedFault"),
    ((ALARM, "http://example.com/dialect"), "TopicExpressionDialectUnknownFault"),
])
def test_topic_filters(nvtd, expression, expected):
    sid, answer = create_pull_point("PT60S", expression)
    if isinstance(expected, str):
        assert sid is None and "<wsnt:%s>" % expected in answer
        return
    assert [m[0] for m in messages(pulled(sid))] == expected


def test_a_dead_push_consumer_does_not_delay_a_live_one(nvtd):
    live = Consumer()
    try:
        # Nobody answers at this LAN address: each connection waits out its limit.
        subscribe("http://10.99.0.77:8080/onvif/notify", expression=(ALARM,))
        subscribe(live.address, expression=(ALARM,))
        assert wait_for(lambda: live.posts, timeout=10)
        raised = time.monotonic()
        set_state("motion", "true")
        assert wait_for(lambda: len(live.posts) == 2, timeout=10)
        assert live.posts[1][0] - raised < WITHIN
        # The request thread is not held up either.
        start = time.monotonic()
        assert create_pull_point()[0] is not None
        assert time.monotonic() - start < WITHIN
    finally:
        live.close()


@pytest.mark.parametrize("termination,seconds", [
    ("PT30S", 30), ("PT2M", 120), (None, 60), ("PT1H", 600), ("P1D", 600),
    ("PT2147483647S", 600), ("absolute+02:00", 120), ("PT1X", None), ("PT0S", None)])
def test_initial_termination_times(nvtd, termination, seconds):
    if termination == "absolute+02:00":
        at = datetime.now(timezone(timedelta(hours=2))) + timedelta(seconds=120)
        termination = at.strftime("%Y-%m-%dT%H:%M:%S+02:00")
    sid, answer = create_pull_point(termination)
    if seconds is None:
        assert sid is None and "UnacceptableInitialTerminationTimeFault" in answer
        return
    assert abs(span(answer) - seconds) <= 1
    assert stamp(answer, "CurrentTime") and answer.count("Z</wsnt:") == 2


def test_renewals_full_table_and_capabilities(nvtd, tmp_path):
    consumer = Consumer()
    try:
        sid, _ = create_pull_point("PT10S")
        push, _ = subscribe(consumer.address, "PT10S")
        for target in (sid, push):
            answer = renew(target, "PT90S")
            assert span(answer) == 90
        absolute = (datetime.now(timezone.utc) + timedelta(seconds=200)).strftime(
            "%Y-%m-%dT%H:%M:%SZ")
        renewed = renew(sid, absolute)
        assert abs(span(renewed) - 200) <= 1
        while create_pull_point("PT2S")[0] is not None:
            pass
        sid, full = create_pull_point()
        assert sid is None and "<wsnt:SubscribeCreationFailedFault>" in full
        assert "SOAP-ENV:Receiver" in full
        time.sleep(3)  # the short ones expire and are reclaimed for the next
        assert create_pull_point()[0] is not None
        capabilities = call("<tev:GetServiceCapabilities/>",
                            EVENTS_WSDL + "/EventPortType/GetServiceCapabilitiesRequest")
        assert 'MaxPullPoints="20"' in capabilities
        faults = [create_pull_point("PT1X")[1], create_pull_point(None, ("tns1:Nothing",))[1],
                  create_pull_point(None, (ALARM, "urn:x"))[1]]
        validate(tmp_path, renewed, full, capabilities, *faults)
    finally:
        consumer.close()


def test_subscriptions_belong_to_their_account(tmp_path):
    accounts = (("ann", "ann-pass", "user"), ("bob", "bob-pass", "user"),
                ("root", "root-pass", "administrator"))
    server = Nvtd(tmp_path, accounts)
    try:
        def token(user):
            return security(user, user + "-pass")[len("<s:Header>"):-len("</s:Header>")]
        taken = [create_pull_point("PT2147483647S", header=token("ann")) for _ in range(6)]
        assert [sid for sid, _ in taken[:5]] == [0, 1, 2, 3, 4]
        assert span(taken[0][1]) == 600
        assert taken[5][0] is None and "SubscribeCreationFailedFault" in taken[5][1]
        admin_sid, _ = create_pull_point(header=token("root"))
        bob_sid, _ = create_pull_point(header=token("bob"))
        assert admin_sid == 5 and bob_sid == 6
        assert "UnsubscribeResponse" not in unsubscribe(admin_sid, token("ann"))
        assert "UnsubscribeResponse" not in unsubscribe(0, token("bob"))
        assert INVALID_THING in pulled(0, header=token("bob"))
        assert messages(pulled(0, header=token("ann")))
        assert "UnsubscribeResponse" in unsubscribe(0, token("root"))
        assert "UnsubscribeResponse" in unsubscribe(bob_sid, token("bob"))
    finally:
        server.stop()


def test_pull_refusals_and_the_thread_life(nvtd):
    sid, _ = create_pull_point("PT60S")
    pulled(sid)  # the Initialized messages
    held = [pull(sid, "PT30S") for _ in range(10)]
    try:
        time.sleep(0.5)  # let the ten requests reach their slots
        assert INVALID_THING in pulled(sid)
        assert INVALID_THING in pulled(7)
    finally:
        for s in held:
            s.close()
    assert wait_for(nvtd.delivery_thread, timeout=5)
    unsubscribe(sid)
    assert "consumer thread done\n" in nvtd.log()
    assert wait_for(lambda: not nvtd.delivery_thread(), timeout=2)


def test_onvif_client_library_pull_point_sees_the_changes(nvtd):
    node_dir = onvif_library()
    proc = subprocess.Popen(in_lan(["node", "pull_point.js", CAMERA, str(PORT)]), cwd=node_dir,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        first = json.loads(proc.stdout.readline())
        assert first["address"] == \
            "http://%s:%d/onvif/events_service/SubscriptionManager=0" % (CAMERA, PORT)
        assert first["topic"] == ALARM
        assert first["operation"] == "Initialized"
        assert first["data"] == {"Name": "State", "Value": False}  # the library reads booleans
        assert first["source"] == {"Name": "Source", "Value": "HD"}
        set_state("motion", "true")
        second = json.loads(proc.stdout.readline())
        assert (second["topic"], second["operation"], second["data"]) == \
            (ALARM, "Changed", {"Name": "State", "Value": True})
        assert proc.wait(timeout=60) == 0, proc.stderr.read()
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
