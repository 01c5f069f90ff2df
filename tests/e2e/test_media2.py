"""Media2 on nvtd in server mode: each answer from the ver20 service and valid against ONVIF's
schemas; GetProfiles by token and type, profile changes and their ver20 faults over the store
Media1 shares; configurations, options, sets, URIs and OSDs; a Media2 encoder set read back
through Media1; the change events of both services; and a user who reads only. (The Media2
address behind the forwarder: test_nvtd_relay.py.)"""
import re

import pytest

from events_rig import EVENTS_WSDL, PORT, Nvtd, call, create_pull_point, pulled
from onvif_soap import SOAP, TDS, TRT, TT, post, security
from onvif_validate import validate

TR2 = "http://www.onvif.org/ver20/media/wsdl"
MEDIA2, MEDIA = "/onvif/media2_service", "/onvif/media_service"
ADMIN, VIEWER = ("boss", "boss-secret"), ("viewer", "view-secret")
NS = {"s": SOAP, "tr2": TR2, "tt": TT, "trt": TRT, "tds": TDS}
PEERS = ["1.1.1.2", "2.2.2.3", "3.3.3.4"]


class Camera:
    """nvtd with an administrator and a user; every answer it gives is validated at the end."""

    def __init__(self, tmp_path):
        self.answers = []
        self.nvtd = Nvtd(tmp_path, (ADMIN + ("administrator",), VIEWER + ("user",)))

    def send(self, body, path=MEDIA2, account=ADMIN):
        answer = post('<s:Envelope xmlns:s="%s" xmlns:tr2="%s" xmlns:trt="%s" xmlns:tds="%s" '
                      'xmlns:tt="%s">%s<s:Body>%s</s:Body></s:Envelope>' % (
                          SOAP, TR2, TRT, TDS, TT, security(*account), body),
                      PORT, path=path, timeout=20)
        self.answers.append(answer.raw.decode())
        return answer

    def tr2(self, operation, inner="", account=ADMIN):
        return self.send("<tr2:%s>%s</tr2:%s>" % (operation, inner, operation), account=account)

    def local_sets(self, mark=0):
        """The settings this camera's own board was sent since entry mark."""
        return [(e["section"], e["lines"]) for e in self.nvtd.settingsd.entries()[mark:]
                if e.get("cmd") == 101 and e["addr"] not in PEERS]


@pytest.fixture
def cam(tmp_path):
    camera = Camera(tmp_path)
    try:
        yield camera
    finally:
        camera.nvtd.stop()
    validate(tmp_path, *camera.answers)


def outcome(answer):
    """The fault's last subcode, else the Body element as prefix:name."""
    fault = answer.fault()
    if fault is not None:
        return fault[1][-1] if fault[1] else fault[0]
    namespace, name = answer.xml().find("s:Body", NS)[0].tag[1:].split("}")
    return {v: k for k, v in NS.items()}[namespace] + ":" + name


def ref(kind, token=""):
    return "<tr2:Configuration><tr2:Type>%s</tr2:Type>%s</tr2:Configuration>" % (
        kind, token and "<tr2:Token>%s</tr2:Token>" % token)


def tokens(name, *values):
    return "".join("<tr2:%s>%s</tr2:%s>" % (name, v, name) for v in values)


def profiles(cam, inner="<tr2:Type>All</tr2:Type>"):
    """{token: [configuration types]} of a Media2 GetProfiles."""
    root = cam.tr2("GetProfiles", inner).xml()
    return {p.get("token"): [c.tag.split("}")[1] for c in p.findall("tr2:Configurations/*", NS)]
            for p in root.iter("{%s}Profiles" % TR2)}


def configuration(token, inner, attributes=""):
    return '<tr2:Configuration token="%s"%s>%s</tr2:Configuration>' % (token, attributes, inner)


def rate(fps, kbps):
    return ("<tt:RateControl><tt:FrameRateLimit>%s</tt:FrameRateLimit><tt:BitrateLimit>%d"
            "</tt:BitrateLimit></tt:RateControl>" % (fps, kbps))


H264 = "<tt:Encoding>H264</tt:Encoding>"
VS = "<tt:ConfigurationToken>T-VSConf-00</tt:ConfigurationToken>"
RTSP1 = "<tr2:Protocol>RTSP</tr2:Protocol>" + tokens("ProfileToken", "stream1")
AUDIO_SET = configuration("T-AEConf-00", "<tt:Encoding>PCMU</tt:Encoding><tt:Bitrate>64"
                          "</tt:Bitrate><tt:SampleRate>8</tt:SampleRate>")
# (operation, request content, the fault's last subcode or None for the operation's answer)
CASES = [
    ("GetVideoSourceConfigurations", "", None),
    ("GetVideoEncoderConfigurations", "", None),
    ("GetVideoEncoderConfigurations", tokens("ConfigurationToken", "T-VEConf-stream9"),
     "ter:NoConfig"),
    ("GetAudioSourceConfigurations", tokens("ProfileToken", "stream1"), None),
    ("GetAudioEncoderConfigurations", "", None),
    ("GetMetadataConfigurations", "", None),
    ("GetVideoSourceConfigurationOptions", "", None),
    ("GetVideoEncoderConfigurationOptions", tokens("ProfileToken", "stream2"), None),
    ("GetAudioSourceConfigurationOptions", "", None),
    ("GetAudioEncoderConfigurationOptions", "", None),
    ("GetMetadataConfigurationOptions", "", None),
    ("GetVideoEncoderInstances", VS, None),
    ("GetStreamUri", RTSP1, None),
    ("GetStreamUri", RTSP1.replace(">RTSP<", ">RtspOverHttp<"), "ter:InvalidStreamSetup"),
    ("GetSnapshotUri", tokens("ProfileToken", "stream2"), None),
    ("SetSynchronizationPoint", tokens("ProfileToken", "stream1"), None),
    ("GetOSDs", "", None),
    ("GetOSDOptions", VS, None),
    ("SetVideoSourceConfiguration", configuration("T-VSConf-00", '<tt:SourceToken>HD'
                                                  '</tt:SourceToken><tt:Bounds x="0" y="0" '
                                                  'width="1" height="1"/>'), "ter:ConfigModify"),
    ("SetVideoEncoderConfiguration",
     configuration("T-VEConf-stream1", "<tt:Encoding>JPEG</tt:Encoding>"), "ter:ConfigModify"),
    ("SetAudioEncoderConfiguration", AUDIO_SET, None),
]


def test_each_answer_comes_from_the_service_its_namespace_names(cam):
    for operation, inner, fault in CASES:  # a user reads; the sets are the administrator's
        answer = cam.tr2(operation, inner, VIEWER if operation.startswith("Get") else ADMIN)
        assert outcome(answer) == (fault or "tr2:%sResponse" % operation), (operation, answer.text)
    # Whatever the address: a Media1 operation Media2 lacks is refused in tr2, not answered by
    # Media1, and Media1's request at the Media2 address is Media1's.
    for body, path, expected in [("<tr2:GetVideoSources/>", MEDIA2, "ter:InvalidThing"),
                                 ("<tr2:GetProfiles/>", MEDIA, "tr2:GetProfilesResponse"),
                                 ("<trt:GetProfiles/>", MEDIA2, "trt:GetProfilesResponse"),
                                 ("<tds:GetProfiles/>", MEDIA, "ter:InvalidThing")]:
        assert outcome(cam.send(body, path)) == expected, body


def test_profiles_by_token_and_type(cam):  # the capabilities: test_device_info.py
    assert profiles(cam, "") == {"stream1": [], "stream2": []}
    assert profiles(cam) == {"stream1": ["VideoSource", "AudioSource", "VideoEncoder",
                                         "AudioEncoder", "Metadata"],
                             "stream2": ["VideoSource", "VideoEncoder", "Metadata"]}
    assert profiles(cam, "<tr2:Token>stream2</tr2:Token><tr2:Type>VideoEncoder</tr2:Type>") \
        == {"stream2": ["VideoEncoder"]}
    assert outcome(cam.tr2("GetProfiles", "<tr2:Token>x</tr2:Token>")) == "ter:NoProfile"


def test_changes_faults_and_one_store_with_media1(cam):
    vs, md = ref("VideoSource", "T-VSConf-00"), ref("Metadata", "T-MetadataConf-00")
    made = cam.tr2("CreateProfile", "<tr2:Name>night</tr2:Name>" + vs
                   + ref("VideoEncoder", "T-VEConf-stream2")).xml()
    new = made.findtext(".//tr2:Token", namespaces=NS)
    cam.send("<trt:CreateProfile><trt:Name>old</trt:Name><trt:Token>old1</trt:Token>"
             "</trt:CreateProfile>", MEDIA)
    for operation, profile, inner, fault in [
            ("AddConfiguration", "old1", vs + md, None),
            ("AddConfiguration", "old1", ref("AudioEncoder", "T-AEConf-00"),
             "ter:ConfigurationConflict"),
            ("AddConfiguration", "old1", ref("VideoEncoder", "T-VEConf-stream9"), "ter:NoConfig"),
            ("AddConfiguration", "gone", vs, "ter:NoProfile"),
            ("AddConfiguration", "stream1", ref("VideoEncoder", "T-VEConf-stream2"),
             "ter:ConfigurationConflict"),
            ("RemoveConfiguration", new, ref("VideoSource"), "ter:ConfigurationConflict"),
            ("RemoveConfiguration", new, ref("All"), None),
            ("DeleteProfile", "stream2", "", "ter:DeletionOfFixedProfile"),
            ("DeleteProfile", "gone", "", "ter:NoProfile")]:
        element = "Token" if operation == "DeleteProfile" else "ProfileToken"
        answer = cam.tr2(operation, tokens(element, profile) + inner)
        assert outcome(answer) == (fault or "tr2:%sResponse" % operation), (operation, profile)
    listed = profiles(cam)
    assert listed["old1"] == ["VideoSource", "Metadata"] and listed[new] == []
    assert '<trt:Profiles fixed="false" token="old1"><tt:Name>old</tt:Name>' \
        '<tt:VideoSourceConfiguration token="T-VSConf-00">' in cam.send("<trt:GetProfiles/>",
                                                                        MEDIA).text
    create = "<tr2:Name>n</tr2:Name>"
    assert [outcome(cam.tr2("CreateProfile", create)) for _ in range(4)] == \
        ["tr2:CreateProfileResponse"] * 3 + ["ter:MaxNVTProfiles"]
    cam.tr2("DeleteProfile", tokens("Token", new))
    assert new not in profiles(cam, "") and len(profiles(cam, "")) == 6


def test_a_media2_encoder_set_reads_back_through_media1(cam):
    """Media2's encoder set writes what Media1's does; a bitrate beyond the camera's range is
    adapted to it rather than refused."""
    mark = len(cam.nvtd.settingsd.entries())
    answer = cam.tr2("SetVideoEncoderConfiguration",
                     configuration("T-VEConf-stream2", H264 + rate("12.0", 90000),
                                   ' GovLength="24" Profile="Baseline"'))
    assert outcome(answer) == "tr2:SetVideoEncoderConfigurationResponse", answer.text
    assert cam.local_sets(mark) == [
        ("ENCODE", ["s1_fps = 12"]), ("STREAM1", ["s1_cbr_avg_bps = 20000000"]),
        ("STREAM1", ["s1_N = 24"]), ("ENCODE", ["s1_type = 1"])]
    after = cam.send("<trt:GetVideoEncoderConfiguration><trt:ConfigurationToken>T-VEConf-stream2"
                     "</trt:ConfigurationToken></trt:GetVideoEncoderConfiguration>", MEDIA).xml()
    assert [after.findtext(".//tt:" + name, namespaces=NS) for name in (
        "FrameRateLimit", "BitrateLimit", "GovLength", "Encoding")] == ["12", "20000", "24", "H264"]
    mark = len(cam.nvtd.settingsd.entries())
    cam.tr2("SetVideoEncoderConfiguration", configuration(
        "T-VEConf-stream1", H264 + "<tt:RateControl><tt:BitrateLimit>5</tt:BitrateLimit>"
        "</tt:RateControl>"))
    assert cam.local_sets(mark) == [("STREAM0", ["s0_cbr_avg_bps = 101000"]),
                                    ("ENCODE", ["s0_type = 1"])]


def test_a_user_changes_nothing(cam):
    mine = cam.tr2("CreateProfile", "<tr2:Name>mine</tr2:Name>").xml().findtext(
        ".//tr2:Token", namespaces=NS)
    before = profiles(cam)
    mark = len(cam.nvtd.settingsd.entries())
    for operation, inner in [
            ("CreateProfile", "<tr2:Name>n</tr2:Name>"),
            ("DeleteProfile", tokens("Token", mine)),
            ("AddConfiguration", tokens("ProfileToken", mine) + ref("VideoSource", "T-VSConf-00")),
            ("SetVideoEncoderConfiguration", configuration("T-VEConf-stream2", rate(9, 900))),
            ("SetSynchronizationPoint", tokens("ProfileToken", "stream1")),
            ("SetAudioEncoderConfiguration", AUDIO_SET)]:
        answer = cam.tr2(operation, inner, VIEWER)
        assert outcome(answer) == "ter:NotAuthorized", (operation, answer.text)
    assert profiles(cam) == before and cam.local_sets(mark) == []


def test_changes_through_either_service_raise_events(cam):
    def token():  # a fresh UsernameToken each time: the camera refuses a replayed one
        return security(*ADMIN)[len("<s:Header>"):-len("</s:Header>")]

    def media_messages(sid, timeout="PT5S"):
        body = pulled(sid, timeout=timeout, header=token())
        cam.answers.append("HTTP/1.1 200 OK\r\n\r\n" + body)
        return re.findall(r">(tns1:Media/\w+)</wsnt:Topic>.*?PropertyOperation=\"(\w+)\".*?"
                          r"<tt:Source>(.*?)</tt:Source>", body)
    props = call("<tev:GetEventProperties/>",
                 EVENTS_WSDL + "/EventPortType/GetEventPropertiesRequest", token())
    cam.answers.append("HTTP/1.1 200 OK\r\n\r\n" + props)
    assert "<tns1:Media><ProfileChanged wstop:topic=\"true\">" in props
    sid, _ = create_pull_point("PT60S", ("tns1:Media//.",), header=token())
    assert media_messages(sid, "PT1S") == []  # no Initialized messages
    cam.send("<trt:CreateProfile><trt:Name>a</trt:Name><trt:Token>a1</trt:Token>"
             "</trt:CreateProfile>", MEDIA)
    cam.tr2("AddConfiguration", tokens("ProfileToken", "a1") + ref("VideoSource", "T-VSConf-00"))
    cam.send("<trt:SetVideoEncoderConfiguration><trt:Configuration token=\"T-VEConf-stream1\">"
             "<tt:RateControl><tt:FrameRateLimit>12</tt:FrameRateLimit></tt:RateControl>"
             "</trt:Configuration></trt:SetVideoEncoderConfiguration>", MEDIA)
    profile = ("tns1:Media/ProfileChanged", "Changed", '<tt:SimpleItem Name="Token" Value="a1"/>')
    assert media_messages(sid) == [profile, profile, (
        "tns1:Media/ConfigurationChanged", "Changed",
        '<tt:SimpleItem Name="Token" Value="T-VEConf-stream1"/>'
        '<tt:SimpleItem Name="Type" Value="VideoEncoder"/>')]
