"""The media service of nvtd in server mode against the settings stand-in: fixed and
created profiles, use counts, the one writable path (SetVideoEncoderConfiguration) with its
writes and their repetition to the peer boards, refusals, and a third-party ONVIF client."""
import json
import os
import shutil
import socket
import subprocess
import xml.etree.ElementTree as ET
from xml.sax.saxutils import escape

import pytest

from camera import in_lan, program, wait_for
from onvif_client import onvif_library
from settingsd import Settingsd

PORT = 8080
NO_AUDIO_PORT = 8081
HWCONFIG = "/etc/olm/factory/hwconfig.txt"
PEERS = ["1.1.1.2", "2.2.2.3", "3.3.3.4"]
APP_DIR = "/usr/local/apps/corvane"
NS = {"s": "http://www.w3.org/2003/05/soap-envelope",
      "trt": "http://www.onvif.org/ver10/media/wsdl",
      "tr2": "http://www.onvif.org/ver20/media/wsdl",
      "tds": "http://www.onvif.org/ver10/device/wsdl",
      "tt": "http://www.onvif.org/ver10/schema"}


def post(body, port=PORT, path="/onvif/media_service"):
    data = ('<?xml version="1.0" encoding="UTF-8"?><s:Envelope %s><s:Body>%s</s:Body></s:Envelope>'
            % (" ".join('xmlns:%s="%s"' % item for item in NS.items()), body)).encode()
    head = ("POST %s HTTP/1.1\r\nHost: camera\r\n"
            "Content-Type: application/soap+xml; charset=utf-8\r\n"
            "Content-Length: %d\r\n\r\n" % (path, len(data)))
    with socket.create_connection(("127.0.0.1", port), timeout=20) as s:
        s.sendall(head.encode() + data)
        chunks = []
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            chunks.append(chunk)
    return b"".join(chunks).decode()


class Reply:
    """One response: status line (if any), headers, and the body parsed as XML when SOAP."""

    def __init__(self, raw):
        head, _, self.body = raw.partition("\r\n\r\n")
        self.head = head
        self.bad_request = raw.startswith("HTTP/1.0 400 Bad Request\r\n")
        self.plain = "Content-Type: text/plain" in head
        self.xml = None
        if not self.plain:
            length = [l for l in head.split("\r\n") if l.startswith("Content-Length: ")]
            assert length and int(length[0].split(": ")[1]) == len(self.body.encode())
            self.xml = ET.fromstring(self.body)  # every SOAP response is one document

    def all(self, path):
        return self.xml.findall(path, NS)

    def fault(self):
        values = [v.text for v in self.xml.iter("{%s}Value" % NS["s"])]
        return values[-1] if values else None


def call(operation, inner="", port=PORT):
    return Reply(post("<trt:%s>%s</trt:%s>" % (operation, inner, operation), port))


def profiles(port=PORT):
    r = call("GetProfiles", port=port)
    return r.all(".//trt:GetProfilesResponse/trt:Profiles")


def tokens(port=PORT):
    return [p.get("token") for p in profiles(port)]


def encoder_use_counts():
    r = call("GetVideoEncoderConfigurations")
    return {c.get("token"): int(c.find("tt:UseCount", NS).text)
            for c in r.all(".//trt:Configurations")}


def serving(port):
    """Answers requests: the port alone listens before nvtd has read its hardware file, which
    the fixture changes next (a slow start, as under the emulator, would read the new one)."""
    try:
        return post("<trt:GetProfiles/>", port).startswith("HTTP/1.0 ")
    except OSError:
        return False


@pytest.fixture(scope="module")
def camera():
    settings = Settingsd()
    with open(HWCONFIG) as f:
        hwconfig = f.read()
    procs = [subprocess.Popen(program("nvtd", "nvtd") + ["--noauth", "--port", str(PORT)],
                              stdout=subprocess.DEVNULL)]
    try:
        assert wait_for(lambda: serving(PORT), timeout=30)
        with open(HWCONFIG, "w") as f:
            f.write("model=TQLM-R204\naudio=0\n")
        procs.append(subprocess.Popen(
            program("nvtd", "nvtd") + ["--noauth", "--port", str(NO_AUDIO_PORT)],
            stdout=subprocess.DEVNULL))
        assert wait_for(lambda: serving(NO_AUDIO_PORT), timeout=30)
        yield settings
    finally:
        with open(HWCONFIG, "w") as f:
            f.write(hwconfig)
        for p in procs:
            p.terminate()
        for p in procs:
            p.wait(timeout=15)
        settings.stop()


@pytest.fixture
def media(camera):
    """The camera with no created profiles left behind by the test."""
    yield camera
    for p in profiles():
        if p.get("fixed") == "false":
            call("DeleteProfile",
                 "<trt:ProfileToken>%s</trt:ProfileToken>" % escape(p.get("token")))
    shutil.rmtree(APP_DIR, ignore_errors=True)


def sets_since(settings, mark):
    return [(e["addr"], e["section"], e["lines"])
            for e in settings.entries()[mark:] if e.get("cmd") == 101]


def test_fresh_processes_list_the_two_fixed_profiles(media):
    listed = profiles()
    assert [(p.get("token"), p.get("fixed")) for p in listed] == [("stream1", "true"),
                                                                  ("stream2", "true")]
    assert listed[0].find("tt:AudioEncoderConfiguration", NS) is not None
    assert listed[0].find("tt:AudioSourceConfiguration", NS) is not None
    assert listed[1].find("tt:AudioEncoderConfiguration", NS) is None
    width = listed[1].find("tt:VideoEncoderConfiguration/tt:Resolution/tt:Width", NS).text
    assert width == "1280"  # s1_resolution of the stand-in's ENCODE section
    quiet = profiles(NO_AUDIO_PORT)
    assert [p.get("token") for p in quiet] == ["stream1", "stream2"]
    assert not any(p.find("tt:AudioEncoderConfiguration", NS) is not None for p in quiet)
    r = call("GetAudioEncoderConfigurationOptions", port=NO_AUDIO_PORT)
    assert r.bad_request and r.fault() == "ter:AudioNotSupported"


def test_created_profiles_names_tokens_and_the_full_store(media):
    r = call("CreateProfile", "<trt:Name>Solo</trt:Name>")
    assert r.xml.find(".//trt:Profile", NS).get("token") == "Solo"
    call("CreateProfile", "<trt:Name>Shown</trt:Name><trt:Token>tok</trt:Token>")
    listed = {p.get("token"): p.find("tt:Name", NS).text for p in profiles()}
    assert listed["Solo"] == "Solo" and listed["tok"] == "Shown"
    one = call("GetProfile", "<trt:ProfileToken>tok</trt:ProfileToken>")
    assert one.xml.find(".//trt:Profile/tt:Name", NS).text == "tok"
    for i in range(3):
        call("CreateProfile", "<trt:Name>p%d</trt:Name>" % i)
    sixth = call("CreateProfile", "<trt:Name>sixth</trt:Name>")
    assert sixth.xml.find(".//trt:Profile", NS).get("token") == "sixth"
    assert tokens() == ["stream1", "stream2", "Solo", "tok", "p0", "p1", "p2"]
    r = call("CreateProfile", "<trt:Other>x</trt:Other>")
    assert r.bad_request and r.fault() == "ter:ConfigModify"
    r = call("AddVideoEncoderConfiguration", "<trt:ProfileToken>tok</trt:ProfileToken>")
    assert r.bad_request and r.fault() == "ter:ConfigModify"
    for kind in ("VideoSource", "VideoEncoder", "AudioSource", "AudioEncoder"):
        r = call("Remove%sConfiguration" % kind)
        assert r.bad_request and r.fault() == "ter:ConfigModify", kind
    missing = call("GetProfile", "<trt:ProfileToken>gone</trt:ProfileToken>")
    assert not missing.bad_request and missing.fault() == "ter:NoProfile"


def test_encoder_use_counts_follow_the_profiles(media):
    call("CreateProfile", "<trt:Name>user</trt:Name>")
    add = ("<trt:ProfileToken>user</trt:ProfileToken>"
           "<trt:ConfigurationToken>%s</trt:ConfigurationToken>")
    call("AddVideoEncoderConfiguration", add % "T-VEConf-stream2")
    assert encoder_use_counts() == {"T-VEConf-stream1": 2, "T-VEConf-stream2": 3}
    call("AddVideoEncoderConfiguration", add % "T-VEConf-stream1")
    assert encoder_use_counts() == {"T-VEConf-stream1": 3, "T-VEConf-stream2": 2}
    call("AddVideoSourceConfiguration", add % "T-VSConf-00")
    call("AddVideoSourceConfiguration", add % "T-VSConf-00")
    r = call("GetVideoSourceConfigurations")
    assert r.xml.find(".//trt:Configurations/tt:UseCount", NS).text == "3"
    call("RemoveVideoEncoderConfiguration", "<trt:ProfileToken>user</trt:ProfileToken>")
    assert encoder_use_counts() == {"T-VEConf-stream1": 2, "T-VEConf-stream2": 2}
    call("AddAudioEncoderConfiguration", add % "T-AEConf-00")
    r = call("GetAudioEncoderConfiguration")
    assert r.xml.find(".//trt:Configuration/tt:UseCount", NS).text == "3"
    call("DeleteProfile", "<trt:ProfileToken>user</trt:ProfileToken>")
    r = call("GetAudioEncoderConfiguration")
    assert r.xml.find(".//trt:Configuration/tt:UseCount", NS).text == "2"


def test_a_created_stream1_is_listed_after_the_fixed_one(media):
    call("CreateProfile", "<trt:Token>stream1</trt:Token><trt:Name>mine</trt:Name>")
    listed = profiles()
    assert [(p.get("token"), p.get("fixed")) for p in listed] == [
        ("stream1", "true"), ("stream2", "true"), ("stream1", "false")]
    r = call("GetProfile", "<trt:ProfileToken>stream1</trt:ProfileToken>")
    assert r.xml.find(".//trt:Profile", NS).get("fixed") == "true"
    # The fixed profile cannot be deleted; the created one goes.
    call("DeleteProfile", "<trt:ProfileToken>stream1</trt:ProfileToken>")
    assert tokens() == ["stream1", "stream2"]


def test_markup_in_tokens_and_names_keeps_responses_well_formed(media):
    call("CreateProfile", '<trt:Token>a"b&lt;c</trt:Token><trt:Name>x&amp;y</trt:Name>')
    listed = profiles()
    assert listed[2].get("token") == 'a"b<c'
    assert listed[2].find("tt:Name", NS).text == "x&y"


def set_encoder(inner, token="T-VEConf-stream2"):
    return call("SetVideoEncoderConfiguration",
                '<trt:Configuration token="%s">%s</trt:Configuration>' % (token, inner))


def test_encoder_settings_are_written_and_repeated_to_the_peer_boards(media):
    settings = media
    mark = len(settings.entries())
    r = set_encoder("<tt:RateControl><tt:FrameRateLimit>15</tt:FrameRateLimit>"
                    "<tt:BitrateLimit>2048</tt:BitrateLimit></tt:RateControl>")
    assert r.xml.find(".//trt:SetVideoEncoderConfigurationResponse", NS) is not None
    sets = sets_since(settings, mark)
    local = [s for s in sets if s[0] not in PEERS]
    assert [(s[1], s[2]) for s in local] == [("ENCODE", ["s1_fps = 15"]),
                                             ("STREAM1", ["s1_cbr_avg_bps = 2048000"])]
    for line in (("ENCODE", ["s1_fps = 15"]), ("STREAM1", ["s1_cbr_avg_bps = 2048000"])):
        assert [s[0] for s in sets if (s[1], s[2]) == line and s[0] in PEERS] == PEERS
    assert "s1_fps = 15\n" in settings.section_file("ENCODE", board="2.2.2.3")
    fps = call("GetVideoEncoderConfiguration",
               "<trt:ConfigurationToken>T-VEConf-stream2</trt:ConfigurationToken>")
    assert fps.xml.find(".//tt:FrameRateLimit", NS).text == "15"
    assert fps.xml.find(".//tt:BitrateLimit", NS).text == "2048"

    mark = len(settings.entries())
    set_encoder("<tt:BitrateLimit>50000</tt:BitrateLimit><tt:GovLength>10</tt:GovLength>"
                "<tt:Encoding>JPEG</tt:Encoding>", token="T-VEConf-stream1")
    local = [(s[1], s[2]) for s in sets_since(settings, mark) if s[0] not in PEERS]
    assert local == [("STREAM0", ["s0_cbr_avg_bps = 20000000"]), ("STREAM0", ["s0_N = 10"]),
                     ("ENCODE", ["s0_type = 2"])]


def test_refused_values_write_nothing(media):
    settings = media
    mark = len(settings.entries())
    for inner in ("<tt:FrameRateLimit>0</tt:FrameRateLimit>",
                  "<tt:FrameRateLimit>31</tt:FrameRateLimit>",
                  "<tt:BitrateLimit>100</tt:BitrateLimit>",
                  "<tt:GovLength>4</tt:GovLength>",
                  "<tt:Encoding>MPEG4</tt:Encoding>",
                  # A foreign width is refused after the valid frame rate was checked.
                  "<tt:FrameRateLimit>10</tt:FrameRateLimit><tt:Resolution>"
                  "<tt:Width>1920</tt:Width><tt:Height>720</tt:Height></tt:Resolution>"):
        r = set_encoder(inner)
        assert r.bad_request and r.fault() == "ter:ConfigModify", inner
    r = set_encoder("<tt:FrameRateLimit>15</tt:FrameRateLimit>", token="T-VEConf-stream3")
    assert r.plain and r.body == "Invalid configuration token\n"
    assert sets_since(settings, mark) == []


def test_an_application_directory_takes_over_the_encoder(media):
    settings = media
    os.makedirs(APP_DIR)
    mark = len(settings.entries())
    r = set_encoder("<tt:FrameRateLimit>99</tt:FrameRateLimit>", token="T-VEConf-stream9")
    assert r.xml.find(".//trt:SetVideoEncoderConfigurationResponse", NS) is not None
    assert sets_since(settings, mark) == []


def test_configuration_listings_and_refusals(media):
    assert call("GetMetadataConfiguration").xml.find(
        ".//trt:Configuration/tt:UseCount", NS).text == "3"
    assert call("GetMetadataConfigurations").xml.find(
        ".//trt:Configurations/tt:UseCount", NS).text == "2"
    r = call("SetMetadataConfiguration", "<trt:Configuration><tt:SessionTimeout>60"
             "</tt:SessionTimeout></trt:Configuration>")
    assert not r.bad_request and "SessionTimeout" in r.body
    four = call("GetVideoEncoderConfiguration",
                "<trt:ConfigurationToken>T-VEConf-stream4</trt:ConfigurationToken>")
    assert four.xml.find(".//tt:FrameRateLimit", NS).text == "15"  # s3_fps
    assert four.xml.find(".//tt:Encoding", NS).text == "H264"
    r = call("GetVideoEncoderConfiguration",
             "<trt:ConfigurationToken>other</trt:ConfigurationToken>")
    assert r.plain and r.body == ""
    r = call("SetAudioEncoderConfiguration", '<trt:Configuration token="T-AEConf-00">'
             "<tt:Bitrate>64</tt:Bitrate><tt:SampleRate>8</tt:SampleRate></trt:Configuration>")
    assert r.xml.find(".//trt:SetAudioEncoderConfigurationResponse", NS) is not None
    r = call("SetAudioEncoderConfiguration", '<trt:Configuration token="T-AEConf-00">'
             "<tt:Bitrate>64</tt:Bitrate><tt:SampleRate>16</tt:SampleRate></trt:Configuration>")
    assert r.bad_request and r.fault() == "ter:ConfigModify"
    r = call("GetAudioSourceConfiguration",
             "<trt:ConfigurationToken>T-ASConf-01</trt:ConfigurationToken>")
    assert r.bad_request and r.fault() == "ter:NoConfig"
    r = call("SetVideoSourceConfiguration", '<trt:Configuration><tt:Bounds x="0" y="0" '
             'width="1920" height="1080"></tt:Bounds></trt:Configuration>')
    assert r.xml.find(".//trt:SetVideoSourceConfigurationResponse", NS) is not None
    r = call("SetVideoSourceConfiguration", '<trt:Configuration><tt:Bounds x="0" y="0" '
             'width="1280" height="1080"></tt:Bounds></trt:Configuration>')
    assert r.bad_request and r.fault() == "ter:ConfigModify"
    # Every other operation of the service answers with one well-formed document.
    for op in ("GetVideoSources", "GetVideoSourceConfiguration",
               "GetVideoSourceConfigurationOptions", "GetCompatibleVideoSourceConfigurations",
               "GetVideoEncoderConfigurationOptions", "GetCompatibleVideoEncoderConfigurations",
               "GetGuaranteedNumberOfVideoEncoderInstances", "GetAudioSources",
               "GetAudioSourceConfigurations", "GetCompatibleAudioSourceConfigurations",
               "GetAudioSourceConfigurationOptions", "GetAudioEncoderConfigurations",
               "GetCompatibleAudioEncoderConfigurations", "GetAudioEncoderConfigurationOptions",
               "GetAudioOutputs", "GetMetadataConfigurationOptions",
               "GetCompatibleMetadataConfigurations", "AddMetadataConfiguration",
               "RemoveMetadataConfiguration", "SetSynchronizationPoint"):
        r = call(op)
        assert not r.bad_request and r.fault() is None, op
        assert r.xml.find(".//trt:%sResponse" % op, NS) is not None, op


def test_the_namespace_decides_which_service_answers(media):
    """A Media2 request is never answered by Media1 (the unsupported fault while Media2 lacks
    the operation); the right namespace at another service's address is answered as ever."""
    for service, body, answer in (
            ("media2", "<tr2:GetProfiles/>", "tr2:GetProfilesResponse"),
            ("media2", "<tr2:CreateProfile><tr2:Name>m2</tr2:Name></tr2:CreateProfile>",
             "tr2:CreateProfileResponse"),
            ("device", "<trt:GetProfiles/>", "trt:GetProfilesResponse"),
            ("media", "<tds:GetServiceCapabilities/>", "tds:GetServiceCapabilitiesResponse"),
            ("device", "<trt:GetServiceCapabilities/>", "trt:GetServiceCapabilitiesResponse"),
            ("media", "<tds:GetProfiles/>", None)):
        r = Reply(post(body, path="/onvif/%s_service" % service))
        tag = r.xml.find("s:Body/*", NS).tag
        if answer is None or tag.endswith("}Fault"):
            assert r.bad_request and r.fault() == "ter:InvalidThing", (body, r.body)
        else:
            assert tag == "{%s}%s" % (NS[answer[:3]], answer[4:]), (body, r.body)


def node_client():
    return os.path.join(onvif_library(), "media.js")


def test_an_onvif_client_library_lists_profiles_and_media_addresses(media):
    script = node_client()
    out = subprocess.run(in_lan(["node", script, "10.99.0.2", str(PORT)]),
                         capture_output=True, text=True, timeout=60)
    result = json.loads(out.stdout.strip().splitlines()[-1])
    assert "error" not in result, result
    assert [(p["token"], p["fixed"], p["encoder"]) for p in result["profiles"]] == [
        ("stream1", True, "T-VEConf-stream1"), ("stream2", True, "T-VEConf-stream2")]
    assert result["profiles"][0]["audio"] and not result["profiles"][1]["audio"]
    assert result["profiles"][0]["width"] == 1920
    # The camera's eth0 address (the NETWORK section), the first profile's stream on the
    # streaming server's default port, and the snapshot on the CAM section's http_port (80).
    assert result["stream"] == "rtsp://10.99.0.2/onvif/stream1", result
    assert result["snapshot"] == "http://10.99.0.2:80/onvif/no_image.jpg", result
