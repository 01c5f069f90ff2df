"""Stored values come back escaped: every setter gets markup in every field it stores, and
every getter's reply must still parse as one XML document."""
import subprocess

import pytest

from camera import program, wait_for, write_accounts
from onvif_soap import envelope, post, security, serving

pytestmark = pytest.mark.usefixtures("settings_server")

PORT = 8091
USER, PASSWORD = "boss", "b-pass"
MARKUP = "a<b>&c\"d'e"  # every character that can end an element or attribute early

SETTERS = [
    ("/onvif/device_service",
     "<tds:SetDNS><tds:FromDHCP>false</tds:FromDHCP><tds:SearchDomain>%s</tds:SearchDomain>"
     "</tds:SetDNS>"),
    ("/onvif/device_service",
     "<tds:AddScopes><tds:ScopeItem>onvif://www.onvif.org/location/%s</tds:ScopeItem>"
     "</tds:AddScopes>"),
    ("/onvif/media_service",
     "<trt:CreateProfile><trt:Name>n%s</trt:Name><trt:Token>t%s</trt:Token></trt:CreateProfile>"),
]
GETTERS = [
    ("/onvif/device_service", "<tds:GetDNS/>"),
    ("/onvif/device_service", "<tds:GetUsers/>"),
    ("/onvif/device_service", "<tds:GetScopes/>"),
    ("/onvif/device_service", "<tds:GetHostname/>"),
    ("/onvif/device_service", "<tds:GetNTP/>"),
    ("/onvif/device_service", "<tds:GetNetworkInterfaces/>"),
    ("/onvif/device_service", "<tds:GetDeviceInformation/>"),
    ("/onvif/media_service", "<trt:GetProfiles/>"),
]


@pytest.fixture(scope="module")
def camera():
    # CreateUsers refuses markup in a name; useradd writes it, and GetUsers must escape it.
    write_accounts((USER, PASSWORD, "administrator"), (MARKUP, "pw", "user"))
    nvtd = subprocess.Popen(program("nvtd", "nvtd") + ["--port", str(PORT)],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        assert wait_for(lambda: serving(PORT), timeout=30)
        yield
    finally:
        nvtd.terminate()
        nvtd.wait(timeout=15)


def call(path, body):
    return post(envelope(body, security(USER, PASSWORD)), PORT, path=path)


def test_stored_markup_comes_back_escaped(camera):
    for path, body in SETTERS:
        answer = call(path, body.replace("%s", MARKUP))
        assert "Response>" in answer.text, (body, answer.text[-300:])
    for path, body in GETTERS:
        answer = call(path, body)
        root = answer.xml()  # raises when the reply is not one well-formed document
        assert root.tag.endswith("}Envelope"), body
    texts = [e.text or "" for path, body in GETTERS for e in call(path, body).xml().iter()]
    # The profile's name and token come back whole; the rest of each value where a field cut it.
    assert "n" + MARKUP in texts and "a<b>&c\"d'e" in "".join(texts)
