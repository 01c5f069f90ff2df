#!/bin/bash
# Event figures: the time from a camera state file's rename to the message on a waiting
# PullMessages and on a push consumer, both on the LAN side (over the sandbox's veth),
# median and worst of ROUNDS changes; then nvtd's resident size with 20 pull points each
# holding a full queue, against its size before any subscription.
#   bench/event_latency.sh [ROUNDS]     (needs a host build; CAMERA_BUILD_DIR picks it)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
export CAMERA_BUILD_DIR=${CAMERA_BUILD_DIR:-$src/build/host}
rounds=${1:-100}

if [ "${SANDBOX:-}" != 1 ]; then
  [ -x "$CAMERA_BUILD_DIR/nvtd/nvtd" ] || { echo "build first: cmake --build --preset host" >&2; exit 1; }
  exec "$src/testbed/sandbox" "$0" "$@"
fi

"$CAMERA_BUILD_DIR/testbed/settingsd-native/settingsd-native" --state /run/settingsd >/dev/null 2>&1 &
settingsd_pid=$!
for _ in $(seq 50); do [ -f /run/settingsd/ready ] && break; sleep 0.1; done
rm -rf /run/camera-state && mkdir -m 0755 /run/camera-state
"$CAMERA_BUILD_DIR/nvtd/nvtd" --port 8080 --noauth >/run/nvtd-events.log 2>&1 &
nvtd_pid=$!
trap 'kill $nvtd_pid $settingsd_pid 2>/dev/null; true' EXIT
for _ in $(seq 50); do (: <>/dev/tcp/127.0.0.1/8080) 2>/dev/null && break; sleep 0.1; done

ip netns exec lan /usr/bin/python3 - "$src/testbed/client" "$rounds" "$nvtd_pid" <<'PY'
import os, re, socket, statistics, sys, threading, time
from http.server import BaseHTTPRequestHandler, HTTPServer
sys.path.insert(0, sys.argv[1])
from onvif_soap import post
rounds, pid = int(sys.argv[2]), int(sys.argv[3])
CAMERA, PORT, STATES = "10.99.0.2", 8080, "/run/camera-state"
EV = "http://www.onvif.org/ver10/events/wsdl"
NS = ('xmlns:s="http://www.w3.org/2003/05/soap-envelope" xmlns:tev="%s" '
      'xmlns:wsnt="http://docs.oasis-open.org/wsn/b-2" '
      'xmlns:a="http://www.w3.org/2005/08/addressing" '
      'xmlns:tns1="http://www.onvif.org/ver10/topics"' % EV)
ALARM = ('<tev:Filter><wsnt:TopicExpression Dialect="http://www.onvif.org/ver10/tev/'
         'topicExpression/ConcreteSet">tns1:VideoSource/MotionAlarm</wsnt:TopicExpression>'
         '</tev:Filter>')

def soap(body, header=""):
    return '<s:Envelope %s><s:Header>%s</s:Header><s:Body>%s</s:Body></s:Envelope>' % (
        NS, header, body)

def call(body, header="", action=""):
    return post(soap(body, header), PORT, path="/onvif/events_service", host=CAMERA,
                action=action, timeout=90).text

def create(inner=ALARM):
    answer = call("<tev:CreatePullPointSubscription>%s<tev:InitialTerminationTime>PT600S"
                  "</tev:InitialTerminationTime></tev:CreatePullPointSubscription>" % inner,
                  action=EV + "/EventPortType/CreatePullPointSubscriptionRequest")
    return int(re.search(r"<dom0:SubscriptionId [^>]*>(\d+)<", answer).group(1))

def pull_request(sid, timeout="PT10S", limit=10):
    body = soap("<tev:PullMessages><tev:Timeout>%s</tev:Timeout><tev:MessageLimit>%d"
                "</tev:MessageLimit></tev:PullMessages>" % (timeout, limit),
                "<SubscriptionId>%d</SubscriptionId>" % sid).encode()
    s = socket.create_connection((CAMERA, PORT), timeout=30)
    s.sendall(b"POST /onvif/events_service HTTP/1.1\r\nHost: x\r\nContent-Length: %d\r\n"
              b"Content-Type: application/soap+xml; action=\"%s/PullPointSubscription/"
              b"PullMessagesRequest\"\r\n\r\n" % (len(body), EV.encode()) + body)
    return s

def read_all(s):
    data = b""
    while True:
        chunk = s.recv(65536)
        if not chunk:
            return data
        data += chunk

def set_state(value):
    temp = os.path.join(STATES, ".motion.bench")
    with open(temp, "w") as f:
        f.write(value + "\n")
    os.rename(temp, os.path.join(STATES, "motion"))

arrivals = []
class Consumer(BaseHTTPRequestHandler):
    def do_POST(self):
        self.rfile.read(int(self.headers.get("Content-Length", 0)))
        arrivals.append(time.perf_counter())
        self.send_response(200)
        self.send_header("Content-Length", "0")
        self.end_headers()
    def log_message(self, *args):
        pass
server = HTTPServer(("10.99.0.1", 0), Consumer)
threading.Thread(target=server.serve_forever, daemon=True).start()

sid = create()
read_all(pull_request(sid))  # the Initialized message
call("<wsnt:Subscribe><wsnt:ConsumerReference><a:Address>http://10.99.0.1:%d/notify"
     "</a:Address></wsnt:ConsumerReference>%s<wsnt:InitialTerminationTime>PT600S"
     "</wsnt:InitialTerminationTime></wsnt:Subscribe>"
     % (server.server_address[1], ALARM.replace("tev:", "wsnt:")),
     action="http://docs.oasis-open.org/wsn/bw-2/NotificationProducer/SubscribeRequest")
for _ in range(100):
    if arrivals:
        break
    time.sleep(0.05)
pulled, pushed = [], []
for n in range(rounds):
    before = len(arrivals)
    s = pull_request(sid)
    time.sleep(0.05)  # the request reaches its slot
    started = time.perf_counter()
    set_state("true" if n % 2 == 0 else "false")
    s.settimeout(30)
    s.recv(1)
    pulled.append(time.perf_counter() - started)
    assert b"NotificationMessage" in read_all(s)
    for _ in range(200):
        if len(arrivals) > before:
            break
        time.sleep(0.01)
    pushed.append(arrivals[before] - started)
for name, times in (("waiting pull point", pulled), ("push consumer", pushed)):
    print("rename to message on a %-18s median %.1f ms, worst %.1f ms (%d changes)"
          % (name, statistics.median(times) * 1000, max(times) * 1000, len(times)))

def rss_kib():
    with open("/proc/%d/status" % pid) as f:
        return int(re.search(r"VmRSS:\s+(\d+)", f.read()).group(1))
call("<wsnt:Unsubscribe/>", "<SubscriptionId>%d</SubscriptionId>" % sid,
     "http://docs.oasis-open.org/wsn/bw-2/SubscriptionManager/UnsubscribeRequest")
call("<wsnt:Unsubscribe/>", "<SubscriptionId>1</SubscriptionId>",
     "http://docs.oasis-open.org/wsn/bw-2/SubscriptionManager/UnsubscribeRequest")
time.sleep(0.5)
idle = rss_kib()
sids = [create("") for _ in range(20)]
for n in range(70):  # 2 Initialized + 140 Changed per subscription: more than the bound
    set_state("true" if n % 2 == 0 else "false")
    time.sleep(0.02)
time.sleep(1)
full = rss_kib()
got = read_all(pull_request(sids[0], "PT1S", 64)).count(b"<wsnt:NotificationMessage>")
print("nvtd resident size: %d KiB without subscriptions, %d KiB with 20 pull points each "
      "holding a full queue (%d messages pulled from one)" % (idle, full, got))
PY
