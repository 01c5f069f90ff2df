"""nvtd's event service in server mode for tests, as a LAN client meets it: the server with
the settings stand-in, camera states written as a shell script writes them, pull points,
subscriptions and push consumers on the LAN side, and the messages their answers carry."""
import ctypes
import os
import re
import shutil
import socket
import subprocess
import threading
import time
import xml.etree.ElementTree as ET
from datetime import datetime, timezone
from http.server import BaseHTTPRequestHandler, HTTPServer

from camera import EMULATOR, nvtd_program, wait_for, write_accounts
from settingsd import Settingsd

PORT = 8090
CAMERA = "10.99.0.2"
LAN = "10.99.0.1"
STATES = "/run/camera-state"
EVENTS_WSDL = "http://www.onvif.org/ver10/events/wsdl"
WSNT = "http://docs.oasis-open.org/wsn/b-2"
TDS = "http://www.onvif.org/ver10/device/wsdl"
TT = "http://www.onvif.org/ver10/schema"
TOPICS = "http://www.onvif.org/ver10/topics"
CONCRETE_SET = "http://www.onvif.org/ver10/tev/topicExpression/ConcreteSet"
CONCRETE = "http://docs.oasis-open.org/wsn/t-1/TopicExpression/Concrete"
ALARM = "tns1:VideoSource/MotionAlarm"
CELL = "tns1:RuleEngine/CellMotionDetector/Motion"
# motiond's tamper states and the topics they raise (the imaging service's family).
TAMPER = {"image-too-dark": "tns1:VideoSource/ImageTooDark/ImagingService",
          "image-too-bright": "tns1:VideoSource/ImageTooBright/ImagingService",
          "image-too-blurry": "tns1:VideoSource/ImageTooBlurry/ImagingService",
          "global-scene-change": "tns1:VideoSource/GlobalSceneChange/ImagingService"}
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
        # Serving before nvtd starts: nvtd asks for CAM at once and, unanswered, a second later.
        self.settingsd = Settingsd(state=str(tmp_path / "settings"))
        if accounts:
            write_accounts(*accounts)
        self.out = open(self.log_path, "w")
        self.err = open(self.err_path, "w")
        env = dict(os.environ)
        env["ASAN_OPTIONS"] = ":".join(
            filter(None, [env.get("ASAN_OPTIONS"), "verify_asan_link_order=0"]))
        self.proc = subprocess.Popen(
            ["stdbuf", "-oL"] + nvtd_program() + ["--port", str(PORT)]
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
        self.settingsd.stop()
        self.out.close()
        self.err.close()
        with open(self.err_path) as f:
            errors = f.read()
        assert "ThreadSanitizer" not in errors, errors
        assert "AddressSanitizer" not in errors, errors


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
