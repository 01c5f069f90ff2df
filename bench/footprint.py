#!/usr/bin/python3
"""Footprint of one build's programs, run inside the camera sandbox by bench/footprint.sh:
stripped sizes of the four programs and the image library, and resident memory of nvtd in
server mode over 10,000 requests (after 1,000 and after 10,000: no growth allowed) and over
1,000 authenticated ones, as clients send them (each with a fresh UsernameToken), of
soundtap feeding six u-law consumers and one AAC consumer, and of irswitchd running.

Under the emulator the figures are the camera program's own: the resident pages of the
emulated 32-bit address space, which qemu keeps at QEMU_GUEST_BASE, sampled every 20 ms
(qemu's code cache and heap are not the program's). On the host they are VmRSS and the
kernel's peak VmHWM.
    footprint.py BUILD_DIR
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

BUILD = os.path.abspath(sys.argv[1])
SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
GUEST_BASE = 0x100000000000


def emulator_of(build):
    """The emulator CTest puts in front of this build's programs ("" on the host)."""
    with open(os.path.join(build, "tests", "CTestTestfile.cmake")) as f:
        m = re.search(r"CAMERA_EMULATOR=([^;\"]*)", f.read())
    return m.group(1).strip() if m else ""


EMULATOR = emulator_of(BUILD)
os.environ.update(CAMERA_BUILD_DIR=BUILD, CAMERA_SOURCE_DIR=SOURCE, CAMERA_EMULATOR=EMULATOR)
if EMULATOR:
    os.environ["QEMU_GUEST_BASE"] = hex(GUEST_BASE)
# The client helpers, and the settings server's package (testbed/settingsd).
sys.path[:0] = [os.path.join(SOURCE, "testbed", "client"), os.path.join(SOURCE, "testbed")]
from camera import program, wait_for, write_accounts  # noqa: E402
from nvtd_relay import http_exchange, soap_post  # noqa: E402
from onvif_soap import security  # noqa: E402
from settingsd import Settingsd  # noqa: E402
from soundtap_rig import Soundtap, g711_ulaw, tone_s16  # noqa: E402
from vcam import ImageServer, Vcam, catch_console  # noqa: E402


def resident_kb(pid):
    """The program's resident memory now, in kB (0 once it is gone)."""
    try:
        if not EMULATOR:
            with open("/proc/%d/status" % pid) as f:
                return int(re.search(r"^VmRSS:\s+(\d+)", f.read(), re.M).group(1))
        total, inside = 0, False
        with open("/proc/%d/smaps" % pid) as f:
            for line in f:
                head = re.match(r"^([0-9a-f]+)-[0-9a-f]+ ", line)
                if head:
                    inside = GUEST_BASE <= int(head.group(1), 16) < GUEST_BASE + 2**32
                elif inside and line.startswith("Rss:"):
                    total += int(line.split()[1])
        return total
    except (OSError, AttributeError):
        return 0


class Sampler:
    """Follows one process's resident memory; peak() is VmHWM on the host, the largest
    sample under the emulator."""

    def __init__(self, pid):
        self.pid, self.max, self.done = pid, 0, False
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        while not self.done:
            self.max = max(self.max, resident_kb(self.pid))
            time.sleep(0.02)

    def peak(self):
        self.max = max(self.max, resident_kb(self.pid))
        if not EMULATOR:
            with open("/proc/%d/status" % self.pid) as f:
                return int(re.search(r"^VmHWM:\s+(\d+)", f.read(), re.M).group(1))
        return self.max

    def stop(self):
        self.done = True
        self.thread.join()


def stripped_sizes():
    prefix = "arm-linux-gnueabihf-" if EMULATOR else ""
    scratch = tempfile.mkdtemp(dir="/tmp")
    rows = []
    size = subprocess.run([prefix + "size", "-t", os.path.join(BUILD, "imagelib/libimagelib.a")],
                          capture_output=True, text=True, check=True).stdout.splitlines()[-1]
    # The camera build links with link-time optimisation: its library holds compiler IR, whose
    # size says nothing about the code; the programs' sizes count it.
    lto = size.split()[3] == "0"
    parts = ["nvtd/nvtd", "soundtap/soundtap", "irswitchd/irswitchd", "motiond/motiond",
             "lensctl/lensctl"] + ([] if lto else ["imagelib/libimagelib.a"])
    for part in parts:
        copy = os.path.join(scratch, os.path.basename(part))
        shutil.copy(os.path.join(BUILD, part), copy)
        # A library keeps the symbols it is linked by; only its debug sections go.
        flags = ["--strip-debug"] if part.endswith(".a") else ["--strip-all"]
        subprocess.run([prefix + "strip"] + flags + [copy], check=True)
        rows.append((part, os.path.getsize(copy)))
    shutil.rmtree(scratch)
    if lto:
        return rows, "link-time optimised: counted in the programs, no"
    return rows, "text+data+bss %s" % size.split()[3]


REQUESTS = [
    ("http://www.onvif.org/ver10/device/wsdl/GetDeviceInformation",
     "<tds:GetDeviceInformation/>"),
    ("http://www.onvif.org/ver10/device/wsdl/GetSystemDateAndTime",
     "<tds:GetSystemDateAndTime/>"),
    ("http://www.onvif.org/ver10/media/wsdl/GetProfiles", "<trt:GetProfiles/>"),
    ("http://www.onvif.org/ver10/device/wsdl/GetCapabilities", "<tds:GetCapabilities/>"),
    ("http://example/GetFrobnication", "<GetFrobnication/>"),
]
ENVELOPE = ('<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" '
            'xmlns:tds="http://www.onvif.org/ver10/device/wsdl" '
            'xmlns:trt="http://www.onvif.org/ver10/media/wsdl">%s<s:Body>%s</s:Body></s:Envelope>')
PREPARED = [soap_post((ENVELOPE % ("", body)).encode(), action=action)
            for action, body in REQUESTS]
ACCOUNT = ("footprint", "footprint-pass", "administrator")


def serve(count, start, auth=False):
    """count requests on fresh connections; returns how many were answered (with auth:
    how many were answered 200)."""
    answered = 0
    for i in range(start, start + count):
        if auth:
            action, body = REQUESTS[i % len(REQUESTS)]
            header = security(ACCOUNT[0], ACCOUNT[1])
            request = soap_post((ENVELOPE % (header, body)).encode(), action=action)
            answered += http_exchange(8080, request).startswith(b"HTTP/1.0 200 ")
        elif http_exchange(8080, PREPARED[i % len(PREPARED)]).startswith(b"HTTP/1.0 "):
            answered += 1
    return answered


def listening():
    import socket
    try:
        socket.create_connection(("127.0.0.1", 8080), timeout=0.2).close()
        return True
    except OSError:
        return False


def nvtd_figures():
    settings = Settingsd(state="/run/settingsd-footprint")
    proc = subprocess.Popen(program("nvtd", "nvtd") + ["--port", "8080", "--noauth"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        assert wait_for(listening, timeout=30), "nvtd does not listen"
        sampler = Sampler(proc.pid)
        started = time.monotonic()
        answered = serve(1000, 0)
        at_1000 = (resident_kb(proc.pid), sampler.peak())
        answered += serve(9000, 1000)
        at_10000 = (resident_kb(proc.pid), sampler.peak())
        seconds = time.monotonic() - started
        sampler.stop()
    finally:
        proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=15)
        settings.stop()
    return answered, at_1000, at_10000, seconds


def nvtd_authenticated_figures(count=1000):
    """Resident and peak memory after count authenticated requests (the cipher and the
    fresh-token table in use, as on a camera that clients log in to)."""
    write_accounts(ACCOUNT)
    settings = Settingsd(state="/run/settingsd-footprint-auth")
    proc = subprocess.Popen(program("nvtd", "nvtd") + ["--port", "8080"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        assert wait_for(listening, timeout=30), "nvtd does not listen"
        sampler = Sampler(proc.pid)
        ok = serve(count, 0, auth=True)
        figures = (resident_kb(proc.pid), sampler.peak())
        sampler.stop()
    finally:
        proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=15)
        settings.stop()
    return ok, figures


def soundtap_figure(args, consumers, data, rate, seconds=8):
    st = Soundtap(args, data, rate).start()
    try:
        sampler = Sampler(st.proc.pid)
        for i in range(consumers):
            st.register("footprint%d" % i)
        time.sleep(seconds)
        sizes = [os.path.getsize("/tmp/footprint%d.out" % i) for i in range(consumers)]
        peak = sampler.peak()
        sampler.stop()
    finally:
        st.stop()
    return peak, sizes


def irswitchd_figure(seconds=14):
    """irswitchd of this build on the virtual camera (in the camera build, its sim variant),
    through day into night, so it also runs this build's lensctl for the filter."""
    catch_console()
    seam = os.path.join(BUILD, "vcam-seam") if EMULATOR else BUILD
    with open("/usr/local/bin/lensctl", "w") as f:  # the sandbox's overlay
        f.write('#!/bin/sh\nexec %s "%s" "$@"\n' % (EMULATOR, os.path.join(seam, "lensctl", "lensctl")))
    os.chmod("/usr/local/bin/lensctl", 0o755)
    server = ImageServer()
    cam = Vcam(pace="real")
    cam.write("scene", "day 3\nnight 600\n")
    binary = os.path.join(seam, "irswitchd", "irswitchd")
    proc = subprocess.Popen(([EMULATOR] if EMULATOR else []) + [binary], env=cam.env(),
                            stdout=subprocess.DEVNULL)
    try:
        sampler = Sampler(proc.pid)
        time.sleep(seconds)
        peak, state = sampler.peak(), cam.state()
        sampler.stop()
    finally:
        proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=15)
        server.stop()
    return peak, state.get("reads", "0"), state.get("filter", "?")


def main():
    kind = "armhf under %s (guest pages)" % os.path.basename(EMULATOR) if EMULATOR else "host"
    print("== footprint of %s: %s" % (BUILD, kind))
    rows, library = stripped_sizes()
    for part, size in rows:
        print("stripped %-24s %9d bytes" % (part, size))
    print("image library %s bytes" % library)

    answered, (rss1, hwm1), (rss10, hwm10), seconds = nvtd_figures()
    print("nvtd --port: %d of 10000 requests answered in %.0f s" % (answered, seconds))
    print("nvtd after  1000 requests: resident %6d kB, peak %6d kB" % (rss1, hwm1))
    print("nvtd after 10000 requests: resident %6d kB, peak %6d kB" % (rss10, hwm10))
    growth = rss10 - rss1
    print("nvtd growth 1000 -> 10000 requests: %+d kB" % growth)
    # GetFrobnication is no operation: four of the five kinds are answered 200.
    ok, (rss_auth, hwm_auth) = nvtd_authenticated_figures()
    print("nvtd after 1000 authenticated requests (%d answered 200): resident %6d kB, peak %6d kB"
          % (ok, rss_auth, hwm_auth))

    rate = 8000
    ulaw = g711_ulaw(tone_s16(1.0, rate))
    peak, sizes = soundtap_figure(["--ulaw", "--samplerate", rate], 6, ulaw, rate)
    print("soundtap --ulaw, 6 consumers: peak %6d kB (consumers got %s bytes)" % (peak, sizes))
    pcm = tone_s16(1.0, 16000)
    peak, sizes = soundtap_figure(["--aac", "--samplerate", 16000, "--bitrate", 32000], 1, pcm,
                                  32000)
    print("soundtap --aac, 1 consumer:   peak %6d kB (consumer got %s bytes)" % (peak, sizes))
    peak, reads, position = irswitchd_figure()
    print("irswitchd (virtual camera):   peak %6d kB (%s statistics reads, filter %s)" %
          (peak, reads, position))
    # Allocator noise is a few pages; a leak per request would be tens of kB by 10,000.
    return 0 if answered == 10000 and growth <= 16 and ok == 800 else 1


if __name__ == "__main__":
    sys.exit(main())
