"""Device information, capabilities, services, date and time, relay outputs and the stream and
snapshot URIs of nvtd in server mode on port 8080, with the settings stand-in running and a
user made with `nvtd useradd`. Every SOAP answer is parsed with xml.etree."""
import calendar
import datetime
import os
import shutil
import subprocess
import time
import zoneinfo

import pytest

from camera import program, wait_for, write_accounts
from onvif_soap import NS, TDS, TEV, TMD, TRT, TT, envelope, post, security, serving
from onvif_validate import validate
from settingsd import Settingsd

TIMG = "http://www.onvif.org/ver20/imaging/wsdl"
TR2 = "http://www.onvif.org/ver20/media/wsdl"

PORT = 8080
CAMERA = "10.99.0.2"
USER, PASSWORD = "operator", "op-secret"
ZONES = "/usr/share/zoneinfo"


def zone_rule(name):
    with open(os.path.join(ZONES, name), "rb") as f:
        return f.read().rstrip(b"\n").rsplit(b"\n", 1)[1].decode()


def use_zone(name):
    if os.path.lexists("/etc/localtime"):
        os.remove("/etc/localtime")
    if name:
        shutil.copyfile(os.path.join(ZONES, name), "/etc/localtime")


@pytest.fixture(scope="module")
def camera():
    write_accounts((USER, PASSWORD, "administrator"))
    use_zone("Europe/Berlin")
    settings = Settingsd()
    nvtd = subprocess.Popen(program("nvtd", "nvtd") + ["--port", str(PORT)],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        assert wait_for(lambda: serving(PORT), timeout=30)
        yield settings
    finally:
        nvtd.terminate()
        nvtd.wait(timeout=15)
        settings.stop()


def call(operation, inner="", auth=True, path="/onvif/device_service", prefix="tds"):
    header = security(USER, PASSWORD) if auth else ""
    body = "<%s:%s>%s</%s:%s>" % (prefix, operation, inner, prefix, operation)
    return post(envelope(body, header), PORT, path=path)


def capabilities(category=None):
    inner = "" if category is None else "<tds:Category>%s</tds:Category>" % category
    return call("GetCapabilities", inner, auth=False)


def xaddrs(root):
    return [e.text for e in root.iter() if e.tag.endswith("}XAddr")]


def test_capabilities_all_and_absent_agree_with_every_block_and_port(camera):
    absent, everything = capabilities(), capabilities("All")
    assert absent.status == "HTTP/1.0 200 OK"
    assert absent.body == everything.body
    caps = absent.xml().find("s:Body/tds:GetCapabilitiesResponse/tds:Capabilities", NS)
    assert [child.tag for child in caps] == ["{%s}%s" % (TT, n)
                                             for n in ("Device", "Events", "Imaging", "Media",
                                                       "Extension")]
    assert xaddrs(caps) == ["http://%s:%d/onvif/%s" % (CAMERA, PORT, s) for s in
                            ("device_service", "events_service", "imaging_service",
                             "media_service", "deviceio_service")]
    io = caps.find("tt:Extension/tt:DeviceIO", NS)
    assert io.find("tt:AudioSources", NS).text == "1"  # the sandbox camera has audio
    assert io.find("tt:RelayOutputs", NS).text == "0"
    versions = caps.findall("tt:Device/tt:System/tt:SupportedVersions", NS)
    assert [(v.find("tt:Major", NS).text, v.find("tt:Minor", NS).text) for v in versions] == \
        [("1", "2"), ("1", "1"), ("2", "10")]


def test_capabilities_of_one_category(camera):
    for category in ("Device", "Media", "Events", "Imaging"):
        caps = capabilities(category).xml().find(
            "s:Body/tds:GetCapabilitiesResponse/tds:Capabilities", NS)
        assert [child.tag for child in caps] == ["{%s}%s" % (TT, category)]


def test_capabilities_refusals(camera):
    ptz = capabilities("PTZ")
    assert ptz.status == "HTTP/1.0 200 OK"
    assert ptz.fault() == ("The service is not supported",
                           ["ter:ActionNotSupported", "ter:NoSuchService"])
    for wrong in ("all", "Everything"):
        mismatch = capabilities(wrong)
        assert mismatch.status == "HTTP/1.0 200 OK"
        assert mismatch.fault() == (
            "Validation constraint violation: data type mismatch  in element 'Category'", [])


def services(include):
    inner = "" if include is None else \
        "<tds:IncludeCapability>%s</tds:IncludeCapability>" % include
    return call("GetServices", inner, auth=False).xml().findall(
        "s:Body/tds:GetServicesResponse/tds:Service", NS)


def test_services_short_and_long_form(camera):
    short = services("false")
    assert [s.find("tds:Namespace", NS).text for s in short] == [TDS, TEV, TRT, TMD, TIMG, TR2]
    assert [s.find("tds:XAddr", NS).text for s in short] == [
        "http://%s:%d/onvif/%s" % (CAMERA, PORT, s) for s in
        ("device_service", "events_service", "media_service", "deviceio_service",
         "imaging_service", "media2_service")]
    assert [(s.find("tds:Version/tt:Major", NS).text, s.find("tds:Version/tt:Minor", NS).text)
            for s in short] == [("1", "4"), ("1", "4"), ("1", "5"), ("1", "4"), ("2", "0"),
                                ("2", "0")]
    assert all(s.find("tds:Capabilities", NS) is None for s in short)
    assert [len(s) for s in services(None)] == [len(s) for s in short]

    long = services("true")
    own = [s.find("tds:Capabilities", NS)[0] for s in long]
    assert [c.tag for c in own] == ["{%s}Capabilities" % ns
                                    for ns in (TDS, TEV, TRT, TMD, TIMG, TR2)]
    assert [c.tag for c in long[0]] == ["{%s}%s" % (TDS, n) for n in
                                        ("Namespace", "XAddr", "Capabilities", "Version")]
    assert own[0].find("tds:Security", NS).get("UsernameToken") == "true"
    assert own[2].find("trt:StreamingCapabilities", NS).get("RTP_RTSP_TCP") == "true"
    assert own[3].get("RelayOutputs") == "0" and own[3].get("VideoSources") == "1"
    assert own[5].find("{%s}ProfileCapabilities" % TR2).get("MaximumNumberOfProfiles") == "7"


def test_service_capabilities_by_namespace_else_by_uri(camera):
    def ask(path, inner="", name_space=None):
        """Without a namespace (an unqualified element) the request URI decides."""
        declared = ' xmlns="%s"' % name_space if name_space else ""
        body = "<GetServiceCapabilities%s>%s</GetServiceCapabilities>" % (declared, inner)
        return post(envelope(body), PORT, path=path).xml()

    # A namespace decides over the address.
    for path, name_space, answer in (("/onvif/media_service", TDS, "tds"),
                                     ("/onvif/device_service", TRT, "trt"),
                                     ("/onvif/device_service", TMD, "tmd"),
                                     ("/onvif/media_service", TEV, "tev")):
        response = ask(path, name_space=name_space)
        assert response.find("s:Body/%s:GetServiceCapabilitiesResponse" % answer, NS) is not None

    device = ask("/onvif/device_service")
    assert device.find("s:Body/tds:GetServiceCapabilitiesResponse/tds:Capabilities/tds:System",
                       NS).get("DiscoveryResolve") == "true"
    media = ask("/onvif/media_service")
    assert media.find("s:Body/trt:GetServiceCapabilitiesResponse/trt:Capabilities/"
                      "trt:ProfileCapabilities", NS).get("MaximumNumberOfProfiles") == "15"
    media2 = ask("/onvif/media2_service")
    assert media2.find("s:Body/{%s}GetServiceCapabilitiesResponse/{%s}Capabilities" % (TR2, TR2),
                       NS).get("SnapshotUri") == "true"
    io = ask("/onvif/deviceio_service")
    assert io.find("s:Header", NS) is not None
    assert io.find("s:Body/tmd:GetServiceCapabilitiesResponse/tmd:Capabilities",
                   NS).get("DigitalInputs") == "0"
    events = ask("/onvif/events_service",
                 '<wsa:MessageID xmlns:wsa="%s">urn:uuid:1&amp;2</wsa:MessageID>' % NS["wsa5"])
    assert events.find("s:Header/wsa5:MessageID", NS).text == "urn:uuid:1&2"
    assert events.find("s:Header/wsa5:To", NS).text == \
        "http://%s:%d/onvif/events_service" % (CAMERA, PORT)
    assert events.find("s:Body/tev:GetServiceCapabilitiesResponse/tev:Capabilities",
                       NS).get("MaxPullPoints") == "20"


def test_device_information_and_wsdl_url_need_authentication(camera):
    unauthenticated = call("GetDeviceInformation", auth=False)
    assert unauthenticated.fault()[1] == ["ter:NotAuthorized"]
    info = call("GetDeviceInformation").xml().find(
        "s:Body/tds:GetDeviceInformationResponse", NS)
    assert [(e.tag.split("}")[1], e.text) for e in info] == [
        ("Manufacturer", "Corvane"), ("Model", "TQLM-R204"), ("FirmwareVersion", "2.1.7"),
        ("SerialNumber", "N/A"), ("HardwareId", "N/A")]
    wsdl = call("GetWsdlUrl").xml().find("s:Body/tds:GetWsdlUrlResponse/tds:WsdlUrl", NS)
    assert wsdl.text == "http://%s:%d/wsdl/onvif" % (CAMERA, PORT)


@pytest.mark.parametrize("operation,path,prefix,sections", [
    ("GetDeviceInformation", "/onvif/device_service", "tds", ["INFO"]),
    ("GetProfiles", "/onvif/media_service", "trt", ["CAM", "ENCODE", "STREAM0", "STREAM1"]),
])
def test_a_request_gets_only_the_sections_it_reads(camera, operation, path, prefix, sections):
    before = len(camera.exchanges())
    assert operation + "Response" in call(operation, path=path, prefix=prefix).text
    assert sorted(e.get("section") for e in camera.exchanges()[before:]) == sections


def test_relay_outputs_are_fixed(camera):
    relays = call("GetRelayOutputs").xml().findall(
        "s:Body/tds:GetRelayOutputsResponse/tds:RelayOutputs", NS)
    assert [r.get("token") for r in relays] == ["t_RelayOut-0"]
    props = relays[0].find("tt:Properties", NS)
    assert [e.text for e in props] == ["Bistable", "PT1S", "closed"]
    for op in ("SetRelayOutputSettings", "SetRelayOutputState"):
        response = call(op, "<tds:RelayOutputToken>t_RelayOut-0</tds:RelayOutputToken>").xml()
        assert len(response.find("s:Body/tds:%sResponse" % op, NS)) == 0


def test_the_device_io_service_is_answered_as_its_wsdl_states_it(camera, tmp_path):
    """The device I/O WSDL names tds elements for GetRelayOutputs and SetRelayOutputState
    (with actions spelt "deviceio") and a tmd element for SetRelayOutputSettings."""
    action = "http://www.onvif.org/ver10/deviceio/wsdl/"
    answers = []
    for op, prefix, found in [("GetRelayOutputs", "tds", "tds:GetRelayOutputsResponse"),
                              ("SetRelayOutputState", "tds", "tds:SetRelayOutputStateResponse"),
                              ("SetRelayOutputSettings", "tmd",
                               "tmd:SetRelayOutputSettingsResponse")]:
        body = ('<%s:%s xmlns:%s="%s"><%s:RelayOutputToken>t_RelayOut-0</%s:RelayOutputToken>'
                "</%s:%s>" % (prefix, op, prefix, NS[prefix], prefix, prefix, prefix, op))
        answer = post(envelope(body, security(USER, PASSWORD)), PORT,
                      path="/onvif/deviceio_service", action=action + op)
        assert answer.xml().find("s:Body/" + found, NS) is not None, answer.text
        answers.append(answer.text)
    validate(tmp_path, *answers)


def date_time(auth=False):
    """(before, answer, after): the clock's whole seconds around one GetSystemDateAndTime
    (from nanoseconds: a float of time.time() rounds the last 0.2 us of a second up)."""
    before = time.time_ns() // 1_000_000_000
    answer = call("GetSystemDateAndTime", auth=auth)
    after = time.time_ns() // 1_000_000_000
    return before, answer.xml().find(
        "s:Body/tds:GetSystemDateAndTimeResponse/tds:SystemDateAndTime", NS), after


def fields(element):
    names = ("Date/tt:Year", "Date/tt:Month", "Date/tt:Day",
             "Time/tt:Hour", "Time/tt:Minute", "Time/tt:Second")
    return tuple(int(element.find("tt:" + n, NS).text) for n in names)


def test_date_and_time_with_a_daylight_saving_zone(camera):
    use_zone("Europe/Berlin")
    before, reply, after = date_time()
    assert reply.find("tt:TimeZone/tt:TZ", NS).text == zone_rule("Europe/Berlin")
    assert reply.find("tt:TimeZone/tt:TZ", NS).text == "CET-1CEST,M3.5.0,M10.5.0/3"
    utc = fields(reply.find("tt:UTCDateTime", NS))
    stamp = calendar.timegm(utc)
    assert before <= stamp <= after
    berlin = zoneinfo.ZoneInfo("Europe/Berlin")
    local = datetime.datetime.fromtimestamp(stamp, berlin)
    assert fields(reply.find("tt:LocalDateTime", NS)) == \
        (local.year, local.month, local.day, local.hour, local.minute, local.second)
    assert reply.find("tt:DaylightSavings", NS).text == \
        ("true" if local.dst().total_seconds() else "false")


def test_date_and_time_with_an_angle_bracket_rule_and_without_a_zone_file(camera):
    try:
        use_zone("Asia/Dubai")
        assert date_time()[1].find("tt:TimeZone/tt:TZ", NS).text == "<+04>-4"
        # Many cameras run on UTC without a zone file: the times still come, with no rule.
        use_zone(None)
        before, reply, after = date_time()
        assert reply.find("tt:TimeZone/tt:TZ", NS).text is None
        utc = fields(reply.find("tt:UTCDateTime", NS))
        assert before <= calendar.timegm(utc) <= after
        assert fields(reply.find("tt:LocalDateTime", NS)) == utc
    finally:
        use_zone("Europe/Berlin")


def set_date_time(hour="10", minute="20", second="30", year="2026", month="6", day="15",
                  daylight="false", zone="CET-1CEST,M3.5.0,M10.5.0/3"):
    values = {"Hour": hour, "Minute": minute, "Second": second,
              "Year": year, "Month": month, "Day": day}
    time_part = "".join("<tt:%s>%s</tt:%s>" % (k, values[k], k)
                        for k in ("Hour", "Minute", "Second"))
    date_part = "".join("<tt:%s>%s</tt:%s>" % (k, values[k], k) for k in ("Year", "Month", "Day"))
    inner = ("<tds:DateTimeType>Manual</tds:DateTimeType>"
             "<tds:DaylightSavings>%s</tds:DaylightSavings>"
             "<tds:TimeZone><tt:TZ>%s</tt:TZ></tds:TimeZone>"
             "<tds:UTCDateTime><tt:Date>%s</tt:Date><tt:Time>%s</tt:Time></tds:UTCDateTime>"
             % (daylight, zone, date_part, time_part))
    return call("SetSystemDateAndTime", inner)


def test_set_date_and_time_validation_and_the_daylight_choice(camera):
    invalid_date = ("Invalid data", ["ter:InvalidArgVal", "ter:InvalidDateTime"])
    for wrong in ({"hour": "24"}, {"month": "13"}, {"year": "1899"}, {"daylight": "maybe"},
                  {"minute": "60"}, {"day": "32"}, {"hour": "noon"}):
        answer = set_date_time(**wrong)
        assert answer.status == "HTTP/1.0 400 Bad Request", wrong
        assert answer.fault() == invalid_date, wrong
    bad_zone = set_date_time(zone="INVALIDTIMEZONE")
    assert bad_zone.status == "HTTP/1.0 400 Bad Request"
    assert bad_zone.fault() == ("Invalid data", ["ter:InvalidArgVal", "ter:InvalidTimeZone"])

    for choice in ("true", "false"):
        done = set_date_time(month="2", day="31", daylight=choice)  # no month check
        assert done.status == "HTTP/1.0 200 OK" and done.fault() is None
        assert done.xml().find("s:Body/tds:SetSystemDateAndTimeResponse", NS) is not None
        assert date_time()[1].find("tt:DaylightSavings", NS).text == choice


def stream_uri(protocol, token="stream2"):
    protocol_part = "" if protocol is None else \
        "<tt:Transport><tt:Protocol>%s</tt:Protocol></tt:Transport>" % protocol
    inner = ("<trt:StreamSetup><tt:Stream>RTP-Unicast</tt:Stream>%s</trt:StreamSetup>"
             "<trt:ProfileToken>%s</trt:ProfileToken>" % (protocol_part, token))
    return call("GetStreamUri", inner, path="/onvif/media_service", prefix="trt")


def uri_of(answer):
    uri = answer.xml().find("s:Body/trt:GetStreamUriResponse/trt:MediaUri/tt:Uri", NS)
    return None if uri is None else uri.text


def test_stream_uris(camera):
    assert uri_of(stream_uri("RTSP")) == "rtsp://%s/onvif/stream2" % CAMERA
    assert uri_of(stream_uri("HTTP")) == "http://%s:82/onvif/stream2" % CAMERA
    assert uri_of(stream_uri("UDP", "stream3")) == "rtsp://%s/onvif/stream3" % CAMERA
    lower = stream_uri("rtsp")
    assert lower.status == "HTTP/1.0 400 Bad Request"
    assert lower.fault() == (
        "Validation constraint violation: data type mismatch  in element 'Protocol'", [])
    # A created profile whose token names no stream gives stream 1.
    assert uri_of(stream_uri("RTSP", "custom")) is None
    created = call("CreateProfile", "<trt:Name>Custom</trt:Name><trt:Token>custom</trt:Token>",
                   path="/onvif/media_service", prefix="trt")
    assert created.fault() is None
    assert uri_of(stream_uri("RTSP", "custom")) == "rtsp://%s/onvif/stream1" % CAMERA
    unknown = stream_uri("RTSP", "no-such-profile")
    assert unknown.status == "HTTP/1.0 400 Bad Request"
    assert unknown.fault()[1] == ["ter:InvalidArgVal", "ter:NoProfile"]
    missing = stream_uri(None)
    assert missing.headers.get("content-type") == "text/plain"
    assert missing.text == "Protocol not specified\n"


def test_snapshot_uri_and_multicast_refusal(camera):
    for token in ("stream1", "anything"):
        snapshot = call("GetSnapshotUri", "<trt:ProfileToken>%s</trt:ProfileToken>" % token,
                        path="/onvif/media_service", prefix="trt").xml()
        assert snapshot.find("s:Body/trt:GetSnapshotUriResponse/trt:MediaUri/tt:Uri",
                             NS).text == "http://%s:80/onvif/no_image.jpg" % CAMERA
    multicast = call("StartMulticastStreaming", "<trt:ProfileToken>stream1</trt:ProfileToken>",
                     path="/onvif/media_service", prefix="trt")
    assert multicast.status == "HTTP/1.0 400 Bad Request"
    assert multicast.fault()[1] == ["ter:ActionNotSupported", "ter:InvalidStreamSetup"]


def test_address_placeholder_when_the_camera_has_no_address(camera):
    subprocess.run(["ip", "addr", "del", CAMERA + "/24", "dev", "eth0"], check=True)
    try:
        # Reading an interface without an address takes its 15 one-second retries.
        body = envelope("<tds:GetCapabilities></tds:GetCapabilities>")
        caps = post(body, PORT, timeout=60).xml()
        assert len(xaddrs(caps)) == 5
        assert all(x.startswith("http://xxx.xxx.xxx.xxx:%d/onvif/" % PORT) for x in xaddrs(caps))
    finally:
        subprocess.run(["ip", "addr", "add", CAMERA + "/24", "dev", "eth0"], check=True)
        subprocess.run(["ip", "route", "replace", "default", "via", "10.99.0.1", "dev", "eth0"],
                       check=True)
