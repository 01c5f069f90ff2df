# ctest-labels: tsan
"""Network configuration and device control over HTTP (nvtd --port 8080 --noauth) against
the sandbox's live eth0, network files and stand-ins (reboot, reset script, ifup, udhcpc,
killall, the interfaces rewriter), with the settings stand-in for CAM; the processes nvtd
starts while answering reads (strace), and a local user's files planted where a rewrite of
the interfaces file could pick them up."""
import json
import os
import re
import signal
import socket
import stat
import subprocess
import time
import xml.etree.ElementTree as ET

import pytest

from camera import EMULATOR, SOURCE_DIR, fake_calls, in_lan, program, ptrace_env, wait_for
from nvtd_relay import http_exchange, soap_post, split_response, start_server
from onvif_soap import envelope, security

pytestmark = pytest.mark.usefixtures("settings_server")

PORT = 8080
NS = {"s": "http://www.w3.org/2003/05/soap-envelope",
      "tds": "http://www.onvif.org/ver10/device/wsdl",
      "tt": "http://www.onvif.org/ver10/schema",
      "ter": "http://www.onvif.org/ver10/error"}
TEXT = b"Content-Type: text/plain\r\n\r\n"
WSD_HELPER = os.path.join(SOURCE_DIR, "testbed", "client", "wsd_probe.py")
NETWORK_FILES = ("/etc/network/interfaces", "/etc/resolv.conf", "/etc/hostname")


@pytest.fixture
def camera():
    """A fresh nvtd (so the in-memory values start over) and the sandbox's network put
    back afterwards."""
    saved = {p: open(p).read() for p in NETWORK_FILES}
    server = start_server(PORT, "--noauth")
    yield server
    server.stop()
    errors = server.err()
    for alarm in ("ThreadSanitizer", "AddressSanitizer", "LeakSanitizer", "runtime error"):
        assert alarm not in errors, errors
    for path, text in saved.items():
        with open(path, "w") as f:
            f.write(text)
    subprocess.run(["hostname", saved["/etc/hostname"].strip()], check=True)
    subprocess.run(["ip", "addr", "flush", "dev", "eth0"], check=True)
    subprocess.run(["ip", "addr", "add", "10.99.0.2/24", "dev", "eth0"], check=True)
    subprocess.run(["ip", "route", "replace", "default", "via", "10.99.0.1"], check=True)


class Reply:
    def __init__(self, raw):
        self.raw = raw

    @property
    def text(self):
        """The body of a text reply (no status line, no envelope)."""
        assert self.raw.startswith(TEXT), self.raw[:200]
        return self.raw[len(TEXT):].decode()

    def soap(self, status="200 OK"):
        head, body = split_response(self.raw)
        assert head[0] == "HTTP/1.0 " + status, head
        length = [int(h.split(": ")[1]) for h in head if h.startswith("Content-Length: ")]
        assert length == [len(body)]
        return ET.fromstring(body)

    def fault_subcode(self):
        root = self.soap("400 Bad Request")
        values = root.findall(".//s:Fault/s:Code//s:Subcode/s:Value", NS)
        return values[-1].text


def read_reply(sock, early):
    """A response read to the end of the connection: nvtd closes it when the handler is
    done, also with what it does after replying. With early, only up to its Content-Length,
    so the reply is seen while nvtd still holds the connection."""
    data = b""
    while True:
        if early and data.startswith(b"HTTP/") and b"\r\n\r\n" in data:
            head, body = split_response(data)
            length = [int(h.split(": ")[1]) for h in head if h.startswith("Content-Length: ")]
            if length and len(body) >= length[0]:
                return data
        chunk = sock.recv(65536)
        if not chunk:
            return data
        data += chunk


def call(operation, inner="", sock_out=None):
    body = ('<?xml version="1.0" encoding="UTF-8"?><s:Envelope xmlns:s="%s" xmlns:tds="%s" '
            'xmlns:tt="%s"><s:Body><tds:%s>%s</tds:%s></s:Body></s:Envelope>'
            % (NS["s"], NS["tds"], NS["tt"], operation, inner, operation)).encode()
    sock = socket.create_connection(("127.0.0.1", PORT), timeout=30)
    sock.sendall(soap_post(body))
    if sock_out is not None:
        sock_out.append(sock)
        return Reply(read_reply(sock, early=True))
    with sock:
        return Reply(read_reply(sock, early=False))


def interface(address=None, prefix=None, dhcp="false", token="eth0"):
    manual = ""
    if address is not None:
        manual += "<tt:Address>%s</tt:Address>" % address
    if prefix is not None:
        manual += "<tt:PrefixLength>%s</tt:PrefixLength>" % prefix
    token_element = "<tds:InterfaceToken>%s</tds:InterfaceToken>" % token if token else ""
    return call("SetNetworkInterfaces", token_element + "<tds:NetworkInterface>"
                "<tt:Enabled>true</tt:Enabled><tt:IPv4><tt:Enabled>true</tt:Enabled>"
                "<tt:Manual>%s</tt:Manual><tt:DHCP>%s</tt:DHCP></tt:IPv4>"
                "</tds:NetworkInterface>" % (manual, dhcp))


def ipv4_config():
    root = call("GetNetworkInterfaces").soap()
    config = root.find(".//tds:NetworkInterfaces/tt:IPv4/tt:Config", NS)
    form = config[0]
    return (form.tag.split("}")[1], form.find("tt:Address", NS).text,
            int(form.find("tt:PrefixLength", NS).text), config.find("tt:DHCP", NS).text)


def eth0_addresses():
    out = subprocess.run(["ip", "-o", "-4", "addr", "show", "dev", "eth0"], capture_output=True,
                         text=True, check=True).stdout
    return [line.split()[3] for line in out.splitlines()]


def changes_since(mark):
    return fake_calls()[mark:]


def test_get_network_interfaces_reports_the_live_interface(camera):
    root = call("GetNetworkInterfaces").soap()
    nic = root.find("s:Body/tds:GetNetworkInterfacesResponse/tds:NetworkInterfaces", NS)
    assert nic.get("token") == "eth0"
    assert nic.find("tt:Info/tt:HwAddress", NS).text == "02:00:0A:63:00:02"
    assert nic.find("tt:Info/tt:MTU", NS).text == "1500"
    assert nic.find("tt:Link/tt:InterfaceType", NS).text == "6"
    assert ipv4_config() == ("Manual", "10.99.0.2", 24, "false")
    assert "handle_get_net_if: dhcp is 0\n" in camera.out()


@pytest.mark.parametrize("prefix,length", [("32", 32), ("16", 16), ("1", 1)])
def test_prefix_length_follows_the_live_netmask(camera, prefix, length):
    subprocess.run(["ip", "addr", "flush", "dev", "eth0"], check=True)
    subprocess.run(["ip", "addr", "add", "10.99.0.2/" + prefix, "dev", "eth0"], check=True)
    assert ipv4_config() == ("Manual", "10.99.0.2", length, "false")


def test_refusals_change_nothing(camera):
    mark = len(fake_calls())
    assert interface("10.99.0.3", "24", token="eth1").text == "Invalid interface eth1\n"
    assert interface("10.99.0.3", "24", token=None).text == "Invalid interface \n"
    assert interface("10.99.0.3", "0").text == "Invalid prefix 0\n"
    assert interface("10.99.0.3", "33").text == "Invalid prefix 33\n"
    assert changes_since(mark) == []
    assert eth0_addresses() == ["10.99.0.2/24"]


def test_prefix_without_address_changes_only_the_netmask(camera):
    mark = len(fake_calls())
    root = interface(prefix="16").soap()
    assert root.find(".//tds:SetNetworkInterfacesResponse/tds:RebootNeeded", NS).text == "false"
    assert changes_since(mark) == [
        "killall udhcpc",
        "changeInterface.awk device=eth0 mode=static address=10.99.0.2 netmask=255.255.0.0 "
        "gateway=10.99.0.1",
        "S98avahi-daemon stop", "ifup -f eth0", "S98avahi-daemon start"]
    assert eth0_addresses() == ["10.99.0.2/16"]
    assert ipv4_config() == ("Manual", "10.99.0.2", 16, "false")
    assert "handle_set_network_interfaces: setting static ip \n" in camera.out()


def test_static_address_is_applied_and_reported(camera):
    interface("10.99.0.7", "24").soap()
    assert eth0_addresses() == ["10.99.0.7/24"]
    assert "address 10.99.0.7\nnetmask 255.255.255.0\n" in open("/etc/network/interfaces").read()
    assert "setting static ip 10.99.0.7\n" in camera.out()
    # The camera is reached on its new address from the LAN side.
    r = subprocess.run(in_lan(["/usr/bin/python3", "-c", "import socket; socket.create_connection("
                               "('10.99.0.7', %d), timeout=5).close()" % PORT]), timeout=30)
    assert r.returncode == 0


def test_dhcp_with_an_address_writes_only_the_dhcp_record(camera):
    mark = len(fake_calls())
    interface("10.99.0.3", "16", dhcp="true").soap()
    calls = changes_since(mark)
    assert calls[0] == "changeInterface.awk device=eth0 mode=dhcp address= netmask= gateway="
    assert "ifup -f eth0" in calls and any(c.startswith("udhcpc ") for c in calls)
    assert not any("mode=static" in c or c == "killall udhcpc" for c in calls)
    assert eth0_addresses() == ["10.99.0.100/24"]  # the DHCP stand-in's lease
    assert ipv4_config() == ("FromDHCP", "10.99.0.100", 24, "true")
    assert "handle_set_network_interfaces: enabling DHCP\n" in camera.out()


def test_gateway_while_on_dhcp_turns_the_interface_static(camera):
    interface(dhcp="true").soap()
    mark = len(fake_calls())
    root = call("SetNetworkDefaultGateway",
                "<tds:IPv4Address>10.99.0.254</tds:IPv4Address>").soap()
    assert root.find("s:Body/tds:SetNetworkDefaultGatewayResponse", NS) is not None
    assert changes_since(mark)[:2] == [
        "killall udhcpc",
        "changeInterface.awk device=eth0 mode=static address=10.99.0.100 "
        "netmask=255.255.255.0 gateway=10.99.0.254"]
    assert ipv4_config() == ("Manual", "10.99.0.100", 24, "false")
    gateway = call("GetNetworkDefaultGateway").soap()
    assert gateway.find(".//tds:NetworkGateway/tt:IPv4Address", NS).text == "10.99.0.254"
    assert call("SetNetworkDefaultGateway").text == "Gateway not specified\n"


def dns():
    info = call("GetDNS").soap().find("s:Body/tds:GetDNSResponse/tds:DNSInformation", NS)
    return {child.tag.split("}")[1]: (child.text if len(child) == 0 else
                                      child.find("tt:IPv4Address", NS).text)
            for child in info}


def test_dns_from_dhcp_writes_nothing_and_reports_the_dhcp_server(camera):
    interface(dhcp="true").soap()
    resolv = open("/etc/resolv.conf").read()
    call("SetDNS", "<tds:FromDHCP>true</tds:FromDHCP><tds:DNSManual><tt:Type>IPv4</tt:Type>"
                   "<tt:IPv4Address>10.99.0.53</tt:IPv4Address></tds:DNSManual>").soap()
    assert open("/etc/resolv.conf").read() == resolv
    assert dns() == {"FromDHCP": "true", "DNSFromDHCP": "10.99.0.1"}


def test_dns_search_domain_alone_and_a_manual_server(camera):
    assert dns() == {"FromDHCP": "false", "DNSManual": "10.99.0.1"}
    call("SetDNS", "<tds:FromDHCP>false</tds:FromDHCP>"
                   "<tds:SearchDomain>cams.example</tds:SearchDomain>").soap()
    assert dns() == {"FromDHCP": "false", "SearchDomain": "cams.example"}
    call("SetDNS", "<tds:FromDHCP>false</tds:FromDHCP><tds:DNSManual><tt:Type>IPv4</tt:Type>"
                   "<tt:IPv4Address>10.99.0.53</tt:IPv4Address></tds:DNSManual>").soap()
    assert open("/etc/resolv.conf").read() == "nameserver 10.99.0.53\n"
    assert dns() == {"FromDHCP": "false", "DNSManual": "10.99.0.53"}


def hostname_now():
    return subprocess.run(["hostname"], capture_output=True, text=True).stdout.strip()


@pytest.mark.parametrize("name", ["gate-cam", "7"])
def test_hostname_accepted(camera, name):
    root = call("SetHostname", "<tds:Name>%s</tds:Name>" % name).soap()
    assert root.find("s:Body/tds:SetHostnameResponse", NS) is not None
    assert open("/etc/hostname").read() == name + "\n"
    assert hostname_now() == name
    got = call("GetHostname").soap()
    assert got.find(".//tds:HostnameInformation/tt:Name", NS).text == name
    assert got.find(".//tds:HostnameInformation/tt:FromDHCP", NS).text == "false"


@pytest.mark.parametrize("inner", ["<tds:Name>-cam</tds:Name>", "<tds:Name>cam-</tds:Name>",
                                   "<tds:Name>cam_1</tds:Name>", "<tds:Name></tds:Name>", ""])
def test_hostname_refused(camera, inner):
    mark = len(fake_calls())
    assert call("SetHostname", inner).fault_subcode() == "ter:InvalidHostname"
    assert hostname_now() == "camera" and changes_since(mark) == []


def protocols():
    root = call("GetNetworkProtocols").soap()
    return [(p.find("tt:Name", NS).text, p.find("tt:Enabled", NS).text,
             int(p.find("tt:Port", NS).text))
            for p in root.findall(".//tds:NetworkProtocols", NS)]


def test_network_protocols_are_kept_in_memory(camera):
    assert protocols() == [("HTTP", "false", 80), ("RTSP", "true", 554)]
    entry = ("<tds:NetworkProtocols><tt:Name>RTSP</tt:Name><tt:Enabled>false</tt:Enabled>"
             "<tt:Port>8554</tt:Port></tds:NetworkProtocols>")
    assert call("SetNetworkProtocols", entry).soap().find(
        "s:Body/tds:SetNetworkProtocolsResponse", NS) is not None
    assert protocols() == [("HTTP", "false", 80), ("RTSP", "false", 8554)]
    assert call("SetNetworkProtocols", "<tds:NetworkProtocols><tt:Name>FTP</tt:Name>"
                "<tt:Enabled>true</tt:Enabled><tt:Port>21</tt:Port></tds:NetworkProtocols>"
                ).fault_subcode() == "ter:ServiceNotSupported"
    assert "handle_set_network_protocols: FTP unsupported\n" in camera.out()
    assert call("SetNetworkProtocols", "<tds:NetworkProtocols><tt:Name>HTTP</tt:Name>"
                "<tt:Enabled>true</tt:Enabled></tds:NetworkProtocols>"
                ).fault_subcode() == "ter:ConfigModify"
    assert protocols() == [("HTTP", "false", 80), ("RTSP", "false", 8554)]


def test_fixed_answers(camera):
    ntp = call("GetNTP").soap()
    assert ntp.find(".//tds:NTPInformation/tt:FromDHCP", NS).text == "false"
    set_ntp = call("SetNTP").soap()
    assert set_ntp.find("s:Header", NS) is not None
    assert set_ntp.find("s:Body/tds:SetNTPResponse", NS) is not None
    zero = call("GetZeroConfiguration").soap().find(".//tds:ZeroConfiguration", NS)
    assert zero.find("tt:InterfaceToken", NS).text == "eth0"
    assert zero.find("tt:Enabled", NS).text == "false"


@pytest.mark.parametrize("kind,reset", [("hard", "reset_factory.sh "),
                                        ("Soft", "reset_factory.sh saveip"),
                                        ("", "reset_factory.sh saveip")])
def test_factory_default_then_reboot(camera, kind, reset):
    mark = len(fake_calls())
    root = call("SetSystemFactoryDefault",
                "<tds:FactoryDefault>%s</tds:FactoryDefault>" % kind).soap()
    assert root.find("s:Body/tds:SetSystemFactoryDefaultResponse", NS) is not None
    assert changes_since(mark) == [reset, "reboot -d 3"]


def test_factory_default_without_a_type(camera):
    mark = len(fake_calls())
    assert call("SetSystemFactoryDefault").text == "Factory reset type not specified\n"
    assert changes_since(mark) == []


def test_system_reboot_replies_before_rebooting(camera):
    hold = "/run/camera-fakes/hold.reboot"
    os.makedirs(os.path.dirname(hold), exist_ok=True)
    open(hold, "w").close()
    socks = []
    try:
        # While the reboot stand-in is held, nvtd sits in the reboot command: the whole
        # reply must already be here.
        root = call("SystemReboot", sock_out=socks).soap()
        assert root.find(".//tds:SystemRebootResponse/tds:Message", NS).text == \
            "The system is rebooting now."
        assert wait_for(lambda: "reboot -d 3" in fake_calls(), timeout=10)
    finally:
        os.remove(hold)
        for s in socks:
            s.close()


def test_system_reboot_drops_the_queued_hellos(camera):
    if EMULATOR:
        pytest.skip("qemu-user lacks setsockopt(IP_MULTICAST_IF): no discovery socket")
    # The discovery loop queues two start-up Hellos, the first due 5 seconds after it starts,
    # sent when the loop next wakes; a reboot requested before then drops them.
    assert wait_for(lambda: "starting discovery loop\n" in camera.out(), timeout=10)
    started = time.monotonic()
    call("SystemReboot").soap()
    assert wait_for(lambda: "reboot -d 3" in fake_calls(), timeout=10)
    # Past the due time a probe wakes the loop, which sends what is due before it answers.
    time.sleep(max(0.0, started + 5.1 - time.monotonic()))
    assert probe_answers() != []
    assert "hello bytes" not in camera.out()


EVENTS_WSDL = "http://www.onvif.org/ver10/events/wsdl"


def events_call(operation, body, header=""):
    envelope = ('<?xml version="1.0" encoding="UTF-8"?><s:Envelope xmlns:s="%s" '
                'xmlns:a="http://www.w3.org/2005/08/addressing" xmlns:tev="%s"><s:Header>%s'
                '</s:Header><s:Body>%s</s:Body></s:Envelope>'
                % (NS["s"], EVENTS_WSDL, header, body))
    with socket.create_connection(("127.0.0.1", PORT), timeout=30) as sock:
        sock.sendall(soap_post(envelope.encode(), action=EVENTS_WSDL + operation,
                               uri="/onvif/events_service"))
        return read_reply(sock, early=True).decode(errors="replace")


def test_readdressing_queues_a_hello_and_gives_events_the_new_address(camera):
    answer = events_call("/EventPortType/CreatePullPointSubscriptionRequest",
                         "<tev:CreatePullPointSubscription/>")
    assert "http://10.99.0.2:%d/onvif/events_service/SubscriptionManager=0<" % PORT in answer
    interface("10.99.0.7", "24").soap()
    # A Hello is queued to announce the new address.
    assert "pend 1 hello's\n" in camera.out()
    # The pull point, made before the change, now speaks of the new address.
    answer = events_call("/PullPointSubscription/PullMessagesRequest",
                         "<tev:PullMessages><tev:Timeout>PT5S</tev:Timeout><tev:MessageLimit>5"
                         "</tev:MessageLimit></tev:PullMessages>",
                         "<SubscriptionId>0</SubscriptionId>"
                         "<a:MessageID>urn:uuid:pull</a:MessageID>")
    assert "http://10.99.0.7:%d/onvif/events_service/SubscriptionManager=0<" % PORT in answer
    assert "10.99.0.2" not in answer


def wsd(*args):
    return subprocess.Popen(in_lan(["/usr/bin/python3", WSD_HELPER] + list(args)),
                            stdout=subprocess.PIPE, text=True)


def camera_datagrams(proc, timeout):
    out, _ = proc.communicate(timeout=timeout)
    return [m for m in map(json.loads, out.splitlines())
            if "from" in m and m["from"].startswith("10.99.0.2:")]


def probe_answers():
    path = "/run/netcfg-probe.xml"
    with open(path, "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?><s:Envelope xmlns:s="%s" '
                'xmlns:a="http://schemas.xmlsoap.org/ws/2004/08/addressing" '
                'xmlns:d="http://schemas.xmlsoap.org/ws/2005/04/discovery"><s:Header>'
                '<a:MessageID>uuid:5f3c1d2e-0000-4000-8000-0000000000aa</a:MessageID>'
                '<a:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe</a:Action>'
                '</s:Header><s:Body><d:Probe/></s:Body></s:Envelope>' % NS["s"])
    return camera_datagrams(wsd("probe", "2", path), timeout=30)


def discovery_mode():
    root = call("GetDiscoveryMode").soap()
    return root.find(".//tds:DiscoveryMode", NS).text


@pytest.mark.skipif(bool(EMULATOR), reason="qemu-user lacks setsockopt(IP_MULTICAST_IF): no "
                    "discovery socket under the emulator")
def test_non_discoverable_stops_hellos_and_is_written(camera, settings_server):
    listener = wsd("listen", "12")
    assert json.loads(listener.stdout.readline()) == {"ready": True}
    assert discovery_mode() == "Discoverable"
    # Before the first start-up Hello is due (5 seconds after the start).
    call("SetDiscoveryMode", "<tds:DiscoveryMode>NonDiscoverable</tds:DiscoveryMode>").soap()
    assert discovery_mode() == "NonDiscoverable"
    assert "nvtd_discoverable = 0\n" in settings_server.section_file("CAM")
    assert probe_answers() == []
    heard = camera_datagrams(listener, timeout=30)
    assert [m for m in heard if "/discovery/Hello<" in m["text"]] == []
    call("SetDiscoveryMode", "<tds:DiscoveryMode>Sometimes</tds:DiscoveryMode>").soap()
    assert discovery_mode() == "NonDiscoverable"
    call("SetDiscoveryMode", "<tds:DiscoveryMode>Discoverable</tds:DiscoveryMode>").soap()
    assert discovery_mode() == "Discoverable"
    assert "nvtd_discoverable = 1\n" in settings_server.section_file("CAM")
    assert wait_for(lambda: len(probe_answers()) == 1, timeout=20, step=0.5)


INJECTIONS = ["1.2.3.4;touch /tmp/x", "$(touch /tmp/x)", "`touch /tmp/x`",
              "1.2.3.4\ntouch /tmp/x", '1.2.3.4" ; touch "/tmp/x', "1.2.3.4' ; touch '/tmp/x",
              "1.2.3.4 mode=dhcp", "1.2.3.4|touch /tmp/x",
              # Leading zeros: octal to inet_aton and the resolver.
              "01.02.03.004", "10.99.0.010"]


def test_injection_in_every_address_field_leaves_no_trace(camera):
    files = {p: open(p).read() for p in NETWORK_FILES}
    mark = len(fake_calls())
    for value in INJECTIONS:
        assert interface(value, "24").text == "Invalid address %s\n" % value
        assert interface("10.99.0.3", value).text == "Invalid prefix %s\n" % value
        manual = ("<tds:DNSManual><tt:Type>IPv4</tt:Type><tt:IPv4Address>%s</tt:IPv4Address>"
                  "</tds:DNSManual>" % value)
        assert call("SetDNS", manual).text == "Failed to set DNS\n"
        assert call("SetNetworkDefaultGateway",
                    "<tds:IPv4Address>%s</tds:IPv4Address>" % value).text == \
            "Failed to set gateway\n"
        assert call("SetHostname", "<tds:Name>%s</tds:Name>" % value).fault_subcode() == \
            "ter:InvalidHostname"
    assert not os.path.exists("/tmp/x")
    assert changes_since(mark) == []
    assert {p: open(p).read() for p in NETWORK_FILES} == files
    assert eth0_addresses() == ["10.99.0.2/24"] and hostname_now() == "camera"
    assert dns() == {"FromDHCP": "false", "DNSManual": "10.99.0.1"}


READS = [("/onvif/device_service", "<tds:GetDeviceInformation/>"),
         ("/onvif/device_service", "<tds:GetNetworkInterfaces/>"),
         ("/onvif/device_service", "<tds:GetDNS/>"),
         ("/onvif/device_service", "<tds:GetNetworkDefaultGateway/>"),
         ("/onvif/device_service", "<tds:GetHostname/>"),
         ("/onvif/device_service", "<tds:GetScopes/>"),
         ("/onvif/media_service", "<trt:GetProfiles/>"),
         ("/onvif/media_service",
          "<trt:GetStreamUri><trt:StreamSetup><tt:Stream>RTP-Unicast</tt:Stream><tt:Transport>"
          "<tt:Protocol>RTSP</tt:Protocol></tt:Transport></trt:StreamSetup>"
          "<trt:ProfileToken>stream1</trt:ProfileToken></trt:GetStreamUri>")]


def started_processes(trace_lines):
    """Processes (not threads) begun in an strace -f log of clone, clone3, fork, vfork and
    execve: every fork or vfork, every clone without CLONE_THREAD, every execve."""
    found = []
    for line in trace_lines:
        call = re.match(r"\d+\s+(clone3?|fork|vfork|execve)\(", line)
        if call and (call.group(1) not in ("clone", "clone3") or "CLONE_THREAD" not in line):
            found.append(line)
    return found


def test_read_only_requests_start_no_process(settings_server):
    """100 authenticated reads, the NETWORK section among them, start no process; the
    password cipher's provider was loaded before them, at start-up."""
    users = "/etc/nvtd/users"
    os.makedirs("/etc/nvtd", exist_ok=True)
    saved = open(users).read() if os.path.exists(users) else None
    added = subprocess.run(program("nvtd", "nvtd") + ["useradd", "reader", "r-pass",
                                                      "administrator"],
                           capture_output=True, text=True, timeout=10, check=True).stdout
    with open(users, "w") as f:
        f.write(added)
    port, trace = 8095, "/tmp/nvtd-processes.trace"
    proc = subprocess.Popen(["strace", "-f", "-qq", "-e",
                             "trace=clone,clone3,fork,vfork,execve,openat",
                             "-o", trace] + program("nvtd", "nvtd") + ["--port", str(port)],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            stdin=subprocess.DEVNULL, env=ptrace_env())
    try:
        assert wait_for(lambda: _accepts(port), timeout=20)
        with open(trace) as f:
            at_start = len(f.readlines())
        for i in range(100):
            uri, body = READS[i % len(READS)]
            answer = http_exchange(port, soap_post(
                envelope(body, security("reader", "r-pass")).encode(), uri=uri), timeout=30)
            assert answer.startswith(b"HTTP/1.0 200 OK"), (body, answer[:300])
        with open(trace) as f:
            during = f.read().splitlines()[at_start:]
        assert started_processes(during) == []
        assert [line for line in during if "legacy.so" in line] == []
        # The trace does see processes (nvtd's own execve) and the provider at the start.
        with open(trace) as f:
            before = f.read().splitlines()[:at_start]
        assert started_processes(before)
        assert [line for line in before if "legacy.so" in line]
    finally:
        # nvtd is strace's child, the first pid in the log: ending it ends strace.
        with open(trace) as f:
            first = f.readline().split()
        if first and first[0].isdigit():
            os.kill(int(first[0]), signal.SIGTERM)
        try:
            proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(timeout=10)
        if saved is None:
            os.remove(users)
        else:
            with open(users, "w") as f:
                f.write(saved)


def _accepts(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
        return True
    except OSError:
        return False


def as_nobody(command):
    subprocess.run(["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "sh", "-c",
                    command], check=True, timeout=10)


@pytest.mark.parametrize("planted", ["file", "symlink"])
def test_planted_temporary_file_is_never_used(camera, planted):
    """A local user's file or link at the old fixed temporary name in /tmp: the rewrite
    neither moves it into place nor writes through it."""
    secret = "/etc/root-only"
    with open(secret, "w") as f:
        f.write("secret\n")
    os.chmod(secret, 0o600)
    if planted == "file":
        as_nobody("umask 0; echo 'up touch /tmp/owned' > /tmp/interfaces.tmp")
    else:
        as_nobody("ln -s %s /tmp/interfaces.tmp" % secret)
    try:
        interface("10.99.0.7", "24").soap()
        assert open(secret).read() == "secret\n"
        st = os.lstat("/etc/network/interfaces")
        assert stat.S_ISREG(st.st_mode) and st.st_uid == 0 and st.st_gid == 0
        assert stat.S_IMODE(st.st_mode) == 0o644
        assert "address 10.99.0.7\n" in open("/etc/network/interfaces").read()
        assert os.lstat("/tmp/interfaces.tmp").st_uid != 0  # still the planter's
        assert [n for n in os.listdir("/etc/network") if n.startswith(".interfaces.")] == []
    finally:
        for path in (secret, "/tmp/interfaces.tmp"):
            if os.path.lexists(path):
                os.remove(path)
        # Put a root-owned regular file back for the fixture to refill.
        if os.path.islink("/etc/network/interfaces") or \
                os.lstat("/etc/network/interfaces").st_uid != 0:
            os.remove("/etc/network/interfaces")
            open("/etc/network/interfaces", "w").close()
