"""Media2's profiles on nvtd in server mode: the service's capabilities,
GetProfiles by token and type, the changes and their ver20 faults over the store Media1 shares,
the change events of both services, a user who reads only, and the address behind the
forwarder. Every answer is checked against ONVIF's schemas."""
import os
import re
import subprocess

import pytest

from camera import program
from events_rig import EVENTS_WSDL, PORT, Nvtd, call, create_pull_point, pull, read_answer
from nvtd_relay import start_persistent
from onvif_soap import SOAP, TDS, TRT, TT, post, security
from onvif_validate import validate

TR2 = "http://www.onvif.org/ver20/media/wsdl"
ADMIN, VIEWER = ("boss", "boss-secret"), ("viewer", "view-secret")
NS = {"s": SOAP, "tr2": TR2, "tt": TT, "trt": TRT, "tds": TDS}


@pytest.fixture
def cam(tmp_path):
    answers = []

    def send(body, path="/onvif/media2_service", account=ADMIN):
        answer = post('<s:Envelope xmlns:s="%s" xmlns:tr2="%s" xmlns:trt="%s" xmlns:tds="%s">%s'
                      "<s:Body>%s</s:Body></s:Envelope>" % (SOAP, TR2, TRT, TDS, security(
                          *account) if account else "", body), PORT, path=path)
        answers.append(answer.raw.decode())
        return answer
    server = Nvtd(tmp_path, (ADMIN + ("administrator",), VIEWER + ("user",)))
    try:
        yield send, answers
    finally:
        server.stop()
    validate(tmp_path, *answers)


def ref(kind, token=""):
    return "<tr2:Configuration><tr2:Type>%s</tr2:Type>%s</tr2:Configuration>" % (
        kind, token and "<tr2:Token>%s</tr2:Token>" % token)


def subcode(answer):
    return answer.fault()[1][-1] if answer.fault() else None


def profiles(send, inner="<tr2:Type>All</tr2:Type>", account=ADMIN):
    """{token: [configuration types]} of a Media2 GetProfiles."""
    root = send("<tr2:GetProfiles>%s</tr2:GetProfiles>" % inner, account=account).xml()
    return {p.get("token"): [c.tag.split("}")[1] for c in p.findall("tr2:Configurations/*", NS)]
            for p in root.iter("{%s}Profiles" % TR2)}


def test_capabilities_and_profiles_by_token_and_type(cam):
    send, _ = cam
    # Open to anyone; GetServices lists the same (test_device_info.py).
    caps = send("<tr2:GetServiceCapabilities/>", account=None).xml().find(".//tr2:Capabilities", NS)
    assert caps.find("tr2:ProfileCapabilities", NS).attrib == {
        "MaximumNumberOfProfiles": "7",
        "ConfigurationsSupported": "VideoSource VideoEncoder AudioSource AudioEncoder Metadata"}
    assert caps.find("tr2:StreamingCapabilities", NS).get("RTSPStreaming") == "true"
    assert profiles(send, "") == {"stream1": [], "stream2": []}
    assert profiles(send) == {"stream1": ["VideoSource", "AudioSource", "VideoEncoder",
                                          "AudioEncoder", "Metadata"],
                              "stream2": ["VideoSource", "VideoEncoder", "Metadata"]}
    assert profiles(send, "<tr2:Token>stream2</tr2:Token><tr2:Type>VideoEncoder</tr2:Type>",
                    VIEWER) == {"stream2": ["VideoEncoder"]}
    assert subcode(send("<tr2:GetProfiles><tr2:Token>x</tr2:Token></tr2:GetProfiles>")) == \
        "ter:NoProfile"


def test_changes_faults_and_one_store_with_media1(cam):
    send, _ = cam
    vs, md = ref("VideoSource", "T-VSConf-00"), ref("Metadata", "T-MetadataConf-00")
    made = send("<tr2:CreateProfile><tr2:Name>night</tr2:Name>%s%s</tr2:CreateProfile>" % (
        vs, ref("VideoEncoder", "T-VEConf-stream2"))).xml()
    new = made.findtext(".//tr2:Token", namespaces=NS)
    send("<trt:CreateProfile><trt:Name>old</trt:Name><trt:Token>old1</trt:Token>"
         "</trt:CreateProfile>", path="/onvif/media_service")
    add, remove, delete = ("AddConfiguration", "ProfileToken"), (
        "RemoveConfiguration", "ProfileToken"), ("DeleteProfile", "Token")
    for (operation, element), profile, inner, fault, account in [
            (add, "old1", vs + md, None, ADMIN),
            (add, "old1", ref("AudioEncoder", "T-AEConf-00"), "ter:ConfigurationConflict", ADMIN),
            (add, "old1", ref("VideoEncoder", "T-VEConf-stream9"), "ter:NoConfig", ADMIN),
            (add, "gone", vs, "ter:NoProfile", ADMIN),
            (add, "stream1", ref("VideoEncoder", "T-VEConf-stream2"),
             "ter:ConfigurationConflict", ADMIN),
            (add, "old1", vs, "ter:NotAuthorized", VIEWER),
            (remove, new, ref("VideoSource"), "ter:ConfigurationConflict", ADMIN),
            (remove, new, ref("All"), None, ADMIN),
            (delete, "stream2", "", "ter:DeletionOfFixedProfile", ADMIN),
            (delete, "gone", "", "ter:NoProfile", ADMIN),
            (delete, new, "", "ter:NotAuthorized", VIEWER)]:
        answer = send("<tr2:{0}><tr2:{1}>{2}</tr2:{1}>{3}</tr2:{0}>".format(
            operation, element, profile, inner), account=account)
        assert subcode(answer) == fault, (operation, profile, answer.text)
    listed = profiles(send)
    assert listed["old1"] == ["VideoSource", "Metadata"] and listed[new] == []
    media1 = send("<trt:GetProfiles/>", path="/onvif/media_service").text
    assert '<trt:Profiles fixed="false" token="old1"><tt:Name>old</tt:Name>' \
        '<tt:VideoSourceConfiguration token="T-VSConf-00">' in media1
    create = "<tr2:CreateProfile><tr2:Name>n</tr2:Name></tr2:CreateProfile>"
    assert [subcode(send(create)) for _ in range(4)] == [None, None, None, "ter:MaxNVTProfiles"]
    assert subcode(send(create, account=VIEWER)) == "ter:NotAuthorized"
    send("<tr2:DeleteProfile><tr2:Token>%s</tr2:Token></tr2:DeleteProfile>" % new)
    assert new not in profiles(send, "") and len(profiles(send, "")) == 6


def test_changes_through_either_service_raise_events(cam):
    send, answers = cam

    def token():
        return security(*ADMIN)[len("<s:Header>"):-len("</s:Header>")]

    def pulled(sid, timeout="PT5S"):
        with pull(sid, timeout, header=token()) as s:
            head, body = read_answer(s, timeout=30)
        answers.append(head + "\r\n\r\n" + body)
        return [(topic, op, items) for topic, op, items in re.findall(
            r">(tns1:Media/\w+)</wsnt:Topic>.*?PropertyOperation=\"(\w+)\".*?<tt:Source>(.*?)"
            r"</tt:Source>", body)]
    props = call("<tev:GetEventProperties/>",
                 EVENTS_WSDL + "/EventPortType/GetEventPropertiesRequest", token())
    answers.append("HTTP/1.1 200 OK\r\n\r\n" + props)
    assert "<tns1:Media><ProfileChanged wstop:topic=\"true\">" in props
    sid, _ = create_pull_point("PT60S", ("tns1:Media//.",), header=token())
    assert pulled(sid, "PT1S") == []  # no Initialized messages
    send("<trt:CreateProfile><trt:Name>a</trt:Name><trt:Token>a1</trt:Token></trt:CreateProfile>",
         path="/onvif/media_service")
    send("<tr2:AddConfiguration><tr2:ProfileToken>a1</tr2:ProfileToken>%s</tr2:AddConfiguration>"
         % ref("VideoSource", "T-VSConf-00"))
    send("<trt:SetVideoEncoderConfiguration><trt:Configuration token=\"T-VEConf-stream1\">"
         "<tt:RateControl><tt:FrameRateLimit>12</tt:FrameRateLimit></tt:RateControl>"
         "</trt:Configuration></trt:SetVideoEncoderConfiguration>", path="/onvif/media_service")
    profile = ("tns1:Media/ProfileChanged", "Changed",
               '<tt:SimpleItem Name="Token" Value="a1"/>')
    assert pulled(sid) == [profile, profile, (
        "tns1:Media/ConfigurationChanged", "Changed",
        '<tt:SimpleItem Name="Token" Value="T-VEConf-stream1"/>'
        '<tt:SimpleItem Name="Type" Value="VideoEncoder"/>')]


def test_the_address_through_the_forwarder(settings_server, tmp_path):
    """As the web server hands /onvif/... to the forwarder, to nvtd --persist: a request sent
    to the Media2 address, with or without its namespace, is Media2's."""
    server, fd = start_persistent("--noauth")
    try:
        answers = [subprocess.run(
            program("testbed", "forwarder", "nvtd-forwarder"), capture_output=True, timeout=30,
            input=data, env={"PATH": "/usr/bin:/bin", "REQUEST_METHOD": "POST",
                             "CONTENT_LENGTH": str(len(data)), "REQUEST_URI":
                             "/onvif/media2_service"}).stdout.decode()
                   for data in [('<s:Envelope xmlns:s="%s"><s:Body>%s</s:Body></s:Envelope>' % (
                       SOAP, body)).encode() for body in (
                       "<GetServiceCapabilities/>",
                       '<GetProfiles xmlns="%s"><Type>VideoEncoder</Type></GetProfiles>' % TR2)]]
        assert 'MaximumNumberOfProfiles="7"' in answers[0]
        assert answers[1].count("<tr2:VideoEncoder ") == 2
        validate(tmp_path, *answers)
    finally:
        os.close(fd)
        server.stop()
