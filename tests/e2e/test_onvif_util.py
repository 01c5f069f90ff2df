"""A third-party ONVIF client, libonvif's command-line tool onvif-util (Debian package
onvif-tools), against the sandboxed camera from the LAN side: it finds the camera by a
WS-Discovery probe, logs in with an account made by `nvtd useradd` and reads capabilities,
time, profiles, stream addresses, video and network settings, which must be the settings
stand-in's section values and the sandbox's own addresses.

onvif-util keeps one Nonce for a whole session and stamps Created to the millisecond, so two
of its requests in the same millisecond carry the same token (on the sandbox's veth in about
every other session). nvtd runs with its default settings: the same token again from the same
address within a second of its first use passes, so every session works; the wrong password
is still refused."""
import os
import re
import shutil
import subprocess

import pytest

from camera import EMULATOR, SOURCE_DIR, in_lan, program, wait_for, write_accounts
from onvif_soap import serving
from settingsd import Settingsd

# Debian 12's qemu-user (7.2) does not translate setsockopt(IP_MULTICAST_IF): nvtd has no
# discovery socket under the emulator, and onvif-util finds a camera only by probing.
pytestmark = pytest.mark.skipif(
    bool(EMULATOR), reason="qemu-user lacks setsockopt(IP_MULTICAST_IF): no discovery socket "
    "under the emulator, and onvif-util finds the camera only by probing")

CAMERA = "10.99.0.2"
PORT = 80
USER, PASSWORD = "installer", "tool-secret-7"
SECTIONS = os.path.join(SOURCE_DIR, "testbed", "settingsd", "sections")


def section(name):
    values = {}
    with open(os.path.join(SECTIONS, name)) as f:
        for line in f:
            key, _, value = line.partition(" = ")
            values[key.strip()] = value.strip().strip('"')
    return values


def stream_values(n):
    """What the settings stand-in holds for stream n (profile stream<n+1>)."""
    encode, rate = section("ENCODE"), section("STREAM%d" % n)
    packed = int(encode["s%d_resolution" % n])
    return {"width": packed >> 16, "height": packed & 0xFFFF, "fps": encode["s%d_fps" % n],
            "gov": rate["s%d_N" % n], "kbps": int(rate["s%d_cbr_avg_bps" % n]) // 1000}


def sandbox_values():
    """The sandbox's eth0 address, default gateway, name server and time-zone rule."""
    out = subprocess.run(["ip", "-4", "-o", "addr", "show", "eth0"], capture_output=True,
                         text=True, timeout=10, check=True).stdout
    address = re.search(r"inet (\S+)/", out).group(1)
    out = subprocess.run(["ip", "-4", "route", "show", "default"], capture_output=True,
                         text=True, timeout=10, check=True).stdout
    gateway = re.search(r"default via (\S+)", out).group(1)
    with open("/etc/resolv.conf") as f:
        dns = re.search(r"^nameserver\s+(\S+)", f.read(), re.M).group(1)
    with open("/etc/localtime", "rb") as f:
        zone = f.read().rstrip(b"\n").rsplit(b"\n", 1)[1].decode()
    values = {"ip": address, "gateway": gateway, "dns": dns, "zone": zone,
              "model": section("INFO")["model"]}
    for n in (0, 1):
        values.update({"%s%d" % (k, n): v for k, v in stream_values(n).items()})
    return values


# Interactive command -> lines its answer must hold ({names} from sandbox_values()).
CASES = [
    ("get capabilities", ["name:   OLM {model}", "/onvif/events_service"]),
    ("get time", ["Timezone:    {zone}", "Time Set By: Manual"]),
    ("get profiles", ["Token 0: stream1", "Token 1: stream2"]),
    ("get rtsp 0", ["Profile set to stream1", "rtsp://{ip}/onvif/stream1"]),
    ("get rtsp 1", ["Profile set to stream2", "rtsp://{ip}/onvif/stream2"]),
    ("get video 0", ["Resolution: {width0} x {height0}", "Frame Rate: {fps0}",
                     "Gov Length: {gov0}", "Bit Rate:   {kbps0}"]),
    ("get video 1", ["Resolution: {width1} x {height1}", "Frame Rate: {fps1}",
                     "Gov Length: {gov1}", "Bit Rate:   {kbps1}"]),
    ("get network", ["IP Address: {ip}", "Gateway:    {gateway}", "DNS:        {dns}",
                     "DHCP:       NO"]),
]


def onvif_util(*args, stdin=""):
    """One run of the tool on the LAN side; its exit status and everything it printed."""
    run = subprocess.run(in_lan([shutil.which("onvif-util")] + list(args)), input=stdin,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                         timeout=60)
    return run.returncode, run.stdout


def session(commands, password=PASSWORD):
    return onvif_util("-u", USER, "-p", password, CAMERA,
                      stdin="".join(c + "\n" for c in commands + ["quit"]))


@pytest.fixture(scope="module")
def camera():
    if not shutil.which("onvif-util"):
        pytest.skip("onvif-util is not installed (testbed/install-deps installs onvif-tools)")
    write_accounts((USER, PASSWORD, "administrator"))
    settings = Settingsd()
    nvtd = subprocess.Popen(
        program("nvtd", "nvtd") + ["--port", str(PORT)],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        assert wait_for(lambda: serving(PORT), timeout=30)
        yield sandbox_values()
    finally:
        nvtd.terminate()
        nvtd.wait(timeout=15)
        settings.stop()


def test_probing_finds_the_camera(camera):
    # The discovery thread opens its socket once the settings are read: probe until it answers.
    def listing():
        out = onvif_util("-a")[1]
        return out if CAMERA in out else ""

    found = wait_for(listing, timeout=30, step=1)
    assert "Found 1 cameras" in found
    assert "%s camera(OLM %s)" % (CAMERA, camera["model"]) in found


@pytest.mark.parametrize("command,expected", CASES, ids=[c for c, _ in CASES])
def test_session_command_reads_the_camera(camera, command, expected):
    status, out = session([command])
    assert status == 0, out
    assert "successfully connected to host" in out
    assert "ERROR" not in out, out
    for text in expected:
        assert text.format(**camera) in out, out
    if command == "get time":
        # The tool's offset from the camera's clock: both read the sandbox's clock, a
        # second boundary between the two readings aside.
        assert re.search(r"Time Offset: -?[01] seconds", out), out


def test_wrong_password_is_refused(camera):
    status, out = session(["get profiles"], password="not-the-password")
    assert status != 0
    assert "wsse:FailedAuthentication" in out
    assert "Token 0" not in out
