"""nvtd while the settings server is stopped or hung (SIGSTOP), in server and relay mode:
operations whose answer rests on settings get the receiver fault (HTTP 500, ter:Action)
within a few seconds instead of defaults that look like data; operations that need no
settings keep answering; answers come back once the server does."""
import os
import signal
import subprocess
import threading
import time

import pytest

from camera import program, wait_for, write_accounts
from nvtd_relay import start_persistent
from onvif_soap import Answer, envelope, post, security, serving
from onvif_validate import validate
from settingsd import Settingsd

PORT = 8087
USER, PASSWORD = "operator", "op-secret"
FORWARDER = program("testbed", "forwarder", "nvtd-forwarder")

# (path, operation element) of operations whose answers rest on the settings server.
NEEDS_SETTINGS = [
    ("/onvif/device_service", "<tds:GetDeviceInformation/>"),
    ("/onvif/device_service", "<tds:GetScopes/>"),
    ("/onvif/media_service", "<trt:GetProfiles/>"),
    ("/onvif/media_service", "<trt:GetVideoEncoderConfigurations/>"),
    ("/onvif/media_service",
     "<trt:GetSnapshotUri><trt:ProfileToken>stream1</trt:ProfileToken></trt:GetSnapshotUri>"),
]
# Operations that need no settings server.
NEEDS_NONE = ["<tds:GetSystemDateAndTime/>", "<tds:GetHostname/>", "<tds:GetNetworkInterfaces/>"]


def call(path, body):
    return post(envelope(body, security(USER, PASSWORD)), PORT, path=path, timeout=15)


def check_unavailable(answer):
    assert answer.status == "HTTP/1.0 500 Internal Server Error", answer.raw[:300]
    reason, subcodes = answer.fault()
    assert subcodes == ["ter:Action"] and "try again later" in reason


@pytest.fixture(scope="module")
def camera():
    write_accounts((USER, PASSWORD, "administrator"))
    settings = Settingsd()
    nvtd = subprocess.Popen(program("nvtd", "nvtd") + ["--port", str(PORT)],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        assert wait_for(lambda: serving(PORT), timeout=30)
        yield {"settings": settings}
    finally:
        nvtd.terminate()
        nvtd.wait(timeout=15)
        try:
            os.kill(settings.proc.pid, signal.SIGCONT)
        except ProcessLookupError:
            pass
        settings.stop()


def all_served():
    return all(call(path, body).status == "HTTP/1.0 200 OK" for path, body in NEEDS_SETTINGS)


def test_a_stopped_settings_server_gives_the_receiver_fault_not_defaults(camera, tmp_path):
    assert all_served()
    camera["settings"].stop()
    try:
        answers = [call(path, body) for path, body in NEEDS_SETTINGS]
        for answer in answers:
            check_unavailable(answer)
            assert b"Bounds" not in answer.body and b"Model" not in answer.body
        for body in NEEDS_NONE:
            assert call("/onvif/device_service", body).status == "HTTP/1.0 200 OK", body
        validate(tmp_path, *(answer.raw.decode() for answer in answers))
    finally:
        camera["settings"] = Settingsd()
    assert wait_for(all_served, timeout=30)


def test_a_hung_settings_server_costs_each_request_a_bounded_time(camera):
    settings = camera["settings"]
    os.kill(settings.proc.pid, signal.SIGSTOP)
    try:
        took = []
        for path, body in NEEDS_SETTINGS + NEEDS_SETTINGS[:1]:
            start = time.monotonic()
            check_unavailable(call(path, body))
            took.append(time.monotonic() - start)
        assert max(took) < 4.5, took
        # The hung server is remembered: after the first, requests fail at once.
        assert sum(took) < 8, took
        start = time.monotonic()
        assert call("/onvif/device_service", NEEDS_NONE[0]).status == "HTTP/1.0 200 OK"
        assert time.monotonic() - start < 1
    finally:
        os.kill(settings.proc.pid, signal.SIGCONT)
    assert wait_for(all_served, timeout=30)


def forward(body):
    data = envelope(body).encode()
    env = {"PATH": "/usr/bin:/bin", "REQUEST_METHOD": "POST", "CONTENT_LENGTH": str(len(data)),
           "REQUEST_URI": "/onvif/device_service", "CONTENT_TYPE": "application/soap+xml"}
    return subprocess.run(FORWARDER, input=data, capture_output=True, env=env, timeout=30)


@pytest.mark.parametrize("outage", ["stopped", "hung"])
def test_relay_forwarders_are_answered_in_bounded_time_during_an_outage(camera, outage, tmp_path):
    settings = camera["settings"]
    server, fd = start_persistent("--noauth")
    results = {}

    def one(name, body):
        start = time.monotonic()
        results[name] = (forward(body), time.monotonic() - start)

    try:
        # nvtd has found its settings (its start-up waits for them) and serves.
        assert b"GetDeviceInformationResponse" in forward(NEEDS_SETTINGS[0][1]).stdout
        if outage == "stopped":
            settings.stop()
        else:
            os.kill(settings.proc.pid, signal.SIGSTOP)
        work = [("info%d" % i, NEEDS_SETTINGS[0][1]) for i in range(4)]
        work += [("date", NEEDS_NONE[0]), ("scopes", NEEDS_SETTINGS[1][1])]
        threads = [threading.Thread(target=one, args=item) for item in work]
        for t in threads:
            t.start()
        for t in threads:
            t.join(timeout=30)
        assert set(results) == {name for name, _ in work}
        for name, (r, took) in results.items():
            assert r.returncode == 0 and took < 8, (name, took, r.stdout)
            fault = r.stdout.startswith(b"HTTP/1.0 500 Internal Server Error\r\n")
            assert fault == (name != "date"), (name, r.stdout)
        validate(tmp_path, results["info0"][0].stdout.decode(), results["date"][0].stdout.decode())
    finally:
        if outage == "hung":
            os.kill(settings.proc.pid, signal.SIGCONT)
        else:
            camera["settings"] = Settingsd()
        os.close(fd)
        server.stop()
