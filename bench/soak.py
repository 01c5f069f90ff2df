"""The soak bench's driver, inside the sandbox once testbed/camera-up has the deployed camera
running (bench/soak.sh starts it): a client mix against port 80, motion toggles watched on a
held PullMessages loop, faults injected one at a time, and the figures per fault; then
nvtd's resident size over the soak.  Usage: soak.py SOAK_SECONDS FAULT_SECONDS"""
import os
import re
import signal
import subprocess
import sys
import threading
import time
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e", "lib"))
from onvif_soap import envelope, post, security  # noqa: E402

SOAK, FAULT = int(sys.argv[1]), int(sys.argv[2])
PORT, USER, PASSWORD = 80, "admin", "admin"
EV = "http://www.onvif.org/ver10/events/wsdl"
WSNT = "http://docs.oasis-open.org/wsn/b-2"
TT = "http://www.onvif.org/ver10/schema"
STATES = "/run/camera-state"
SETTINGSD = [sys.executable, os.path.join(HERE, "..", "testbed", "settingsd", "settingsd.py"),
             "--state", "/run/settingsd"]
PROGRAMS = {name: "/usr/local/bin/" + name for name in ("nvtd", "soundtap", "irswitchd",
                                                          "motiond")}
MIX = [("/onvif/device_service", "<tds:GetSystemDateAndTime/>"),
       ("/onvif/device_service", "<tds:GetDeviceInformation/>"),
       ("/onvif/media_service", "<trt:GetProfiles/>")]
ALARM = ('<tev:Filter><wsnt:TopicExpression Dialect="http://www.onvif.org/ver10/tev/'
         'topicExpression/ConcreteSet">tns1:VideoSource/MotionAlarm</wsnt:TopicExpression>'
         '</tev:Filter>')
EV_NS = ('xmlns:tev="%s" xmlns:wsnt="%s" xmlns:tns1="http://www.onvif.org/ver10/topics"'
         % (EV, WSNT))


def now():
    return time.monotonic()


class Log:
    """Every request's (time, ok) and every motion message (time, value), shared."""

    def __init__(self):
        self.lock = threading.Lock()
        self.requests, self.toggles, self.events = [], [], []

    def add(self, what, item):
        with self.lock:
            getattr(self, what).append(item)

    def since(self, what, start, end=None):
        with self.lock:
            return [x for x in getattr(self, what) if x[0] >= start and (end is None or x[0] < end)]


LOG = Log()
STOP = threading.Event()


def ok(answer):
    return answer.status is not None and " 200 " in answer.status + " "


FAILURES = {}


def one_request(path, body):
    data = envelope(body, security(USER, PASSWORD))
    try:
        answer = post(data, PORT, path=path, timeout=10)
    except OSError as e:
        answer = None
        why = type(e).__name__
    if answer is not None and ok(answer):
        return True
    if answer is not None:
        why = answer.status or "no status line"
    with LOG.lock:
        FAILURES[why] = FAILURES.get(why, 0) + 1
    return False


def client_mix():
    while not STOP.is_set():
        for path, body in MIX:
            start = now()
            LOG.add("requests", (start, one_request(path, body), now() - start))
        STOP.wait(0.2)


def event_call(body, header="", timeout=10):
    data = ('<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" %s><s:Header>%s%s'
            '</s:Header><s:Body>%s</s:Body></s:Envelope>'
            % (EV_NS, security(USER, PASSWORD)[len("<s:Header>"):-len("</s:Header>")], header,
               body))
    return post(data, PORT, path="/onvif/events_service", timeout=timeout)


def pull_loop():
    """Subscribes, pulls (PT5S) and records Changed motion messages; subscribes again when
    the subscription is gone (nvtd started again) or a pull fails."""
    sid = None
    while not STOP.is_set():
        try:
            if sid is None:
                answer = event_call("<tev:CreatePullPointSubscription>%s<tev:InitialTermination"
                                    "Time>PT600S</tev:InitialTerminationTime></tev:CreatePull"
                                    "PointSubscription>" % ALARM)
                found = re.search(r"<dom0:SubscriptionId [^>]*>(\d+)<", answer.text)
                sid = int(found.group(1)) if found else None
                if sid is None:
                    STOP.wait(0.5)
                continue
            answer = event_call("<tev:PullMessages><tev:Timeout>PT5S</tev:Timeout><tev:Message"
                                "Limit>50</tev:MessageLimit></tev:PullMessages>",
                                "<SubscriptionId>%d</SubscriptionId>" % sid, timeout=15)
            if not ok(answer):
                sid = None
                continue
            for note in ET.fromstring(answer.body).iter("{%s}Message" % TT):
                if note.get("PropertyOperation") == "Changed":
                    item = note.find("{%s}Data/{%s}SimpleItem" % (TT, TT))
                    LOG.add("events", (now(), item.get("Value")))
        except (OSError, ET.ParseError):
            sid = None
            STOP.wait(0.5)


def toggler():
    value = "false"
    while not STOP.wait(2.0):
        value = "true" if value == "false" else "false"
        temp = os.path.join(STATES, ".motion.soak")
        with open(temp, "w") as f:
            f.write(value + "\n")
        os.rename(temp, os.path.join(STATES, "motion"))
        LOG.add("toggles", (now(), value))


def pids_of(exe):
    found = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                if os.readlink("/proc/%s/exe" % entry) == exe:
                    found.append(int(entry))
            except OSError:
                pass
    return found


def settingsd_pid():
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    words = f.read().split(b"\0")
            except OSError:
                continue
            if len(words) > 1 and words[1].endswith(b"testbed/settingsd/settingsd.py"):
                return int(entry)
    return None


def rss_kb(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            return int(re.search(r"VmRSS:\s+(\d+)", f.read()).group(1))
    except (OSError, AttributeError):
        return 0


def sizes():
    return {name: sum(rss_kb(p) for p in pids_of(exe)) for name, exe in PROGRAMS.items()}


def healthy_since(start):
    """The first moment after start from which three mix rounds in a row all succeeded."""
    run, first = 0, None
    for t, good, _ in LOG.since("requests", start):
        if good:
            run, first = run + 1, first if run else t
            if run >= 3 * len(MIX):
                return first
        else:
            run, first = 0, None
    return None


def match_events(start, end):
    """Each toggle matched with the first unused Changed message of its value that came
    within 3.9 s (before the next toggle to the same value), over the whole run; of the
    toggles in [start, end) those never matched are lost, and of the messages in
    [start, end) those matching no toggle are duplicated (or written by another writer)."""
    toggles, events = LOG.since("toggles", 0), LOG.since("events", 0)
    used = [False] * len(events)
    lost = 0
    for t, value in toggles:
        for i, (e, v) in enumerate(events):
            if not used[i] and t <= e < t + 3.9 and v == value:
                used[i] = True
                break
        else:
            lost += start <= t < end
    duplicated = sum(1 for i, (e, _) in enumerate(events) if start <= e < end and not used[i])
    return lost, duplicated


def settings_stop():
    pid = settingsd_pid()
    os.kill(pid, signal.SIGTERM)
    time.sleep(FAULT)
    log = open("/run/camera-logs/settingsd-soak.log", "a")
    subprocess.Popen(SETTINGSD, stdout=log, stderr=log)
    return now()


def settings_hang():
    pid = settingsd_pid()
    os.kill(pid, signal.SIGSTOP)
    time.sleep(FAULT)
    os.kill(pid, signal.SIGCONT)
    return now()


def kill_program(name):
    def inject():
        for pid in pids_of(PROGRAMS[name]):
            os.kill(pid, signal.SIGKILL)
        return now()
    return inject


FAULTS = [("settings server stopped %d s" % FAULT, settings_stop),
          ("settings server SIGSTOP %d s" % FAULT, settings_hang),
          ("kill -9 nvtd", kill_program("nvtd")),
          ("kill -9 soundtap", kill_program("soundtap")),
          ("kill -9 irswitchd", kill_program("irswitchd")),
          ("kill -9 motiond", kill_program("motiond"))]


def first_failure(start):
    bad = [t for t, good, _ in LOG.since("requests", start) if not good]
    return bad[0] if bad else start


def run_fault(name, inject):
    """Injects one fault and prints its figures. Recovery: for the settings server, from its
    return until the mix succeeds again; for nvtd, from the kill until it does; for the other
    daemons, from the kill until the watchdog has a new process running."""
    killed = name.split()[-1] if name.startswith("kill") else None
    before = pids_of(PROGRAMS[killed]) if killed else []
    start = now()
    ended = inject()
    recovered = None
    deadline = now() + 60
    while now() < deadline and recovered is None:
        time.sleep(0.25)
        if killed and killed != "nvtd":
            pids = pids_of(PROGRAMS[killed])
            recovered = now() if pids and pids != before else None
        else:
            healthy = healthy_since(first_failure(start) if killed else ended)
            recovered = healthy if healthy is not None and healthy >= ended else None
            recovered = recovered or (healthy if killed else None)
    time.sleep(10)  # settle, and let the last events arrive
    end = now()
    requests = LOG.since("requests", start, end)
    failed = sum(1 for _, good, _ in requests if not good)
    slowest = max((took for _, _, took in requests), default=0)
    lost, duplicated = match_events(start, end - 10)
    recovery = "%5.1f s" % (recovered - ended) if recovered else "  none"
    with LOG.lock:
        why = ", ".join("%s: %d" % kv for kv in sorted(FAILURES.items()))
        FAILURES.clear()
    print("%-28s recovery %s  requests %4d failed %3d (slowest %4.1f s)  events lost %d "
          "duplicated %d  rss kB %s" % (
              name, recovery, len(requests), failed, slowest, lost, duplicated,
              " ".join("%s=%d" % kv for kv in sizes().items())), flush=True)
    if why:
        print("    failures: " + why, flush=True)


def main():
    threads = [threading.Thread(target=f, daemon=True) for f in (client_mix, pull_loop, toggler)]
    for t in threads:
        t.start()
    time.sleep(10)
    print("baseline: %d requests, %d failed; rss kB %s" % (
        len(LOG.requests), sum(1 for _, g, _ in LOG.requests if not g),
        " ".join("%s=%d" % kv for kv in sizes().items())), flush=True)
    for name, inject in FAULTS:
        time.sleep(5)
        run_fault(name, inject)
    start = now()
    samples = []
    while now() - start < SOAK:
        pid = (pids_of(PROGRAMS["nvtd"]) or [0])[0]
        samples.append((now() - start, rss_kb(pid) if pid else 0))
        if len(samples) % 30 == 1:
            print("  soak %4d s: nvtd rss %d kB" % samples[-1], flush=True)
        time.sleep(min(10, max(1, SOAK / 60)))
    requests = LOG.since("requests", start)
    lost, duplicated = match_events(start, now() - 5)
    print("soak %d s: requests %d failed %d, events %d lost %d duplicated %d" % (
        SOAK, len(requests), sum(1 for _, g, _ in requests if not g),
        len(LOG.since("toggles", start)), lost, duplicated))
    marks = samples[:: max(1, len(samples) // 12)] + samples[-1:]
    print("nvtd rss kB over the soak: " + " ".join("%ds=%d" % (t, kb) for t, kb in marks))
    half = [kb for t, kb in samples if t >= SOAK / 2]
    if half:
        print("second half: min %d max %d (first sample %d)" % (min(half), max(half),
                                                                samples[0][1]))
    STOP.set()


if __name__ == "__main__":
    main()
