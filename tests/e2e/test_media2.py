"""Media2 configurations, options, sets, URIs and OSDs of nvtd in server mode: each answer from
the ver20 service and valid; a Media2 encoder set read back through Media1; a user's rights."""
import pytest

from camera import wait_for, write_accounts
from nvtd_relay import start_server
from onvif_soap import SOAP, TT, post, security
from onvif_validate import validate

pytestmark = pytest.mark.usefixtures("settings_server")

PORT, AUTH_PORT = 8080, 8081
MEDIA2, MEDIA = "/onvif/media2_service", "/onvif/media_service"
TR2 = "http://www.onvif.org/ver20/media/wsdl"
TRT = "http://www.onvif.org/ver10/media/wsdl"
NS = {"s": SOAP, "tt": TT, "tr2": TR2, "trt": TRT}
PEERS = ["1.1.1.2", "2.2.2.3", "3.3.3.4"]
ACCOUNTS = {"user": ("viewer", "v-pass"), "operator": ("op", "o-pass")}


def envelope(body, header=""):
    return ('<?xml version="1.0" encoding="UTF-8"?><s:Envelope xmlns:s="%s" xmlns:tr2="%s" '
            'xmlns:trt="%s" xmlns:tt="%s">%s<s:Body>%s</s:Body></s:Envelope>'
            % (SOAP, TR2, TRT, TT, header, body))


def tr2(operation, inner="", port=PORT, header=""):
    body = "<tr2:%s>%s</tr2:%s>" % (operation, inner, operation)
    return post(envelope(body, header), port, path=MEDIA2, timeout=20)


def tokens(name, *values):
    return "".join("<tr2:%s>%s</tr2:%s>" % (name, v, name) for v in values)


@pytest.fixture(scope="module")
def nvtd():
    server = start_server(PORT, "--noauth")
    yield server
    server.stop()


def encoder(token, inner, gov=None, profile="Baseline"):
    attributes = ' token="%s"' % token
    if gov is not None:
        attributes += ' GovLength="%d"' % gov
    if profile:
        attributes += ' Profile="%s"' % profile
    return ("<tr2:Configuration%s><tt:Name>n</tt:Name><tt:UseCount>1</tt:UseCount>%s"
            "<tt:Quality>80</tt:Quality></tr2:Configuration>" % (attributes, inner))


def rate(fps, kbps):
    return ("<tt:RateControl><tt:FrameRateLimit>%s</tt:FrameRateLimit><tt:BitrateLimit>%d"
            "</tt:BitrateLimit></tt:RateControl>" % (fps, kbps))


H264 = "<tt:Encoding>H264</tt:Encoding>"
VS = "<tt:ConfigurationToken>T-VSConf-00</tt:ConfigurationToken>"
# (operation, request content, the answer's Body element or the fault's last subcode)
CASES = [
    ("GetVideoSourceConfigurations", "", "GetVideoSourceConfigurationsResponse"),
    ("GetVideoEncoderConfigurations", "", "GetVideoEncoderConfigurationsResponse"),
    ("GetVideoEncoderConfigurations", tokens("ConfigurationToken", "T-VEConf-stream9"),
     "ter:NoConfig"),
    ("GetAudioSourceConfigurations", tokens("ProfileToken", "stream1"),
     "GetAudioSourceConfigurationsResponse"),
    ("GetAudioEncoderConfigurations", "", "GetAudioEncoderConfigurationsResponse"),
    ("GetMetadataConfigurations", "", "GetMetadataConfigurationsResponse"),
    ("GetVideoSourceConfigurationOptions", "", "GetVideoSourceConfigurationOptionsResponse"),
    ("GetVideoEncoderConfigurationOptions", tokens("ProfileToken", "stream2"),
     "GetVideoEncoderConfigurationOptionsResponse"),
    ("GetAudioSourceConfigurationOptions", "", "GetAudioSourceConfigurationOptionsResponse"),
    ("GetAudioEncoderConfigurationOptions", "", "GetAudioEncoderConfigurationOptionsResponse"),
    ("GetMetadataConfigurationOptions", "", "GetMetadataConfigurationOptionsResponse"),
    ("GetVideoEncoderInstances", VS, "GetVideoEncoderInstancesResponse"),
    ("GetStreamUri", "<tr2:Protocol>RTSP</tr2:Protocol>" + tokens("ProfileToken", "stream1"),
     "GetStreamUriResponse"),
    ("GetStreamUri", "<tr2:Protocol>RtspOverHttp</tr2:Protocol>" +
     tokens("ProfileToken", "stream1"), "ter:InvalidStreamSetup"),
    ("GetSnapshotUri", tokens("ProfileToken", "stream2"), "GetSnapshotUriResponse"),
    ("SetSynchronizationPoint", tokens("ProfileToken", "stream1"),
     "SetSynchronizationPointResponse"),
    ("GetOSDs", "", "GetOSDsResponse"),
    ("GetOSDOptions", VS, "GetOSDOptionsResponse"),
    ("SetVideoSourceConfiguration",
     '<tr2:Configuration token="T-VSConf-00"><tt:Name>n</tt:Name><tt:UseCount>1</tt:UseCount>'
     '<tt:SourceToken>HD</tt:SourceToken><tt:Bounds x="0" y="0" width="1" height="1"/>'
     "</tr2:Configuration>", "ter:ConfigModify"),
    ("SetVideoEncoderConfiguration", encoder("T-VEConf-stream1", "<tt:Encoding>JPEG</tt:Encoding>"),
     "ter:ConfigModify"),
    ("SetAudioEncoderConfiguration",
     '<tr2:Configuration token="T-AEConf-00"><tt:Name>n</tt:Name><tt:UseCount>1</tt:UseCount>'
     "<tt:Encoding>PCMU</tt:Encoding><tt:Bitrate>64</tt:Bitrate><tt:SampleRate>8"
     "</tt:SampleRate></tr2:Configuration>", "SetAudioEncoderConfigurationResponse"),
]


def answered_by(answer):
    """The answer's Body element as "{namespace}name", or the fault's last subcode."""
    fault = answer.fault()
    if fault is not None:
        return fault[1][-1] if fault[1] else fault[0]
    return answer.xml().find("s:Body", NS)[0].tag


def test_each_answer_comes_from_media2_and_is_valid(nvtd, tmp_path):
    answers = []
    for operation, inner, expected in CASES:
        answer = tr2(operation, inner)
        got = answered_by(answer)
        want = expected if expected.startswith("ter:") else "{%s}%s" % (TR2, expected)
        assert got == want, (operation, inner, answer.text[-600:])
        answers.append(answer.raw.decode())
    validate(tmp_path, *answers)


def local_sets(settings, mark):
    return [(e["section"], e["lines"]) for e in settings.entries()[mark:]
            if e.get("cmd") == 101 and e["addr"] not in PEERS]


def media1_encoder(token):
    body = ("<trt:GetVideoEncoderConfiguration><trt:ConfigurationToken>%s"
            "</trt:ConfigurationToken></trt:GetVideoEncoderConfiguration>" % token)
    return post(envelope(body), PORT, path=MEDIA, timeout=20).xml()


def test_a_media2_encoder_set_reads_back_through_media1(nvtd, settings_server):
    before = media1_encoder("T-VEConf-stream2")
    width = before.find(".//tt:Resolution/tt:Width", NS).text
    height = before.find(".//tt:Resolution/tt:Height", NS).text
    resolution = ("<tt:Resolution><tt:Width>%s</tt:Width><tt:Height>%s</tt:Height>"
                  "</tt:Resolution>" % (width, height))
    mark = len(settings_server.entries())
    answer = tr2("SetVideoEncoderConfiguration",
                 encoder("T-VEConf-stream2", H264 + resolution + rate("12.0", 1500), gov=24))
    assert answered_by(answer) == "{%s}SetVideoEncoderConfigurationResponse" % TR2, answer.text
    assert local_sets(settings_server, mark) == [
        ("ENCODE", ["s1_fps = 12"]), ("STREAM1", ["s1_cbr_avg_bps = 1500000"]),
        ("STREAM1", ["s1_N = 24"]), ("ENCODE", ["s1_type = 1"])]
    after = media1_encoder("T-VEConf-stream2")
    assert [after.find(".//tt:" + name, NS).text
            for name in ("FrameRateLimit", "BitrateLimit", "GovLength", "Encoding", "Width")] \
        == ["12", "1500", "24", "H264", width]
    listed = tr2("GetVideoEncoderConfigurations",
                 tokens("ConfigurationToken", "T-VEConf-stream2")).xml()
    config = listed.find(".//tr2:Configurations", NS)
    assert config.get("GovLength") == "24"
    assert config.find("tt:RateControl/tt:FrameRateLimit", NS).text == "12"


@pytest.fixture(scope="module")
def authenticating():
    write_accounts(*[(name, password, level) for level, (name, password) in ACCOUNTS.items()])
    server = start_server(AUTH_PORT)
    yield server
    server.stop()


SETS = [("SetVideoEncoderConfiguration", encoder("T-VEConf-stream2", H264 + rate(9, 900))),
        ("SetSynchronizationPoint", tokens("ProfileToken", "stream1")),
        ("SetAudioEncoderConfiguration",
         '<tr2:Configuration token="T-AEConf-00"><tt:Name>n</tt:Name><tt:UseCount>1</tt:UseCount>'
         "<tt:Encoding>PCMU</tt:Encoding><tt:Bitrate>64</tt:Bitrate><tt:SampleRate>8"
         "</tt:SampleRate></tr2:Configuration>")]
READS = [("GetVideoEncoderConfigurations", ""), ("GetVideoEncoderConfigurationOptions", ""),
         ("GetStreamUri", "<tr2:Protocol>RTSP</tr2:Protocol>" + tokens("ProfileToken", "stream1")),
         ("GetOSDs", "")]


def as_account(level, operation, inner):
    return tr2(operation, inner, port=AUTH_PORT, header=security(*ACCOUNTS[level]))


def test_a_user_reads_but_does_not_set(authenticating, settings_server):
    for operation, inner in READS:
        answer = as_account("user", operation, inner)
        assert answered_by(answer) == "{%s}%sResponse" % (TR2, operation), answer.text[-400:]
    mark = len(settings_server.entries())
    for operation, inner in SETS:
        answer = as_account("user", operation, inner)
        assert answer.status == "HTTP/1.0 400 Bad Request", operation
        assert answered_by(answer) == "ter:NotAuthorized", (operation, answer.text[-400:])
    assert local_sets(settings_server, mark) == []
    for operation, inner in SETS:
        answer = as_account("operator", operation, inner)
        assert answered_by(answer) == "{%s}%sResponse" % (TR2, operation), answer.text[-400:]
    assert wait_for(lambda: ("ENCODE", ["s1_fps = 9"]) in local_sets(settings_server, mark))
