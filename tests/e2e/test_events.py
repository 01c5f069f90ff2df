# ctest-labels: tsan
"""The event service of nvtd in server mode: pull points and their held PullMessages
connections, push subscriptions with a Notify POSTed to a consumer of the test's own,
renewal, expiry and the delivery thread's life."""
import io
import json
import os
import re
import socket
import subprocess
import threading
import time
import xml.etree.ElementTree as ET
from datetime import datetime, timezone
from http.server import BaseHTTPRequestHandler, HTTPServer

import pytest

from camera import program, wait_for, SOURCE_DIR
from onvif_client import onvif_library

PORT = 8090
CAMERA = "10.99.0.2"

EVENTS_WSDL = "http://www.onvif.org/ver10/events/wsdl"
WSNT = "http://docs.oasis-open.org/wsn/b-2"
TDS = "http://www.onvif.org/ver10/device/wsdl"
TT = "http://www.onvif.org/ver10/schema"
TOPICS = "http://www.onvif.org/ver10/topics"
SENDER_EMPTY = '<SOAP-ENV:Value>SOAP-ENV:Sender</SOAP-ENV:Value></SOAP-ENV:Code>' \
    '<SOAP-ENV:Reason><SOAP-ENV:Text xml:lang="en"/>'
INVALID_THING = "<SOAP-ENV:Value>ter:InvalidThing</SOAP-ENV:Value>"


class Nvtd:
    """nvtd --port PORT --noauth with its standard output (line-buffered) in a file."""

    def __init__(self, tmp_path):
        self.log_path = tmp_path / "nvtd.log"
        self.err_path = tmp_path / "nvtd.err"
        settingsd = os.path.join(SOURCE_DIR, "testbed", "settingsd", "settingsd.py")
        self.settingsd = None
        if os.path.exists(settingsd):
            self.settingsd = subprocess.Popen(
                ["/usr/bin/python3", settingsd, "--state", str(tmp_path / "settings")],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.out = open(self.log_path, "w")
        self.err = open(self.err_path, "w")
        env = dict(os.environ)
        # stdbuf preloads its library; the AddressSanitizer build must accept that.
        env["ASAN_OPTIONS"] = ":".join(
            filter(None, [env.get("ASAN_OPTIONS"), "verify_asan_link_order=0"]))
        self.proc = subprocess.Popen(
            ["stdbuf", "-oL"] + program("nvtd", "nvtd") + ["--port", str(PORT), "--noauth"],
            stdout=self.out, stderr=self.err, env=env)
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
        if self.settingsd:
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
            'xmlns:tds="%s">'
            '<s:Header>%s</s:Header><s:Body>%s</s:Body></s:Envelope>'
            % (EVENTS_WSDL, WSNT, TDS, header, body))


def send(body, action, content_type_action=False, path="/onvif/events_service"):
    """Sends one request; returns the connected socket."""
    data = body.encode()
    head = "POST %s HTTP/1.1\r\nHost: %s\r\nContent-Length: %d\r\n" % (
        path, CAMERA, len(data))
    if content_type_action:
        head += 'Content-Type: application/soap+xml; charset=utf-8; action="%s"\r\n' % action
    else:
        head += "Content-Type: application/soap+xml; charset=utf-8\r\n"
        head += 'SOAPAction: "%s"\r\n' % action
    s = socket.create_connection(("127.0.0.1", PORT), timeout=10)
    s.sendall(head.encode() + b"\r\n" + data)
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


def closes(s, timeout):
    """True when the peer closes the connection within timeout without sending more."""
    s.settimeout(timeout)
    try:
        return s.recv(65536) == b""
    except socket.timeout:
        return False


def call(body, action, header="", **kw):
    with send(envelope(body, header), action, **kw) as s:
        return read_answer(s)[1]


def create_pull_point(termination=None, **kw):
    inner = ("<tev:InitialTerminationTime>%s</tev:InitialTerminationTime>" % termination
             if termination is not None else "")
    answer = call("<tev:CreatePullPointSubscription>%s</tev:CreatePullPointSubscription>" % inner,
                  kw.pop("action", EVENTS_WSDL + "/EventPortType/CreatePullPointSubscriptionRequest"),
                  "<a:MessageID>urn:uuid:create</a:MessageID>", **kw)
    found = re.search(r"<dom0:SubscriptionId [^>]*>(\d+)<", answer)
    return (int(found.group(1)) if found else None), answer


def sid_header(sid):
    return "<SubscriptionId>%s</SubscriptionId>" % sid


def pull(sid, timeout="PT5S", message_id="urn:uuid:pull"):
    header = sid_header(sid) + ("<a:MessageID>%s</a:MessageID>" % message_id)
    body = ("<tev:PullMessages><tev:Timeout>%s</tev:Timeout><tev:MessageLimit>5"
            "</tev:MessageLimit></tev:PullMessages>" % timeout)
    return send(envelope(body, header), EVENTS_WSDL + "/PullPointSubscription/PullMessagesRequest")


def unsubscribe(sid, **kw):
    return call("<wsnt:Unsubscribe/>",
                kw.pop("action", WSNT + "/SubscriptionManager/UnsubscribeRequest"),
                sid_header(sid), **kw)


def renew(sid, termination):
    return call("<wsnt:Renew><wsnt:TerminationTime>%s</wsnt:TerminationTime></wsnt:Renew>"
                % termination, WSNT + "/SubscriptionManager/RenewRequest", sid_header(sid))


def stamp(answer, name):
    text = re.search(r"<[a-z]+:%s>([^<]*)<" % name, answer).group(1)
    return datetime.strptime(text, "%Y-%m-%dT%H:%M:%SZ").replace(tzinfo=timezone.utc)


def span(answer):
    return int((stamp(answer, "TerminationTime") - stamp(answer, "CurrentTime")).total_seconds())


def test_pull_point_ids_full_table_and_reuse(nvtd):
    sid, answer = create_pull_point()
    assert sid == 0
    assert "<wsa5:Address>http://%s:%d/onvif/events_service/SubscriptionManager=0</wsa5:Address>" \
        % (CAMERA, PORT) in answer
    assert "<wsa5:MessageID>urn:uuid:create</wsa5:MessageID>" in answer
    # Clients that name the operation bare in the content type are understood too.
    sid, _ = create_pull_point(action=EVENTS_WSDL + "/CreatePullPointSubscription",
                               content_type_action=True)
    assert sid == 1
    for expected in range(2, 20):
        assert create_pull_point()[0] == expected
    sid, answer = create_pull_point()
    assert sid is None and SENDER_EMPTY in answer
    assert "UnsubscribeResponse" in unsubscribe(0, action=WSNT + "/Unsubscribe",
                                                content_type_action=True)
    assert create_pull_point()[0] == 0
    with send(envelope("<wsnt:Unsubscribe/>", sid_header(25)),
              WSNT + "/SubscriptionManager/UnsubscribeRequest") as s:
        head, body = read_answer(s)
    assert head.startswith("HTTP/1.0 400 Bad Request") and SENDER_EMPTY in body


@pytest.mark.parametrize("termination,seconds", [
    ("PT30S", 30), ("PT2M", 120), (None, 60), ("PT1H", -1), ("2040-01-01T00:00:00Z", 60)])
def test_initial_termination_times(nvtd, termination, seconds):
    sid, answer = create_pull_point(termination)
    assert sid == 0
    assert span(answer) == seconds


def test_first_pull_answers_at_once_and_a_second_at_its_timeout(nvtd):
    sid, _ = create_pull_point("PT60S")
    with pull(sid, "PT30S", "urn:uuid:first") as first:
        head, body = read_answer(first, timeout=3)
        assert head.startswith("HTTP/1.1 200 OK\r\n")
        assert "<wsa5:MessageID>urn:uuid:first</wsa5:MessageID>" in body
        assert '<tt:SimpleItem Name="State" Value="false"/>' in body
        assert "SubscriptionManager=0</wsa5:To>" in body
        # Once the thread has taken up the initial event, nothing is left to say.
        assert wait_for(lambda: "got motion" in nvtd.log(), timeout=5)
        with pull(sid, "PT2S", "urn:uuid:second") as second:
            start = time.monotonic()
            head, body = read_answer(second, timeout=10)
            waited = time.monotonic() - start
            assert "NotificationMessage" not in body
            assert "<tev:PullMessagesResponse><tev:CurrentTime>" in body
            assert "<wsa5:MessageID>urn:uuid:second</wsa5:MessageID>" in body
            assert waited >= 1.0, "the empty answer came before the Timeout"
            assert closes(second, 5)


def test_pull_refusals(nvtd):
    sid, _ = create_pull_point("PT60S")
    held = [pull(sid, "PT30S")]
    read_answer(held[0])  # the initial message, at once
    held += [pull(sid, "PT30S") for _ in range(9)]
    try:
        time.sleep(0.5)  # let the ten requests reach their slots
        with pull(sid, "PT30S") as eleventh:
            head, body = read_answer(eleventh)
        assert head.startswith("HTTP/1.0 200 OK") and INVALID_THING in body
        with pull(7) as unknown:
            assert INVALID_THING in read_answer(unknown)[1]
        with send(envelope("<tev:PullMessages/>"),
                  EVENTS_WSDL + "/PullPointSubscription/PullMessagesRequest") as no_id:
            head, body = read_answer(no_id)
        assert head.startswith("HTTP/1.0 400 Bad Request") and INVALID_THING in body
    finally:
        for s in held:
            s.close()


class Consumer:
    """An HTTP consumer of Notify messages on the camera's loopback."""

    def __init__(self):
        self.posts = []
        consumer = self

        class Handler(BaseHTTPRequestHandler):
            def do_POST(self):
                length = int(self.headers.get("Content-Length", 0))
                consumer.posts.append((self.path, self.headers.get("Host"),
                                       self.rfile.read(length).decode()))
                self.send_response(200)
                self.send_header("Content-Length", "0")
                self.end_headers()

            def log_message(self, *args):
                pass

        self.server = HTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def close(self):
        self.server.shutdown()
        self.server.server_close()


def subscribe(address, termination="PT60S"):
    body = ("<wsnt:Subscribe><wsnt:ConsumerReference><a:Address>%s</a:Address>"
            "</wsnt:ConsumerReference><wsnt:InitialTerminationTime>%s"
            "</wsnt:InitialTerminationTime></wsnt:Subscribe>" % (address, termination))
    answer = call(body, WSNT + "/NotificationProducer/SubscribeRequest",
                  "<a:MessageID>urn:uuid:sub</a:MessageID>")
    found = re.search(r"<dom0:SubscriptionId [^>]*>(\d+)<", answer)
    return (int(found.group(1)) if found else None), answer


def test_push_consumer_gets_exactly_one_notify(nvtd):
    consumer = Consumer()
    try:
        sid, answer = subscribe("http://127.0.0.1:%d/onvif/notify" % consumer.port)
        assert sid == 0 and "SubscribeResponse" in answer
        assert wait_for(lambda: consumer.posts, timeout=5)
        time.sleep(2.5)  # two more passes: nothing is sent again
        assert len(consumer.posts) == 1
        path, host, body = consumer.posts[0]
        assert path == "/onvif/notify"
        assert host == "127.0.0.1:%d" % consumer.port
        assert '<tt:SimpleItem Name="window" Value="0"/>' in body
        assert '<tt:SimpleItem Name="motion" Value="0"/>' in body
        assert topics(body) == [("tns1:VideoSource/MotionAlarm", TOPICS)]
        assert "http://%s:%d/onvif/events_service" % (CAMERA, PORT) in body
    finally:
        consumer.close()


def test_refusing_consumer_is_tried_once(nvtd):
    with socket.socket() as s:  # a port nobody listens on
        s.bind(("127.0.0.1", 0))
        refused = s.getsockname()[1]
    sid, _ = subscribe("http://127.0.0.1:%d/onvif/notify" % refused)
    assert wait_for(lambda: "Connect: connect error" in nvtd.log(), timeout=5)
    time.sleep(2.5)
    assert nvtd.log().count("Connect: connect error") == 1
    assert "RenewResponse" in renew(sid, "PT10S")  # the subscription stays


def test_silent_consumer_stalls_no_request(nvtd):
    with socket.socket() as silent:  # takes the connection and never answers
        silent.bind(("127.0.0.1", 0))
        silent.listen(1)
        subscribe("http://127.0.0.1:%d/onvif/notify" % silent.getsockname()[1])
        assert wait_for(lambda: "sending" in nvtd.log(), timeout=5)
        # The thread waits for the consumer's reply: requests are answered meanwhile.
        sid, _ = create_pull_point()
        assert sid == 1
        assert "sent status" not in nvtd.log()
        # The wait for the reply is bounded.
        assert wait_for(lambda: "recv failedsent status" in nvtd.log(), timeout=10)


def test_subscribe_plain_text_refusals(nvtd):
    def ask(inner):
        with send(envelope("<wsnt:Subscribe>%s</wsnt:Subscribe>" % inner),
                  WSNT + "/NotificationProducer/SubscribeRequest") as s:
            s.settimeout(10)
            data = b""
            while True:
                chunk = s.recv(65536)
                if not chunk:
                    return data.decode()
                data += chunk
    assert "Consumer not specified\n" in ask("")
    assert "Consumer Address not specified in <x>y</x>\n" in ask(
        "<wsnt:ConsumerReference><x>y</x></wsnt:ConsumerReference>")
    assert "consumer address not a url\n" in ask(
        "<wsnt:ConsumerReference><a:Address>ftp://x</a:Address></wsnt:ConsumerReference>")


def test_expiry_frees_the_entry_and_closes_parked_connections(nvtd):
    start = time.monotonic()
    create_pull_point("PT5S")
    assert wait_for(lambda: "expired consumer" in nvtd.log(), timeout=12)
    lived = time.monotonic() - start
    assert lived >= 4.5, "expired before its 5 seconds"
    # A pull point with a held connection: it closes without a further answer.
    sid, _ = create_pull_point("PT5S")
    with pull(sid, "PT60S") as held:
        read_answer(held)
        assert closes(held, 20)
    with send(envelope("<wsnt:Renew><wsnt:TerminationTime>PT5S</wsnt:TerminationTime>"
                       "</wsnt:Renew>", sid_header(sid)),
              WSNT + "/SubscriptionManager/RenewRequest") as s:
        head, body = read_answer(s)
    assert head.startswith("HTTP/1.0 400 Bad Request") and INVALID_THING in body


def test_renewals(nvtd):
    sid, _ = create_pull_point("PT60S")
    answer = renew(sid, "PT60S")
    assert span(answer) == 60
    assert "<wsnt:RenewResponse><wsnt:TerminationTime>" in answer
    answer = renew(sid, "2040-01-01T00:00:00Z")
    assert "<wsnt:TerminationTime>2040-01-01T00:00:00Z</wsnt:TerminationTime>" in answer
    # The bare operation name works too.
    answer = call("<wsnt:Renew><wsnt:TerminationTime>PT10S</wsnt:TerminationTime></wsnt:Renew>",
                  WSNT + "/Renew", sid_header(sid), content_type_action=True)
    assert "RenewResponse" in answer


def test_unsubscribing_the_last_one_stops_the_thread(nvtd):
    assert not nvtd.delivery_thread()
    create_pull_point()
    create_pull_point()
    assert wait_for(nvtd.delivery_thread, timeout=5)
    unsubscribe(0)
    assert nvtd.delivery_thread()
    assert "Waiting for consumer thread" not in nvtd.log()
    unsubscribe(1)
    # Joined before the answer: the join is logged by then. The kernel drops the
    # thread's /proc entry a moment after the join returns, so that is polled.
    log = nvtd.log()
    assert "Waiting for consumer thread...\n" in log and "consumer thread done\n" in log
    assert wait_for(lambda: not nvtd.delivery_thread(), timeout=2)
    assert log.count("enter ConsumerManagerThread") == 1
    create_pull_point()  # a new first subscription starts it again
    assert wait_for(nvtd.delivery_thread, timeout=5)


def test_event_properties_and_synchronization_point(nvtd):
    answer = call("<tev:GetEventProperties/>", EVENTS_WSDL + "/EventPortType/GetEventPropertiesRequest")
    assert "<wsnt:FixedTopicSet>true</wsnt:FixedTopicSet>" in answer
    assert 'Name="State" Type="xsd:boolean"' in answer
    assert "<wstop:TopicSet><tns1:VideoSource><MotionAlarm " in answer
    answer = call("<tev:SetSynchronizationPoint/>",
                  EVENTS_WSDL + "/PullPointSubscription/SetSynchronizationPointRequest",
                  "<a:MessageID>urn:uuid:sync</a:MessageID>")
    assert "<wsa5:MessageID>urn:uuid:sync</wsa5:MessageID>" in answer
    assert "http://%s:%d/onvif/events_service</wsa5:To>" % (CAMERA, PORT) in answer
    assert "SetSynchronizationPointResponse" in answer


def test_event_addresses_share_one_path_and_pull_points_are_announced(nvtd):
    consumer = Consumer()
    try:
        sid, created = create_pull_point("PT60S")
        _, subscribed = subscribe("http://127.0.0.1:%d/onvif/notify" % consumer.port)
        with pull(sid, "PT30S") as held:
            pulled = read_answer(held, timeout=3)[1]
        answers = {
            "CreatePullPointSubscription": created,
            "Subscribe": subscribed,
            "PullMessages": pulled,
            "SetSynchronizationPoint": call(
                "<tev:SetSynchronizationPoint/>",
                EVENTS_WSDL + "/PullPointSubscription/SetSynchronizationPointRequest"),
            "GetEventProperties": call(
                "<tev:GetEventProperties/>",
                EVENTS_WSDL + "/EventPortType/GetEventPropertiesRequest"),
            "GetServiceCapabilities": call(
                "<tev:GetServiceCapabilities/>",
                EVENTS_WSDL + "/EventPortType/GetServiceCapabilitiesRequest"),
            "GetCapabilities": call(
                "<tds:GetCapabilities><tds:Category>All</tds:Category></tds:GetCapabilities>",
                TDS + "/GetCapabilities", path="/onvif/device_service"),
            "GetServices": call(
                "<tds:GetServices><tds:IncludeCapability>true</tds:IncludeCapability>"
                "</tds:GetServices>", TDS + "/GetServices", path="/onvif/device_service"),
        }
        for name, answer in answers.items():
            paths = re.findall(r"/onvif/(event[a-z_]*)", answer)
            assert paths and set(paths) == {"events_service"}, (name, paths)
    finally:
        consumer.close()

    def xml(name):
        return ET.fromstring(answers[name].encode())
    assert xml("GetCapabilities").find(".//{%s}Events/{%s}WSPullPointSupport" % (TT, TT)).text \
        == "true"
    for name in ("GetServiceCapabilities", "GetServices"):
        announced = xml(name).find(".//{%s}Capabilities[@WSPullPointSupport]" % EVENTS_WSDL)
        assert announced is not None and announced.get("WSPullPointSupport") == "true", name


def topics(answer):
    """Each Topic element's text with the namespace its prefix is bound to where it stands."""
    found, scopes, declared = [], [], []
    for event, item in ET.iterparse(io.BytesIO(answer.encode()), ("start-ns", "start", "end")):
        if event == "start-ns":
            declared.append(item)
        elif event == "start":
            scopes.append(dict(declared))
            declared = []
            if item.tag == "{%s}Topic" % WSNT:
                bound = {}
                for scope in scopes:
                    bound.update(scope)
                found.append([item, bound])
        else:
            scopes.pop()
    return [(item.text, bound.get(item.text.partition(":")[0])) for item, bound in found]


def test_message_ids_cut_inside_an_entity_are_echoed_well_formed(nvtd):
    # The MessageID is kept to 63 characters: this cut lands inside "&amp;".
    sent = "<a:MessageID>%s&amp;tail</a:MessageID>" % ("m" * 60)
    kept = "m" * 60 + "&am"
    wsa5 = "{http://www.w3.org/2005/08/addressing}MessageID"

    def echoed(body):
        return ET.fromstring(body.encode()).find(".//" + wsa5).text

    created = call("<tev:CreatePullPointSubscription/>",
                   EVENTS_WSDL + "/EventPortType/CreatePullPointSubscriptionRequest", sent)
    assert echoed(created) == kept
    sid = int(re.search(r"<dom0:SubscriptionId [^>]*>(\d+)<", created).group(1))
    with pull(sid, "PT30S", "m" * 60 + "&amp;tail") as first:
        assert echoed(read_answer(first, timeout=3)[1]) == kept
    answer = call("<wsnt:Renew><wsnt:TerminationTime>PT60S</wsnt:TerminationTime></wsnt:Renew>",
                  WSNT + "/SubscriptionManager/RenewRequest", sid_header(sid) + sent)
    assert echoed(answer) == kept
    answer = call("<tev:SetSynchronizationPoint/>",
                  EVENTS_WSDL + "/PullPointSubscription/SetSynchronizationPointRequest", sent)
    assert echoed(answer) == kept
    answer = call("<wsnt:Unsubscribe/>", WSNT + "/SubscriptionManager/UnsubscribeRequest",
                  sid_header(sid) + sent)
    assert echoed(answer) == kept


def test_onvif_client_library_pulls_the_initial_motion_message(nvtd):
    node_dir = onvif_library()
    run = subprocess.run(["node", "pull_point.js", CAMERA, str(PORT)], cwd=node_dir,
                         capture_output=True, text=True, timeout=60)
    assert run.returncode == 0, run.stdout + run.stderr
    result = json.loads(run.stdout.strip().splitlines()[-1])
    assert result["address"] == \
        "http://%s:%d/onvif/events_service/SubscriptionManager=0" % (CAMERA, PORT)
    assert result["topic"] == "tns1:VideoSource/MotionAlarm"
    assert topics(result["pullXml"]) == [("tns1:VideoSource/MotionAlarm", TOPICS)]
    assert result["data"] == {"Name": "State", "Value": False}  # the library reads booleans
    assert result["source"] == {"Name": "Source", "Value": "HD"}
