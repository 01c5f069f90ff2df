"""Media2's profiles on nvtd in server mode: the service's address and capabilities in
GetServices and GetServiceCapabilities, GetProfiles by token and type, CreateProfile,
AddConfiguration, RemoveConfiguration and DeleteProfile with their ver20 faults, one store
seen through both media services, the change events both services raise, and a user-level
account that reads but does not change; and the address behind the web server's forwarder
(the relay mode). Every Media2 answer is checked against ONVIF's schemas."""
import os
import re
import subprocess
import xml.etree.ElementTree as ET

import pytest

from camera import program
from nvtd_relay import start_persistent
from events_rig import (EVENTS_WSDL, PORT, TT, WSNT, Nvtd, call, create_pull_point, pull,
                        read_answer)
from onvif_soap import SOAP, TDS, TRT, post, security
from onvif_validate import validate

TR2 = "http://www.onvif.org/ver20/media/wsdl"
MEDIA2 = "/onvif/media2_service"
ADMIN = ("boss", "boss-secret")
VIEWER = ("viewer", "view-secret")
NS = {"s": SOAP, "tr2": TR2, "tt": TT, "trt": TRT, "tds": TDS}


class Camera:
    """nvtd with an administrator and a user account; every Media2 answer is kept and checked
    against the schemas once the test is done with it."""

    def __init__(self, tmp_path):
        self.folder = tmp_path
        self.nvtd = Nvtd(tmp_path, (ADMIN + ("administrator",), VIEWER + ("user",)))
        self.answers = []

    def send(self, body, path=MEDIA2, account=ADMIN, keep=True):
        header = security(*account) if account else ""
        text = ('<?xml version="1.0" encoding="UTF-8"?><s:Envelope xmlns:s="%s" xmlns:tr2="%s" '
                'xmlns:trt="%s" xmlns:tds="%s" xmlns:tt="%s">%s<s:Body>%s</s:Body></s:Envelope>'
                % (SOAP, TR2, TRT, TDS, TT, header, body))
        answer = post(text, PORT, path=path)
        if keep:
            self.answers.append(answer.raw.decode())
        return answer

    def tr2(self, operation, inner="", **kw):
        return self.send("<tr2:%s>%s</tr2:%s>" % (operation, inner, operation), **kw)

    def check_answers(self):
        validate(self.folder, *self.answers)


@pytest.fixture
def camera(tmp_path):
    cam = Camera(tmp_path)
    try:
        yield cam
    finally:
        cam.nvtd.stop()
    cam.check_answers()


def ref(kind, token=None):
    return ("<tr2:Configuration><tr2:Type>%s</tr2:Type>%s</tr2:Configuration>"
            % (kind, "<tr2:Token>%s</tr2:Token>" % token if token else ""))


def subcode(answer):
    fault = answer.fault()
    return fault[1][-1] if fault else None


def media2_profiles(camera, inner="<tr2:Type>All</tr2:Type>"):
    """{token: {configuration type: token}} of GetProfiles, fixed flags checked."""
    root = camera.tr2("GetProfiles", inner).xml()
    found = {}
    for profile in root.findall(".//tr2:GetProfilesResponse/tr2:Profiles", NS):
        assert profile.get("fixed") == ("true" if profile.get("token").startswith("stream")
                                        else "false")
        configs = profile.find("tr2:Configurations", NS)
        found[profile.get("token")] = {} if configs is None else {
            c.tag.split("}")[1]: c.get("token") for c in configs}
    return found


def media1_profiles(camera):
    root = camera.send("<trt:GetProfiles/>", path="/onvif/media_service", keep=False).xml()
    return {p.get("token"): [c.get("token") for c in p if c.get("token")]
            for p in root.findall(".//trt:GetProfilesResponse/trt:Profiles", NS)}


def test_the_service_is_listed_with_its_capabilities(camera):
    services = camera.send("<tds:GetServices><tds:IncludeCapability>true</tds:IncludeCapability>"
                           "</tds:GetServices>", path="/onvif/device_service").xml()
    entries = {s.findtext("tds:Namespace", namespaces=NS): s
               for s in services.iter("{%s}Service" % TDS)}
    media2 = entries[TR2]
    assert media2.findtext("tds:XAddr", namespaces=NS).endswith(":%d%s" % (PORT, MEDIA2))
    listed = media2.find("tds:Capabilities/tr2:Capabilities", NS)
    # Open to anyone, and the same as the service's own answer.
    own = camera.tr2("GetServiceCapabilities", account=None).xml()
    caps = own.find(".//tr2:GetServiceCapabilitiesResponse/tr2:Capabilities", NS)
    for found in (listed, caps):
        profiles = found.find("tr2:ProfileCapabilities", NS)
        assert profiles.get("MaximumNumberOfProfiles") == "7"
        assert profiles.get("ConfigurationsSupported").split() == [
            "VideoSource", "VideoEncoder", "AudioSource", "AudioEncoder", "Metadata"]
        streaming = found.find("tr2:StreamingCapabilities", NS)
        assert streaming.get("RTSPStreaming") == "true"
        assert found.get("SnapshotUri") == "true" and found.get("OSD") in (None, "false")


def test_listings_by_token_and_type(camera):
    assert media2_profiles(camera, "") == {"stream1": {}, "stream2": {}}
    everything = media2_profiles(camera)
    assert everything["stream1"] == {"VideoSource": "T-VSConf-00", "AudioSource": "T-ASConf-00",
                                     "VideoEncoder": "T-VEConf-stream1",
                                     "AudioEncoder": "T-AEConf-00",
                                     "Metadata": "T-MetadataConf-00"}
    assert list(everything["stream2"]) == ["VideoSource", "VideoEncoder", "Metadata"]
    one = media2_profiles(camera, "<tr2:Token>stream2</tr2:Token><tr2:Type>VideoEncoder"
                                  "</tr2:Type>")
    assert one == {"stream2": {"VideoEncoder": "T-VEConf-stream2"}}
    assert subcode(camera.tr2("GetProfiles", "<tr2:Token>nothing</tr2:Token>")) == "ter:NoProfile"


def test_one_store_for_both_services_with_the_ver20_faults(camera):
    made = camera.tr2("CreateProfile", "<tr2:Name>night</tr2:Name>" + ref("VideoSource",
                      "T-VSConf-00") + ref("VideoEncoder", "T-VEConf-stream2")).xml()
    token = made.findtext(".//tr2:CreateProfileResponse/tr2:Token", namespaces=NS)
    assert media1_profiles(camera)[token] == ["T-VSConf-00", "T-VEConf-stream2"]
    # A profile Media1 made is Media2's too.
    camera.send("<trt:CreateProfile><trt:Name>old</trt:Name><trt:Token>old1</trt:Token>"
                "</trt:CreateProfile>", path="/onvif/media_service", keep=False)
    steps = [
        ("AddConfiguration", "<tr2:ProfileToken>old1</tr2:ProfileToken>" +
         ref("VideoSource", "T-VSConf-00") + ref("Metadata", "T-MetadataConf-00"), None),
        ("AddConfiguration", "<tr2:ProfileToken>old1</tr2:ProfileToken>" +
         ref("AudioEncoder", "T-AEConf-00"), "ter:ConfigurationConflict"),
        ("AddConfiguration", "<tr2:ProfileToken>old1</tr2:ProfileToken>" +
         ref("VideoEncoder", "T-VEConf-stream9"), "ter:NoConfig"),
        ("AddConfiguration", "<tr2:ProfileToken>gone</tr2:ProfileToken>" +
         ref("VideoSource", "T-VSConf-00"), "ter:NoProfile"),
        ("AddConfiguration", "<tr2:ProfileToken>stream1</tr2:ProfileToken>" +
         ref("VideoEncoder", "T-VEConf-stream2"), "ter:ConfigurationConflict"),
        ("RemoveConfiguration", "<tr2:ProfileToken>%s</tr2:ProfileToken>" % token +
         ref("VideoSource"), "ter:ConfigurationConflict"),
        ("RemoveConfiguration", "<tr2:ProfileToken>%s</tr2:ProfileToken>" % token +
         ref("VideoEncoder") + ref("VideoSource"), None),
        ("DeleteProfile", "<tr2:Token>stream2</tr2:Token>", "ter:DeletionOfFixedProfile"),
        ("DeleteProfile", "<tr2:Token>gone</tr2:Token>", "ter:NoProfile"),
    ]
    for operation, inner, fault in steps:
        answer = camera.tr2(operation, inner)
        assert subcode(answer) == fault, (operation, inner, answer.text)
        if fault is None:
            assert answer.xml().find(".//tr2:%sResponse" % operation, NS) is not None
    listed = media2_profiles(camera)
    assert listed["old1"] == {"VideoSource": "T-VSConf-00", "Metadata": "T-MetadataConf-00"}
    assert listed[token] == {}
    assert media1_profiles(camera)["old1"] == ["T-VSConf-00"]
    for _ in range(3):
        camera.tr2("CreateProfile", "<tr2:Name>more</tr2:Name>")
    assert subcode(camera.tr2("CreateProfile", "<tr2:Name>sixth</tr2:Name>")) == \
        "ter:MaxNVTProfiles"
    assert camera.tr2("DeleteProfile", "<tr2:Token>%s</tr2:Token>" % token).status.endswith("OK")
    assert token not in media1_profiles(camera) and len(media2_profiles(camera, "")) == 6


def media_changes(answer):
    """(topic, operation, {source item: value}) of each media notification in a pull answer."""
    root = ET.fromstring(answer.encode())
    found = []
    for note in root.iter("{%s}NotificationMessage" % WSNT):
        topic = note.find("{%s}Topic" % WSNT).text
        message = note.find(".//{%s}Message" % TT)
        items = {i.get("Name"): i.get("Value")
                 for i in message.findall("{%s}Source/{%s}SimpleItem" % (TT, TT))}
        found.append((topic, message.get("PropertyOperation"), items))
    return found


def token():
    """A fresh UsernameToken of the administrator for the events service's header."""
    return security(*ADMIN)[len("<s:Header>"):-len("</s:Header>")]


def pulled(camera, sid, timeout="PT5S"):
    """A pull answer's body, kept for the schema check."""
    with pull(sid, timeout, header=token()) as s:
        head, body = read_answer(s, timeout=30)
    camera.answers.append(head + "\r\n\r\n" + body)
    return body


def test_changes_through_either_service_raise_events(camera):
    props = call("<tev:GetEventProperties/>",
                 EVENTS_WSDL + "/EventPortType/GetEventPropertiesRequest", token())
    assert re.search(r"<tns1:Media><ProfileChanged wstop:topic=\"true\">.*</ProfileChanged>"
                     r"<ConfigurationChanged wstop:topic=\"true\">", props)
    camera.answers.append("HTTP/1.1 200 OK\r\n\r\n" + props)
    sid, _ = create_pull_point("PT60S", ("tns1:Media//.",), header=token())
    assert sid is not None
    assert media_changes(pulled(camera, sid, "PT1S")) == []  # no Initialized
    camera.send("<trt:CreateProfile><trt:Name>a</trt:Name><trt:Token>a1</trt:Token>"
                "</trt:CreateProfile>", path="/onvif/media_service", keep=False)
    camera.tr2("AddConfiguration", "<tr2:ProfileToken>a1</tr2:ProfileToken>" +
               ref("VideoSource", "T-VSConf-00"))
    camera.send("<trt:SetVideoEncoderConfiguration><trt:Configuration token=\"T-VEConf-stream1\">"
                "<tt:RateControl><tt:FrameRateLimit>12</tt:FrameRateLimit></tt:RateControl>"
                "</trt:Configuration></trt:SetVideoEncoderConfiguration>",
                path="/onvif/media_service", keep=False)
    camera.tr2("RemoveConfiguration", "<tr2:ProfileToken>a1</tr2:ProfileToken>" + ref("All"))
    changed = "Changed"
    assert media_changes(pulled(camera, sid)) == [
        ("tns1:Media/ProfileChanged", changed, {"Token": "a1"}),
        ("tns1:Media/ProfileChanged", changed, {"Token": "a1"}),
        ("tns1:Media/ConfigurationChanged", changed,
         {"Token": "T-VEConf-stream1", "Type": "VideoEncoder"}),
        ("tns1:Media/ProfileChanged", changed, {"Token": "a1"}),
    ]


def test_a_user_reads_but_does_not_change(camera):
    assert "stream1" in media2_profiles(camera)
    for operation, inner in [
            ("CreateProfile", "<tr2:Name>mine</tr2:Name>"),
            ("AddConfiguration", "<tr2:ProfileToken>stream1</tr2:ProfileToken>" +
             ref("VideoSource", "T-VSConf-00")),
            ("RemoveConfiguration", "<tr2:ProfileToken>stream1</tr2:ProfileToken>" +
             ref("All")),
            ("DeleteProfile", "<tr2:Token>stream1</tr2:Token>")]:
        answer = camera.tr2(operation, inner, account=VIEWER)
        assert subcode(answer) == "ter:NotAuthorized", (operation, answer.text)
    assert camera.tr2("GetProfiles", account=VIEWER).xml().find(
        ".//tr2:GetProfilesResponse", NS) is not None
    assert len(media2_profiles(camera, "")) == 2


def test_the_address_through_the_forwarder(settings_server, tmp_path):
    """As the web server hands /onvif/... to the forwarder: nvtd --persist answers a request
    sent to the Media2 address, with or without its namespace."""
    server, fd = start_persistent("--noauth")
    try:
        answers = []
        for body in ("<GetServiceCapabilities/>",
                     '<tr2:GetProfiles xmlns:tr2="%s"><tr2:Type>VideoEncoder</tr2:Type>'
                     "</tr2:GetProfiles>" % TR2):
            data = ('<s:Envelope xmlns:s="%s"><s:Body>%s</s:Body></s:Envelope>'
                    % (SOAP, body)).encode()
            env = {"PATH": "/usr/bin:/bin", "REQUEST_METHOD": "POST",
                   "CONTENT_LENGTH": str(len(data)), "REQUEST_URI": MEDIA2,
                   "CONTENT_TYPE": "application/soap+xml"}
            run = subprocess.run(program("testbed", "forwarder", "nvtd-forwarder"), input=data,
                                 capture_output=True, env=env, timeout=30)
            assert run.returncode == 0, run.stdout
            answers.append(run.stdout.decode())
        assert "<tr2:GetServiceCapabilitiesResponse" in answers[0]
        assert 'MaximumNumberOfProfiles="7"' in answers[0]
        assert answers[1].count("<tr2:VideoEncoder ") == 2
        validate(tmp_path, *answers)
    finally:
        os.close(fd)
        server.stop()
