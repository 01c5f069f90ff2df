"""The settings client against the settings-server stand-in, and the NETWORK section
against the sandbox's live network (through the settings-probe test tool), its DHCP state
and gateway compared with what grep, awk and netstat show for the same files and routes."""
import os
import re
import subprocess

import pytest

from camera import fake_calls, program, ptrace_env, wait_for
from settingsd import Settingsd

PEERS = ["1.1.1.2", "2.2.2.3", "3.3.3.4"]


def probe(*args):
    r = subprocess.run(program("nvtd", "getset", "settings-probe") + list(args),
                       capture_output=True, text=True, timeout=60)
    assert r.returncode == 0, r.stderr
    lines = r.stdout.split("\n")
    at = next(i for i, line in enumerate(lines) if line.startswith("result "))  # after traces
    return lines[at], "\n".join(lines[at + 1:]), r.stderr


@pytest.fixture(scope="module")
def server():
    s = Settingsd()
    yield s
    s.stop()


@pytest.fixture
def settings(server):
    server.set_faults([])
    mark = len(server.entries())
    server.since = lambda **m: [e for e in server.entries()[mark:]
                                if "event" not in e and all(e.get(k) == v for k, v in m.items())]
    yield server
    server.set_faults([])


def test_unknown_section_opens_no_socket(settings):
    # strace comes with testbed/install-deps. Under the emulator it sees the emulator's
    # calls, which carry the program's socket calls through.
    trace = "/tmp/probe.trace"
    cmd = ["strace", "-f", "-qq", "-e", "trace=socket,connect", "-o", trace] + \
        program("nvtd", "getset", "settings-probe")
    r = subprocess.run(cmd + ["get", "NOSUCH"], capture_output=True, text=True, timeout=30,
                       env=ptrace_env())
    assert r.stdout.startswith("result -1\n")
    assert "failed to map section name NOSUCH\n" in r.stderr
    with open(trace) as f:
        assert "AF_INET" not in f.read()
    assert settings.since() == []
    # The same trace does see the exchange of a known section.
    r = subprocess.run(cmd + ["get", "INFO"], capture_output=True, text=True, timeout=30,
                       env=ptrace_env())
    assert r.stdout.startswith("result 0\n"), r.stdout + r.stderr
    with open(trace) as f:
        assert "AF_INET" in f.read()


def test_extended_sections_go_to_the_mainboard_on_20006(settings):
    with open("/etc/mainboardip.conf", "w") as f:
        f.write("10.99.0.2\n")
    try:
        first, text, _ = probe("get", "EXTINFO", "2.2.2.3")
    finally:
        os.remove("/etc/mainboardip.conf")
    assert first == "result 0" and 'board = "mainboard"' in text
    assert [(e["addr"], e["port"], e["section"]) for e in settings.since()] == [
        ("10.99.0.2", 20006, "EXTINFO")]


def test_non_zero_status_gives_success_without_records(settings):
    settings.set_faults([{"fault": "status", "section": "INFO", "status": 5}])
    first, value, _ = probe("value", "INFO", "model")
    assert first == "result -1 get 0 int -1" and value == "<missing>\n"
    first, value, _ = probe("value", "CAM", "http_port")
    assert first == "result 0 get 0 int 80"


def test_replies_in_pieces_slow_replies_and_closed_connections(settings):
    settings.set_faults([{"fault": "pieces", "section": "ENCODE"},
                         {"fault": "slow", "section": "STREAM0", "delay": 0.3},
                         {"fault": "close", "section": "STREAM1"}])
    assert probe("value", "ENCODE", "s3_fps")[0] == "result 0 get 0 int 15"
    assert probe("value", "STREAM0", "s0_N")[0] == "result 0 get 0 int 30"
    assert probe("get", "STREAM1")[0] == "result -5"


def set_lines(settings):
    return [(e["addr"], e["section"], e["lines"]) for e in settings.since(cmd=101)]


def test_image_set_reaches_the_server_then_each_line_each_board_in_order(settings):
    assert probe("set", "IMAGE", "brightness = 3", "contrast = 4")[0] == "result 0"
    assert set_lines(settings) == (
        [("127.0.0.1", "IMAGE", ["brightness = 3", "contrast = 4"])]
        + [(p, "IMAGE", ["brightness = 3"]) for p in PEERS]
        + [(p, "IMAGE", ["contrast = 4"]) for p in PEERS])
    assert "contrast = 4\n" in settings.section_file("IMAGE")
    assert "brightness = 3\n" in settings.section_file("IMAGE", board="3.3.3.4")


def test_unreachable_board_fails_the_set_and_later_boards_are_not_contacted(settings):
    settings.set_faults([{"fault": "unreachable", "addr": "2.2.2.3"}])
    first, _, err = probe("set", "STREAM2", "s2_N = 10", "s2_cbr_avg_bps = 900000")
    assert first == "result -1"
    assert "client: failed to connect" in err
    assert set_lines(settings) == [("127.0.0.1", "STREAM2", ["s2_N = 10", "s2_cbr_avg_bps = 900000"]),
                                   ("1.1.1.2", "STREAM2", ["s2_N = 10"])]
    assert settings.since(addr="3.3.3.4") == []


def test_only_listed_sections_and_lines_are_repeated(settings):
    assert probe("set", "ENCODE", "s0_fps = 20", "s2_fps = 5")[0] == "result 0"
    assert probe("set", "CAM", "nvtd_discoverable = 0", "ir_mode = 1")[0] == "result 0"
    assert probe("setint", "MOTION", "motion_enable", "1")[0] == "result 0"
    assert set_lines(settings) == (
        [("127.0.0.1", "ENCODE", ["s0_fps = 20", "s2_fps = 5"])]
        + [(p, "ENCODE", ["s0_fps = 20"]) for p in PEERS]
        + [("127.0.0.1", "CAM", ["nvtd_discoverable = 0", "ir_mode = 1"])]
        + [(p, "CAM", ["ir_mode = 1"]) for p in PEERS]
        + [("127.0.0.1", "MOTION", ["motion_enable = 1"])])
    assert probe("value", "ENCODE", "s2_fps")[0] == "result 0 get 0 int 5"


def network_values():
    first, text, _ = probe("get", "NETWORK")
    assert first == "result 0"
    values = {}
    for line in text.splitlines():
        key, _, value = line.partition(" = ")
        values[key] = value.strip('"')
    return values


@pytest.fixture
def live_network():
    """Restores the sandbox's network files and eth0 after a test that changes them."""
    saved = {p: open(p).read() for p in ("/etc/network/interfaces", "/etc/resolv.conf",
                                         "/etc/hostname")}
    yield
    for path, text in saved.items():
        with open(path, "w") as f:
            f.write(text)
    subprocess.run(["hostname", saved["/etc/hostname"].strip()])
    subprocess.run(["ip", "link", "del", "usb0"], stderr=subprocess.DEVNULL)
    subprocess.run(["ip", "link", "set", "eth0", "up"], check=True)
    subprocess.run(["ip", "addr", "flush", "dev", "eth0"], check=True)
    subprocess.run(["ip", "addr", "add", "10.99.0.2/24", "dev", "eth0"], check=True)
    subprocess.run(["ip", "route", "replace", "default", "via", "10.99.0.1"], check=True)


def test_network_get_reflects_the_live_interface(settings):
    values = network_values()
    link = subprocess.run(["ip", "-o", "link", "show", "eth0"], capture_output=True,
                          text=True).stdout.split()
    mac = link[link.index("link/ether") + 1].replace(":", "").upper()
    assert values == {"dhcp": "0", "ipaddress": "10.99.0.2", "netmask": "255.255.255.0",
                      "gateway": "10.99.0.1", "nameserver": "10.99.0.1", "hostname": "camera",
                      "hwaddr": mac}
    assert settings.since() == []  # built locally


def test_network_set_of_a_hostname_changes_only_the_host_name(settings, live_network):
    interfaces = open("/etc/network/interfaces").read()
    calls = len(fake_calls())
    assert probe("setstr", "NETWORK", "hostname", "gate-cam")[0] == "result 0"
    assert open("/etc/hostname").read() == "gate-cam\n"
    assert subprocess.run(["hostname"], capture_output=True, text=True).stdout == "gate-cam\n"
    assert fake_calls()[calls:] == ["upnp.sh condrestart hostname=gate-cam"]
    assert open("/etc/network/interfaces").read() == interfaces
    assert network_values()["ipaddress"] == "10.99.0.2"


def test_values_with_shell_metacharacters_never_reach_a_shell(settings, live_network):
    for key, value in (("hostname", "x;touch /tmp/pwned"), ("hostname", "$(touch /tmp/pwned)"),
                       ("nameserver", "1.1.1.1`touch /tmp/pwned`"),
                       ("ipaddress", "10.99.0.3 mode=dhcp"), ("gateway", "10.99.0.1;touch")):
        assert probe("setstr", "NETWORK", key, value)[0] == "result -1"
    assert not os.path.exists("/tmp/pwned")
    assert network_values()["hostname"] == "camera"


def test_dhcp_off_while_on_dhcp_sets_the_static_address_with_the_current_values(
        settings, live_network):
    assert probe("setint", "NETWORK", "dhcp", "1")[0] == "result 0"
    values = network_values()
    assert values["dhcp"] == "1" and values["ipaddress"] == "10.99.0.100"  # the stand-in lease
    calls = len(fake_calls())
    assert probe("setint", "NETWORK", "dhcp", "0")[0] == "result 0"
    assert fake_calls()[calls:] == [
        "killall udhcpc",
        "changeInterface.awk device=eth0 mode=static address=10.99.0.100 "
        "netmask=255.255.255.0 gateway=10.99.0.1",
        "S98avahi-daemon stop", "ifup -f eth0", "S98avahi-daemon start"]
    assert "iface eth0 inet static\naddress 10.99.0.100\n" in open("/etc/network/interfaces").read()
    values = network_values()
    assert (values["dhcp"], values["ipaddress"], values["gateway"]) == ("0", "10.99.0.100",
                                                                       "10.99.0.1")


def test_interface_choice_with_only_usb0_up_and_with_nothing_up(settings, live_network):
    subprocess.run(["ip", "link", "add", "usb0", "type", "veth", "peer", "name", "usb0peer"], check=True)
    subprocess.run(["ip", "addr", "add", "10.77.0.5/16", "dev", "usb0"], check=True)
    subprocess.run(["ip", "link", "set", "usb0peer", "up"], check=True)
    subprocess.run(["ip", "link", "set", "usb0", "up"], check=True)
    subprocess.run(["ip", "link", "set", "eth0", "down"], check=True)
    # A veth is running only once the kernel has seen its peer's carrier: a moment later.
    assert wait_for(lambda: probe("net", "iface")[1] == "usb0\n", timeout=5)
    values = network_values()
    assert (values["ipaddress"], values["netmask"]) == ("10.77.0.5", "255.255.0.0")
    subprocess.run(["ip", "link", "set", "usb0", "down"], check=True)
    assert probe("net", "iface")[1] == "eth0\n"


# The DHCP state and gateway are read from the interfaces file and the kernel's route table;
# the camera used to take them from `grep` and `netstat -rn` output. Each case runs in a
# fresh network and mount namespace (veth eth0 and wlan0, the case's routes, the case's
# interfaces file bound over the real one) where both are looked at.
ROUTES = {
    "none": "",
    "one": "ip route add default via 10.5.0.1 dev eth0",
    "several": "ip route add default via 10.6.0.1 dev wlan0 metric 1\n"
               "ip route add default via 10.5.0.1 dev eth0 metric 5\n"
               "ip route add default via 10.5.0.9 dev eth0 metric 9",
    "unreachable first": "ip route add unreachable default metric 1\n"
                         "ip route add default via 10.5.0.7 dev eth0 metric 5",
    "host route only": "ip route add 0.0.0.0/32 via 10.5.0.1 dev eth0",
    "outside the subnet": "ip route add default via 192.0.2.1 dev eth0 onlink",
    "eth0 down": "ip route add default via 10.5.0.1 dev eth0\nip link set eth0 down\n"
                 "ip route add default via 10.6.0.1 dev wlan0",
}
STATIC = b"auto eth0\niface eth0 inet static\naddress 10.5.0.2\ngateway 192.168.5.1\n"
INTERFACES = [
    b"auto eth0\niface eth0 inet dhcp\n",
    b"# iface eth0 inet dhcp\niface eth0 inet static\n",
    b"iface wlan0 inet dhcp\niface eth0 inet dhcp\n",
    b"iface eth0 inet dhcp",
    b"x" * 520 + b" eth0 dhcp\n",
    b"dhcp eth0 " + b"x" * 520 + b"\n",
    b"iface eth0 inet dhcp\n\0\n",
    b"#gateway 192.168.9.9\ngateway 10.0.0.1\n",
    b"# gateway 10.0.0.1\ngateway 10.0.0.2\n",
    b"  gateway\t10.0.0.1x\r\n",
    b"gateway\n",
    b"gateway\x0b10.0.0.1\n",
    b"gateway 1.2.3.4.5\n",
    b"",
]

PROBE_AND_COMMANDS = """set -e
ip link add eth0 type veth peer name eth0peer
ip link add wlan0 type veth peer name wlan0peer
for link in eth0peer wlan0peer eth0 wlan0; do ip link set $link up; done
ip addr add 10.5.0.2/24 dev eth0
ip addr add 10.6.0.2/24 dev wlan0
%s
mount --bind "$1" /etc/network/interfaces
netstat -rn; echo @@
grep dhcp /etc/network/interfaces || true; echo @@
grep gateway /etc/network/interfaces | awk '{print $2}'; echo @@
shift; "$@" net iface; echo @@; "$@" net dhcp; echo @@; "$@" net gateway
"""


def pieces(text, size=512):
    """The pieces a C reader gets with fgets into size bytes."""
    out, at = [], 0
    while at < len(text):
        end = text.find("\n", at)
        end = len(text) if end < 0 else end + 1
        end = min(end, at + size - 1)
        out.append(text[at:end])
        at = end
    return out


def from_commands(netstat, grep_dhcp, awk_gateway, name):
    """(dhcp, gateway) as the camera took them from the commands' output."""
    lines = pieces(grep_dhcp)
    dhcp = "1" if lines and name in lines[0] else "0"
    for line in pieces(netstat):
        f = [x for x in re.split("[ \t]", line) if x]
        g = [x for x in re.split("[ \t\r\n]", line) if x]
        if f and f[0] == "0.0.0.0" and len(f) >= 4 and len(g) >= 8 and g[7] == name \
                and f[3] == "UG":
            return dhcp, f[1]
    lines = pieces(awk_gateway)
    if not lines or lines[0][0] not in "0123456789":
        return dhcp, ""
    return dhcp, re.match("[0-9.]*", lines[0]).group()


def read_both(routes, interfaces):
    path = "/run/interfaces-case"
    with open(path, "wb") as f:
        f.write(interfaces)
    r = subprocess.run(["unshare", "--mount", "--net", "sh", "-c", PROBE_AND_COMMANDS % routes,
                        "case", path] + program("nvtd", "getset", "settings-probe"),
                       capture_output=True, timeout=60)
    assert r.returncode == 0, r.stderr
    netstat, grep_dhcp, awk_gateway, iface, dhcp, gateway = \
        r.stdout.decode("latin-1").split("@@\n")
    name = iface.split("\n")[1]
    probed = tuple(text[text.index("result "):].split("\n")[1] for text in (dhcp, gateway))
    return probed, from_commands(netstat, grep_dhcp, awk_gateway, name)


@pytest.mark.parametrize("routes", sorted(ROUTES))
def test_gateway_is_the_one_netstat_showed(routes):
    probed, commands = read_both(ROUTES[routes], STATIC)
    assert probed == commands


def test_dhcp_state_and_gateway_are_the_ones_grep_and_awk_gave():
    for interfaces in INTERFACES:
        probed, commands = read_both("", interfaces)
        assert probed == commands, interfaces
