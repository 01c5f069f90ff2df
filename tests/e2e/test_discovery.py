# ctest-labels: tsan
"""WS-Discovery over real UDP multicast: nvtd in the camera namespace, probes and Hello
listeners in the "lan" namespace on the other end of the veth, settings from the stand-in."""
import http.client
import json
import os
import re
import shutil
import signal
import subprocess
import threading
import time
import xml.etree.ElementTree as ET

import pytest

from camera import EMULATOR, SOURCE_DIR, in_lan, program, wait_for
from onvif_client import onvif_library
from settingsd import Settingsd

# Debian 12's qemu-user (7.2) does not translate setsockopt(IP_MULTICAST_IF) (qemu issue
# 1837): under the emulator nvtd cannot open its discovery socket at all.
pytestmark = pytest.mark.skipif(
    bool(EMULATOR), reason="qemu-user lacks setsockopt(IP_MULTICAST_IF): no discovery socket "
    "under the emulator (the discovery unit tests run there)")

HELPER = os.path.join(SOURCE_DIR, "testbed", "client", "wsd_probe.py")
CAMERA = "10.99.0.2"
PORT = 8080
XADDR = "http://%s:%d/onvif/device_service" % (CAMERA, PORT)
NS = {"s": "http://www.w3.org/2003/05/soap-envelope",
      "wsa": "http://schemas.xmlsoap.org/ws/2004/08/addressing",
      "d": "http://schemas.xmlsoap.org/ws/2005/04/discovery"}
SCOPE = "onvif://www.onvif.org/"
FIXED_RELATES_TO = "uuid:3b8e5a01-f2c4-4d97-a6e0-91bd27c4f85e"
STATE = "/run/settingsd"
ROTATING = 40
NOBODY = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]


def probe_text(message_id="uuid:5f3c1d2e-0000-4000-8000-00000000e2e1", body="", extra=""):
    header = "<a:MessageID>%s</a:MessageID>" % message_id if message_id else ""
    return ('<?xml version="1.0" encoding="UTF-8"?><s:Envelope xmlns:s="%s" xmlns:a="%s" '
            'xmlns:d="%s" xmlns:dn="http://www.onvif.org/ver10/network/wsdl"><s:Header>%s'
            '<a:To>urn:schemas-xmlsoap-org:ws:2005:04:discovery</a:To><a:Action>'
            'http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe</a:Action></s:Header>'
            '<s:Body><d:Probe>%s</d:Probe></s:Body></s:Envelope>%s'
            % (NS["s"], NS["wsa"], NS["d"], header, body, extra))


NVT = "<d:Types>dn:NetworkVideoTransmitter</d:Types>"


def write_run_file(name, text):
    path = os.path.join("/run", name)
    with open(path, "w") as f:
        f.write(text)
    return path


def probe(text, seconds=1.5, local=None, count=None):
    """Sends text to the group from the LAN (from local, an address of lan0, or count times at
    once); the camera's answers (parsed JSON lines)."""
    path = write_run_file("probe.xml", text)
    if count:
        args = ["burst", str(count), str(seconds), path]
    else:
        args = ["probe", str(seconds), path] + ([local] if local else [])
    out = subprocess.run(in_lan(["/usr/bin/python3", HELPER] + args),
                         capture_output=True, text=True, timeout=30).stdout
    return [m for m in map(json.loads, out.splitlines()) if m["from"].startswith(CAMERA + ":")]


def udp_received():
    """Datagrams that reached this namespace's sockets (or were dropped at a full one)."""
    with open("/proc/net/snmp") as f:
        names, values = [line.split() for line in f if line.startswith("Udp:")][:2]
    return sum(int(values[names.index(n)]) for n in ("InDatagrams", "RcvbufErrors"))


def spoofed_probe(source, text):
    path = write_run_file("spoof.xml", text)
    subprocess.run(in_lan(["/usr/bin/python3", HELPER, "spoof", source, path]), check=True,
                   timeout=30)


class Listener:
    """Collects what reaches the group on the LAN side, with arrival times."""

    def __init__(self, seconds):
        self.proc = subprocess.Popen(in_lan(["/usr/bin/python3", HELPER, "listen", str(seconds)]),
                                     stdout=subprocess.PIPE, text=True)
        self.items = []
        first = self.proc.stdout.readline()
        assert json.loads(first).get("ready"), first
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.proc.stdout:
            item = json.loads(line)
            item["at"] = time.monotonic()
            self.items.append(item)

    def hellos(self):
        return [m for m in list(self.items)
                if m["from"].startswith(CAMERA + ":") and "/discovery/Hello<" in m["text"]]

    def stop(self):
        self.proc.kill()
        self.proc.wait()


def set_setting(section, key, value):
    """Changes one record of the camera's copy of a section in the stand-in."""
    board = os.path.join(STATE, "boards", "camera")
    if not os.path.isdir(board):
        shutil.copytree(os.path.join(SOURCE_DIR, "testbed", "settingsd", "sections"), board)
    path = os.path.join(board, section)
    with open(path) as f:
        lines = [l for l in f.read().splitlines() if l.split(" ", 1)[0] != key]
    lines.append("%s = %s" % (key, value))
    with open(path, "w") as f:
        f.write("".join(l + "\n" for l in lines))


class Nvtd:
    def __init__(self, *args):
        self.out_path = "/run/nvtd-%d.out" % time.monotonic_ns()
        self.out = open(self.out_path, "w")
        self.started = time.monotonic()
        self.proc = subprocess.Popen(program("nvtd", "nvtd") + ["--port", str(PORT), "--noauth"]
                                     + list(args), stdout=self.out, stderr=subprocess.STDOUT)

    def output(self):
        with open(self.out_path) as f:
            return f.read()

    def stop(self, timeout=20):
        """SIGTERM; returns the exit status (the process must end within timeout)."""
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
        try:
            return self.proc.wait(timeout=timeout)
        finally:
            if self.proc.poll() is None:
                self.proc.kill()
                self.proc.wait()
            self.out.close()


def soap(operation_body):
    envelope = ('<?xml version="1.0" encoding="UTF-8"?><s:Envelope xmlns:s="%s" '
                'xmlns:tds="http://www.onvif.org/ver10/device/wsdl"><s:Body>%s</s:Body>'
                '</s:Envelope>' % (NS["s"], operation_body))
    conn = http.client.HTTPConnection(CAMERA, PORT, timeout=10)
    conn.request("POST", "/onvif/device_service", envelope.encode(),
                 {"Content-Type": "application/soap+xml; charset=utf-8"})
    response = conn.getresponse()
    return response.status, response.read().decode()


def parse(message):
    return ET.fromstring(message["text"].encode())


@pytest.fixture(scope="module")
def settings():
    set_setting("INFO", "model", '"TQLM-R204"')
    s = Settingsd(state=STATE)
    yield s
    s.stop()


class TestRunningCamera:
    """One nvtd for the probe cases; its first messages are the two start-up Hellos."""

    @pytest.fixture(scope="class")
    def camera(self, settings):
        listener = Listener(120)
        nvtd = Nvtd()
        yield nvtd, listener
        listener.stop()
        assert nvtd.stop() == 0

    def test_two_hellos_after_start_numbered_1_and_2(self, camera):
        nvtd, listener = camera
        assert wait_for(lambda: len(listener.hellos()) >= 2, timeout=40, step=0.2)
        first, second = listener.hellos()[:2]
        # Queued Hellos wait 5 s after the start and 5 s after each other (allowing the
        # listener's own arrival-time slack).
        assert first["at"] - nvtd.started >= 4.8
        assert second["at"] - first["at"] >= 4.8
        numbers = [re.search(r'MessageNumber="(\d+)"', m["text"]).group(1) for m in (first, second)]
        assert numbers == ["1", "2"]
        hello = parse(first).find("s:Body/d:Hello", NS)
        assert hello.find("d:Types", NS).text == "dn:NetworkVideoTransmitter"
        assert hello.find("d:XAddrs", NS).text == XADDR
        assert hello.find("wsa:EndpointReference/wsa:Address", NS).text.startswith(
            "urn:uuid:6d2f81c3-4a7e-4b05-9e1d-")
        assert hello.find("d:Scopes", NS).text == " ".join(
            SCOPE + s for s in ["Profile/Streaming", "type/video_encoder", "type/audio_encoder",
                                "location/usa", "hardware/TQLM-R204", "name/OLM"]) + " "

    def test_probe_without_types_and_scopes_gets_probe_matches(self, camera):
        answers = probe(probe_text(message_id="uuid:0a0b0c0d-1111-4222-8333-444455556666"))
        assert len(answers) == 1
        assert answers[0]["from"] == CAMERA + ":3702"
        envelope = parse(answers[0])
        assert envelope.find("s:Header/wsa:RelatesTo", NS).text == \
            "uuid:0a0b0c0d-1111-4222-8333-444455556666"
        match = envelope.find("s:Body/d:ProbeMatches/d:ProbeMatch", NS)
        assert match.find("d:XAddrs", NS).text == XADDR
        assert match.find("d:Scopes", NS).text == " ".join(
            SCOPE + s for s in ["Profile/Streaming", "type/video_encoder", "type/audio_encoder",
                                "location/usa", "hardware/TQLM-R204", "name/OLM"]) + " "

    def test_probe_without_message_id_gets_the_fixed_relates_to(self, camera):
        answers = probe(probe_text(message_id=None))
        assert len(answers) == 1
        assert parse(answers[0]).find("s:Header/wsa:RelatesTo", NS).text == FIXED_RELATES_TO

    @pytest.mark.parametrize("body,extra,answer", [
        ("<d:Types>tds:Device</d:Types>", "", "matches"),
        (NVT + "<d:Scopes>" + SCOPE + "location/mars</d:Scopes>", "", None),
        (NVT + '<d:Scopes MatchBy="InvalidMatchRule">' + SCOPE + "location/mars</d:Scopes>", "",
         "fault"),
        ("", "<!-- invalid -->", None),
        (NVT + "<d:Scopes />", "<!-- INVALID -->", "matches"),
        (NVT + "<d:Scopes>" + SCOPE + "hardware/any</d:Scopes>", "", "matches"),
    ], ids=["other-type", "unknown-location", "invalid-match-rule", "invalid-text",
            "empty-scopes", "hardware"])
    def test_probe_decision(self, camera, body, extra, answer):
        answers = probe(probe_text(body=body, extra=extra))
        kinds = ["fault" if "MatchingRuleNotSupported" in m["text"] else
                 "matches" if "<d:ProbeMatches>" in m["text"] else "other" for m in answers]
        assert kinds == ([answer] if answer else [])
        if answer == "fault":
            envelope = parse(answers[0])
            assert envelope.find("s:Body/s:Fault/s:Code/s:Subcode/s:Value", NS).text == \
                "wsd:MatchingRuleNotSupported"
            assert envelope.find("s:Header/wsa:RelatesTo", NS).text.startswith("uuid:5f3c1d2e")

    def test_probe_from_a_broadcast_source_does_not_end_the_process(self, camera):
        nvtd, _ = camera
        spoofed_probe("10.99.0.255", probe_text())
        assert wait_for(lambda: "sendto" in nvtd.output(), timeout=5)
        assert nvtd.proc.poll() is None
        assert len(probe(probe_text())) == 1

    def test_user_scope_from_set_scopes_is_announced_and_matched(self, camera):
        user = SCOPE + "room/e2e-7"
        status, _ = soap("<tds:SetScopes><tds:Scopes>%s</tds:Scopes></tds:SetScopes>" % user)
        assert status == 200
        answers = probe(probe_text(body=NVT + "<d:Scopes>%s/annex</d:Scopes>" % user))
        assert len(answers) == 1
        scopes = parse(answers[0]).find("s:Body/d:ProbeMatches/d:ProbeMatch/d:Scopes", NS).text
        assert scopes.endswith(SCOPE + "name/OLM " + user + " ")
        status, text = soap("<tds:GetScopes/>")
        assert status == 200 and text.count("<tt:ScopeItem>") == 7
        assert "<tt:ScopeDef>Configurable</tt:ScopeDef><tt:ScopeItem>%s<" % user in text
        status, text = soap("<tds:SetScopes><tds:Scopes>%shardware/x</tds:Scopes>"
                            "</tds:SetScopes>" % SCOPE)
        assert status == 400 and "ter:ScopeOverwrite" in text

    def test_add_and_remove_scopes_request_a_hello(self, camera):
        _, listener = camera
        seen = len(listener.hellos())
        added = SCOPE + "floor/e2e-3"
        status, _ = soap("<tds:AddScopes><tds:ScopeItem>%s</ScopeItem></tds:AddScopes>" % added)
        assert status == 200
        assert wait_for(lambda: len(listener.hellos()) > seen, timeout=15, step=0.2)
        scopes = parse(listener.hellos()[seen]).find("s:Body/d:Hello/d:Scopes", NS).text
        assert scopes.endswith("name/OLM %s %s " % (SCOPE + "room/e2e-7", added))
        status, text = soap("<tds:RemoveScopes><tds:ScopeItem>%s</ScopeItem></tds:RemoveScopes>"
                            % (SCOPE + "room/e2e-7"))
        assert status == 200
        assert text.count("<tds:ScopeItem>") == 7
        assert ("name/OLM</tds:ScopeItem><tds:ScopeItem>%s</tds:ScopeItem>"
                "</tds:RemoveScopesResponse>" % added) in text
        assert wait_for(lambda: len(listener.hellos()) > seen + 1, timeout=15, step=0.2)

    def test_onvif_client_finds_the_camera_and_reaches_its_device_service(self, camera):
        node_dir = onvif_library()
        r = subprocess.run(in_lan(["node", "discover.js", "lan0", "3000"]), cwd=node_dir,
                           capture_output=True, text=True, timeout=60)
        found = [json.loads(line) for line in r.stdout.splitlines() if line.startswith("{")]
        assert len(found) == 1, r.stdout + r.stderr
        assert found[0]["xaddrs"] == XADDR
        assert found[0]["error"] is None
        scopes = found[0]["scopes"]
        assert scopes[:6] == [SCOPE + s for s in [
            "Profile/Streaming", "type/video_encoder", "type/audio_encoder", "location/usa",
            "hardware/TQLM-R204", "name/OLM"]]
        assert scopes[6:] == [SCOPE + "floor/e2e-3"]  # the user scope the tests above left

    def test_echoes_cut_inside_an_entity_stay_well_formed(self, camera):
        # The user scope is kept to 63 characters and RelatesTo to 59: both cuts land
        # inside "&amp;", and every answer that carries them must still parse.
        _, listener = camera
        user = SCOPE + "room/" + "r" * 33 + "&amp;tail"
        kept = SCOPE + "room/" + "r" * 33 + "&am"
        status, _ = soap("<tds:SetScopes><tds:Scopes>%s</tds:Scopes></tds:SetScopes>" % user)
        assert status == 200
        answers = probe(probe_text(message_id="uuid:" + "f" * 51 + "&amp;x",
                                   body=NVT + "<d:Scopes>%s</d:Scopes>" % user))
        assert len(answers) == 1
        envelope = parse(answers[0])
        assert envelope.find("s:Header/wsa:RelatesTo", NS).text == "uuid:" + "f" * 51 + "&am"
        scopes = envelope.find("s:Body/d:ProbeMatches/d:ProbeMatch/d:Scopes", NS).text
        assert scopes.endswith(SCOPE + "name/OLM " + kept + " ")
        seen = len(listener.hellos())
        added = SCOPE + "floor/<b>"
        status, _ = soap("<tds:AddScopes><tds:ScopeItem>%s</ScopeItem></tds:AddScopes>"
                         % added.replace("<", "&lt;").replace(">", "&gt;"))
        assert status == 200
        assert wait_for(lambda: len(listener.hellos()) > seen, timeout=15, step=0.2)
        scopes = parse(listener.hellos()[seen]).find("s:Body/d:Hello/d:Scopes", NS).text
        assert scopes.endswith("name/OLM %s %s " % (kept, added))
        status, text = soap("<tds:RemoveScopes><tds:ScopeItem>%s</ScopeItem></tds:RemoveScopes>"
                            % (SCOPE + "room/none"))
        assert status == 200
        items = [e.text for e in ET.fromstring(text.encode()).iter()
                 if e.tag.endswith("}ScopeItem")]
        assert items[-2:] == [kept, added]

    # The cases below change the user scopes and spend the LAN address's answer allowance,
    # so they come last.

    def test_hello_probe_matches_get_scopes_and_remove_scopes_carry_one_scope_set(self, camera):
        _, listener = camera
        assert wait_for(lambda: listener.hellos(), timeout=20, step=0.2)  # the service is up
        user = SCOPE + "room/one-set"
        status, _ = soap("<tds:SetScopes><tds:Scopes>%s</tds:Scopes></tds:SetScopes>" % user)
        assert status == 200
        seen = len(listener.hellos())
        status, _ = soap("<tds:AddScopes><tds:ScopeItem>%s</ScopeItem></tds:AddScopes>"
                         % (SCOPE + "room/two"))
        assert status == 200
        assert wait_for(lambda: len(listener.hellos()) > seen, timeout=15, step=0.2)
        hello = parse(listener.hellos()[seen]).find("s:Body/d:Hello/d:Scopes", NS).text.split()
        answers = probe(probe_text())
        assert len(answers) == 1
        matches = parse(answers[0]).find(
            "s:Body/d:ProbeMatches/d:ProbeMatch/d:Scopes", NS).text.split()
        status, text = soap("<tds:GetScopes/>")
        assert status == 200
        get = [e.text for e in ET.fromstring(text.encode()).iter() if e.tag.endswith("}ScopeItem")]
        status, text = soap("<tds:RemoveScopes><tds:ScopeItem>%s</ScopeItem></tds:RemoveScopes>"
                            % (SCOPE + "room/none"))
        assert status == 200
        removed = [e.text for e in ET.fromstring(text.encode()).iter()
                   if e.tag.endswith("}ScopeItem")]
        assert hello[5:] == [SCOPE + "name/OLM", user, SCOPE + "room/two"]  # the model: not cv...
        assert matches == hello and get == hello and removed == hello

    def test_probe_naming_an_announced_scope_is_answered(self, camera):
        _, listener = camera
        assert wait_for(lambda: listener.hellos(), timeout=20, step=0.2)
        announced = parse(listener.hellos()[-1]).find("s:Body/d:Hello/d:Scopes", NS).text.split()
        cases = [(scope, True) for scope in announced] + [
            (SCOPE + "Profile", True), (SCOPE + "location/nowhere", False),
            (SCOPE + "Profile/Streaming " + SCOPE + "location/nowhere", False)]
        got = []
        for scopes, _ in cases:
            answers = probe(probe_text(body=NVT + "<d:Scopes>%s</d:Scopes>" % scopes), seconds=1)
            got.append((scopes, len(answers) == 1 and "<d:ProbeMatches>" in answers[0]["text"]))
        assert got == cases

    @pytest.mark.parametrize("datagram", [
        "x",
        "<Body><Probe>",
        probe_text().replace(NS["d"], "urn:other"),
        probe_text().replace("d:Probe>", "d:Resolve>"),
        probe_text().replace("d:Probe>", "d:ProbeMatches>"),
    ], ids=["one-byte", "bare-body-and-probe", "probe-of-another-namespace",
            "envelope-without-probe", "probe-matches"])
    def test_datagram_that_is_not_a_probe_gets_no_answer(self, camera, datagram):
        assert probe(datagram, seconds=1) == []

    def test_burst_from_one_source_is_limited_and_another_source_is_answered(self, camera):
        other = "10.99.0.3"
        subprocess.run(in_lan(["ip", "addr", "add", other + "/24", "dev", "lan0"]), check=True)
        try:
            answers = probe(probe_text(), seconds=1, count=100)
            assert 1 <= len(answers) <= 20
            assert len(probe(probe_text(), seconds=1, local=other)) == 1
        finally:
            subprocess.run(in_lan(["ip", "addr", "del", other + "/24", "dev", "lan0"]))


    def test_sources_taking_turns_draw_at_most_the_budget_and_a_client_is_answered(self, camera):
        # 40 addresses (an unprivileged sender) take turns at 600 probes a second for 3 s; a
        # client at another address probes three times in a second meanwhile.
        attackers = ["10.99.0.%d" % n for n in range(100, 100 + ROTATING)]
        client = "10.99.0.4"
        for address in attackers + [client]:
            subprocess.run(in_lan(["ip", "addr", "add", address + "/24", "dev", "lan0"]),
                           check=True)
        path = write_run_file("rotate.xml", probe_text())
        received = udp_received()
        try:
            with open(HELPER) as script:
                flood = subprocess.Popen(
                    in_lan(NOBODY + ["/usr/bin/python3", "-", "rotate", CAMERA, attackers[0],
                                     str(ROTATING), "600", "3", path]),
                    stdin=script, stdout=subprocess.PIPE, text=True)
            # The client probes once a second's flood has reached the camera (its burst is spent).
            assert wait_for(lambda: udp_received() - received >= 600, timeout=20)
            answered = [len(probe(probe_text(), seconds=0.3, local=client)) for _ in range(3)]
            drawn = json.loads(flood.communicate(timeout=60)[0])
        finally:
            for address in attackers + [client]:
                subprocess.run(in_lan(["ip", "addr", "del", address + "/24", "dev", "lan0"]))
        assert drawn["sent"] >= 1500
        # A second's burst and 3 s at the budget (50 answers, 80000 bytes a second).
        assert drawn["answers"] <= 50 * 4 and drawn["bytes"] <= 80000 * 4, drawn
        assert sum(answered) >= 1, answered


def test_upnp_2_silences_discovery_and_the_process_still_stops(settings):
    set_setting("CAM", "upnp", "2")
    listener = Listener(30)
    nvtd = Nvtd()
    try:
        assert wait_for(lambda: "starting discovery thread" in nvtd.output(), timeout=10)
        started = time.monotonic()
        assert probe(probe_text(), seconds=2) == []
        # No Hello by the time the first would have gone: 5 s after the loop starts, which
        # follows the thread's start by its settings reads (the wait is the assertion).
        time.sleep(max(0.0, started + 7.5 - time.monotonic()))
        assert listener.hellos() == []
    finally:
        listener.stop()
        set_setting("CAM", "upnp", "1")
        status = nvtd.stop()
    assert status == 0
    assert "waiting for discovery thread" in nvtd.output()


def test_stop_and_start_run_discovery_again(settings):
    drive = subprocess.Popen(program("nvtd", "discovery", "discovery-drive"), text=True,
                             stdin=subprocess.PIPE, stdout=subprocess.PIPE)

    def command(line):
        drive.stdin.write(line + "\n")
        drive.stdin.flush()
        while True:
            out = drive.stdout.readline()
            assert out, "discovery-drive ended"
            if out.startswith("ok "):
                return out

    def numbers():
        answers = probe(probe_text())
        return [re.search(r'MessageNumber="(\d+)"', m["text"]).group(1) for m in answers]

    try:
        command("start %d" % PORT)
        assert wait_for(lambda: numbers() == ["1"], timeout=10, step=0.1)
        assert numbers() == ["2"]
        command("stop")
        assert numbers() == []
        command("stop")  # a second stop on a stopped service returns too
        command("start %d" % PORT)
        assert wait_for(lambda: numbers() == ["1"], timeout=10, step=0.1)  # a fresh sequence
    finally:
        drive.stdin.close()
        status = drive.wait(timeout=20)
    assert status == 0  # also the sanitizers' verdict
