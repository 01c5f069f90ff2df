"""Records nvtd's answer to every operation of its action table (server mode), and to a subset
in relay and CGI mode, as raw bytes with run-dependent values masked: one file a case in the
folder given. Runs inside testbed/sandbox; tests/wire/compare starts it for each build."""
import os
import re
import socket
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, "..", "..", "testbed", "client"),
                os.path.join(HERE, "..", "..", "testbed")]

from camera import program, wait_for  # noqa: E402
from nvtd_relay import http_exchange, soap_post, start_persistent, start_server  # noqa: E402
from onvif_soap import security  # noqa: E402
from settingsd import Settingsd  # noqa: E402

PORT = 8080
USER, PASSWORD = "wire", "wire-pw"
DEV, MED, EVT = ("http://www.onvif.org/ver10/%s/wsdl" % s for s in ("device", "media", "events"))
WSNT = "http://docs.oasis-open.org/wsn/b-2"
PREFIXES = {  # element prefix: (service path, action base)
    "tds": ("/onvif/device_service", DEV + "/"), "trt": ("/onvif/media_service", MED + "/"),
    "tev": ("/onvif/events_service", EVT + "/"), "wsnt": ("/onvif/events_service", WSNT + "/"),
    "tmd": ("/onvif/deviceio_service", "http://www.onvif.org/ver10/deviceIO/wsdl/")}
NAMESPACES = ('xmlns:s="http://www.w3.org/2003/05/soap-envelope" xmlns:tds="%s" xmlns:trt="%s" '
              'xmlns:tev="%s" xmlns:wsnt="%s" xmlns:tt="http://www.onvif.org/ver10/schema" '
              'xmlns:tmd="http://www.onvif.org/ver10/deviceIO/wsdl" '
              'xmlns:a="http://www.w3.org/2005/08/addressing"' % (DEV, MED, EVT, WSNT))


def envelope(body, header=""):
    return ('<?xml version="1.0" encoding="UTF-8"?><s:Envelope %s><s:Header>%s</s:Header>'
            '<s:Body>%s</s:Body></s:Envelope>' % (NAMESPACES, header, body)).encode()


class Case:
    """One request: the operation element (prefix:Name), its children and extra header
    elements; the SOAP action defaults to the service's base plus the name."""

    def __init__(self, element, inner="", action=None, header="", name=None, auth=True,
                 path=None):
        prefix, local = element.split(":")
        self.name = name or local
        self.path = path or PREFIXES[prefix][0]
        self.action = action if action is not None else PREFIXES[prefix][1] + local
        self.element, self.inner, self.header, self.auth = element, inner, header, auth

    def body(self, password=PASSWORD):
        token = security(USER, password)[len("<s:Header>"):-len("</s:Header>")]
        header = (token if self.auth else "") + self.header
        return envelope("<%s>%s</%s>" % (self.element, self.inner, self.element), header)


def D(local, inner="", **kw):
    return Case("tds:" + local, inner, **kw)


def M(local, inner="", **kw):
    return Case("trt:" + local, inner, **kw)


MID = "<a:MessageID>urn:uuid:wire-1</a:MessageID>"
PULL = "<tev:Timeout>PT1S</tev:Timeout><tev:MessageLimit>5</tev:MessageLimit>"
SUB = "<wsnt:ConsumerReference><a:Address>http://10.99.0.1:9/onvif/notify</a:Address>" \
      "</wsnt:ConsumerReference><wsnt:InitialTerminationTime>PT60S</wsnt:InitialTerminationTime>"
RENEW = "<wsnt:TerminationTime>PT60S</wsnt:TerminationTime>"
WIRE = "<trt:ProfileToken>wire</trt:ProfileToken>"
CONF = "<trt:ConfigurationToken>%s</trt:ConfigurationToken>"
USER_EL = "<tds:User><tt:Username>wire2</tt:Username><tt:Password>pw2</tt:Password>" \
          "<tt:UserLevel>%s</tt:UserLevel></tds:User>"
DATE = ("<tds:DateTimeType>Manual</tds:DateTimeType><tds:DaylightSavings>false"
        "</tds:DaylightSavings><tds:TimeZone><tt:TZ>CET-1CEST,M3.5.0,M10.5.0/3</tt:TZ>"
        "</tds:TimeZone><tds:UTCDateTime><tt:Date><tt:Year>2026</tt:Year><tt:Month>6</tt:Month>"
        "<tt:Day>15</tt:Day></tt:Date><tt:Time><tt:Hour>10</tt:Hour><tt:Minute>20</tt:Minute>"
        "<tt:Second>30</tt:Second></tt:Time></tds:UTCDateTime>")
IFACE = ("<tds:InterfaceToken>eth0</tds:InterfaceToken><tds:NetworkInterface><tt:Enabled>true"
         "</tt:Enabled><tt:IPv4><tt:Enabled>true</tt:Enabled><tt:Manual><tt:Address>10.99.0.2"
         "</tt:Address><tt:PrefixLength>24</tt:PrefixLength></tt:Manual><tt:DHCP>false</tt:DHCP>"
         "</tt:IPv4></tds:NetworkInterface>")
SCOPE = "onvif://www.onvif.org/room/wire"


class Raw:
    """A request given as bytes; half_close ends the sending side after them."""

    def __init__(self, name, data, half_close=False):
        self.name, self.data, self.half_close = name, data, half_close

    def answer(self):
        if not self.half_close:
            return http_exchange(PORT, self.data)
        with socket.create_connection(("127.0.0.1", PORT), timeout=15) as s:
            s.sendall(self.data)
            s.shutdown(socket.SHUT_WR)
            return b"".join(iter(lambda: s.recv(65536), b""))


def sid(n):
    return "<SubscriptionId>%d</SubscriptionId>" % n + MID


CASES = [
    # Device service: the readers (the open ones first), then the setters.
    D("GetCapabilities"), D("GetCapabilities", "<tds:Category>Media</tds:Category>",
                            name="GetCapabilities.Media"),
    D("GetServices", "<tds:IncludeCapability>true</tds:IncludeCapability>"),
    *map(D, "GetHostname GetSystemDateAndTime GetDeviceInformation GetNetworkInterfaces GetDNS "
         "GetRelayOutputs GetScopes GetNTP GetNetworkProtocols GetNetworkDefaultGateway "
         "GetZeroConfiguration GetDiscoveryMode GetUsers GetWsdlUrl".split()),
    D("SetSystemDateAndTime", DATE),
    D("SetRelayOutputSettings", "<tds:RelayOutputToken>t_RelayOut-0</tds:RelayOutputToken>"),
    D("SetRelayOutputState", "<tds:RelayOutputToken>t_RelayOut-0</tds:RelayOutputToken>"
      "<tds:LogicalState>active</tds:LogicalState>"),
    D("SetScopes", "<tds:Scopes>%s</tds:Scopes>" % SCOPE),
    D("AddScopes", "<tds:ScopeItem>%s2</tds:ScopeItem>" % SCOPE),
    D("RemoveScopes", "<tds:ScopeItem>%s2</tds:ScopeItem>" % SCOPE),
    D("SetDNS", "<tds:FromDHCP>false</tds:FromDHCP><tds:DNSManual><tt:Type>IPv4</tt:Type>"
      "<tt:IPv4Address>10.99.0.53</tt:IPv4Address></tds:DNSManual>"),
    D("SetNTP", "<tds:FromDHCP>false</tds:FromDHCP>"),
    D("SetNetworkProtocols", "<tds:NetworkProtocols><tt:Name>RTSP</tt:Name><tt:Enabled>true"
      "</tt:Enabled><tt:Port>554</tt:Port></tds:NetworkProtocols>"),
    D("SetNetworkDefaultGateway", "<tds:IPv4Address>10.99.0.1</tds:IPv4Address>"),
    D("SetDiscoveryMode", "<tds:DiscoveryMode>Discoverable</tds:DiscoveryMode>"),
    D("CreateUsers", USER_EL % "User"), D("SetUser", USER_EL % "Operator"),
    D("DeleteUsers", "<tds:Username>wire2</tds:Username>"),
    D("SetHostname", "<tds:Name>camera</tds:Name>"), D("SetNetworkInterfaces", IFACE),
    # Every service's capabilities, by its URI.
    D("GetServiceCapabilities", name="GetServiceCapabilities.device"),
    M("GetServiceCapabilities", name="GetServiceCapabilities.media"),
    Case("tmd:GetServiceCapabilities", name="GetServiceCapabilities.deviceio"),
    Case("tev:GetServiceCapabilities", "", EVT + "/EventPortType/GetServiceCapabilitiesRequest",
         MID, name="GetServiceCapabilities.events"),
    # Media: a profile is created and filled, the readers, the setters, the profile emptied.
    M("GetProfiles"), M("GetProfile", "<trt:ProfileToken>stream1</trt:ProfileToken>"),
    # The service namespace runs into the name: ".../media/wsdlGetProfile".
    M("GetProfile", "<trt:ProfileToken>stream2</trt:ProfileToken>", action=MED + "GetProfile",
      name="wsdlGetProfile"),
    M("CreateProfile", "<trt:Name>wire</trt:Name><trt:Token>wire</trt:Token>"),
    *(M("Add%sConfiguration" % kind, WIRE + CONF % token) for kind, token in (
        ("VideoSource", "T-VSConf-00"), ("VideoEncoder", "T-VEConf-stream1"),
        ("AudioSource", "T-ASConf-00"), ("AudioEncoder", "T-AEConf-00"),
        ("Metadata", "T-MetadataConf-00"))),
    M("GetProfile", WIRE, name="GetProfile.created"), M("GetProfiles", name="GetProfiles.five"),
    M("GetStreamUri", "<trt:StreamSetup><tt:Stream>RTP-Unicast</tt:Stream><tt:Transport>"
      "<tt:Protocol>RTSP</tt:Protocol></tt:Transport></trt:StreamSetup>"
      "<trt:ProfileToken>stream1</trt:ProfileToken>"),
    M("GetSnapshotUri", "<trt:ProfileToken>stream1</trt:ProfileToken>"),
    M("GetVideoSources"), M("GetVideoSources", action=MED + "GetVideoSources",
                            name="wsdlGetVideoSources"),
    *(M("Get%sConfiguration" % kind, CONF % token) for kind, token in (
        ("VideoSource", "T-VSConf-00"), ("VideoEncoder", "T-VEConf-stream2"),
        ("AudioSource", "T-ASConf-00"), ("AudioEncoder", "T-AEConf-00"),
        ("Metadata", "T-MetadataConf-00"))),
    *(M(op % kind, WIRE) for kind in ("VideoSource", "VideoEncoder", "AudioSource",
                                      "AudioEncoder", "Metadata")
      for op in ("Get%sConfigurations", "Get%sConfigurationOptions",
                 "GetCompatible%sConfigurations")),
    *map(M, "GetGuaranteedNumberOfVideoEncoderInstances GetAudioSources GetAudioOutputs".split()),
    M("SetMetadataConfiguration", '<trt:Configuration token="T-MetadataConf-00"><tt:Session'
      "Timeout>PT60S</tt:SessionTimeout></trt:Configuration><trt:ForcePersistence>true"
      "</trt:ForcePersistence>"),
    M("SetVideoSourceConfiguration", '<trt:Configuration token="T-VSConf-00"><tt:Bounds x="0" '
      'y="0" width="1920" height="1080"></tt:Bounds></trt:Configuration>'),
    M("SetVideoEncoderConfiguration", '<trt:Configuration token="T-VEConf-stream2">'
      "<tt:RateControl><tt:FrameRateLimit>15</tt:FrameRateLimit><tt:BitrateLimit>2048"
      "</tt:BitrateLimit></tt:RateControl></trt:Configuration>"),
    M("SetAudioSourceConfiguration", '<trt:Configuration token="T-ASConf-00"><tt:SourceToken>'
      "T-AudioSource-00</tt:SourceToken></trt:Configuration>"),
    M("SetAudioEncoderConfiguration", '<trt:Configuration token="T-AEConf-00"><tt:Bitrate>64'
      "</tt:Bitrate><tt:SampleRate>8</tt:SampleRate></trt:Configuration>"),
    M("SetSynchronizationPoint", "<trt:ProfileToken>stream1</trt:ProfileToken>"),
    M("StartMulticastStreaming", "<trt:ProfileToken>stream1</trt:ProfileToken>"),
    *(M("Remove%sConfiguration" % kind, WIRE) for kind in (
        "Metadata", "VideoEncoder", "VideoSource", "AudioSource", "AudioEncoder")),
    M("DeleteProfile", WIRE),
    # Events: pull point 0 and push subscription 1, then the same under the bare names.
    Case("tev:GetEventProperties", "", EVT + "/EventPortType/GetEventPropertiesRequest"),
    Case("tev:CreatePullPointSubscription", "<tev:InitialTerminationTime>PT60S"
         "</tev:InitialTerminationTime>", EVT + "/EventPortType/CreatePullPointSubscriptionRequest",
         MID),
    Case("tev:PullMessages", PULL, EVT + "/PullPointSubscription/PullMessagesRequest", sid(0)),
    Case("tev:PullMessages", PULL, EVT + "/PullPointSubscription/PullMessagesRequest", sid(0),
         name="PullMessages.empty"),
    Case("wsnt:Renew", RENEW, WSNT + "/SubscriptionManager/RenewRequest", sid(0)),
    Case("tev:SetSynchronizationPoint", "", EVT + "/PullPointSubscription/"
         "SetSynchronizationPointRequest", MID, name="SetSynchronizationPointRequest"),
    Case("wsnt:Subscribe", SUB, WSNT + "/NotificationProducer/SubscribeRequest", MID),
    Case("tev:CreatePullPointSubscription", "", EVT + "/CreatePullPointSubscription", MID,
         name="bare.CreatePullPointSubscription"),
    Case("tev:PullMessages", PULL, EVT + "/PullMessages", sid(2), name="bare.PullMessages"),
    Case("wsnt:Renew", RENEW, WSNT + "/Renew", sid(2), name="bare.Renew"),
    Case("wsnt:Subscribe", SUB, WSNT + "/Subscribe", MID, name="bare.Subscribe"),
    Case("wsnt:Unsubscribe", "", WSNT + "/Unsubscribe", sid(3), name="bare.Unsubscribe"),
    Case("tev:PullMessages", PULL, EVT + "/PullPointSubscription/PullMessagesRequest", sid(7),
         name="PullMessages.unknown"),
    Case("wsnt:Unsubscribe", "", WSNT + "/SubscriptionManager/UnsubscribeRequest", sid(2)),
    Case("wsnt:Unsubscribe", "", WSNT + "/SubscriptionManager/UnsubscribeRequest", sid(1),
         name="Unsubscribe.1"),
    Case("wsnt:Unsubscribe", "", WSNT + "/SubscriptionManager/UnsubscribeRequest", sid(0),
         name="Unsubscribe.0"),
    # The action found other ways than SOAPAction, and refusals.
    D("GetDeviceInformation", action="", name="action.from-body"),
    D("GetDeviceInformation", header="<a:Action>%s/GetDeviceInformation</a:Action>" % DEV,
      action="", name="action.element"),
    D("GetDeviceInformation", auth=False, name="error.missing-token"),
    D("FrobnicateWidgets", name="error.unknown-action"),
    Case("tds:GetCapabilities", action="", path="/onvif/device_service", name="open.from-body"),
    Raw("error.wrong-password", soap_post(D("GetUsers").body("wrong"), DEV + "/GetUsers")),
    Raw("action.content-type", soap_post(D("GetDeviceInformation").body()).replace(
        b"charset=utf-8", b'charset=utf-8; action="%s/GetDeviceInformation"' % DEV.encode())),
    Raw("error.bad-content-length", b"POST / HTTP/1.0\r\nContent-Length: 50001\r\n\r\nx"),
    Raw("error.no-content-length", b"POST / HTTP/1.0\r\nHost: x\r\n\r\n"),
    Raw("error.no-action", b"POST / HTTP/1.0\r\nContent-Length: 5\r\n\r\n", True),
    # Last: the operations that end in the reboot stand-in.
    D("SetSystemFactoryDefault", "<tds:FactoryDefault>Soft</tds:FactoryDefault>"),
    D("SystemReboot"),
]
SUBSET = ["GetSystemDateAndTime", "GetCapabilities", "GetDeviceInformation", "GetProfiles",
          "GetStreamUri", "GetVideoEncoderConfigurations", "GetScopes", "GetUsers",
          "GetServiceCapabilities.events", "error.missing-token", "error.unknown-action"]


def masked(raw):
    """The answer with run-dependent values replaced and its Content-Length checked."""
    text = raw.decode("latin-1")
    head, sep, body = text.partition("\r\n\r\n")
    found = re.search(r"Content-Length: *(\d+)", head)
    if sep and found:
        n = int(found.group(1))
        mark = "<= body>" if n == len(body) else "%d <body has %d>" % (n, len(body))
        text = head[:found.start(1)] + mark + head[found.end(1):] + sep + body
    text = re.sub(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d+)?(Z|[+-]\d\d:?\d\d)?", "<TIME>", text)
    text = re.sub(r"<tt:(Year|Month|Day|Hour|Minute|Second)>\d+<", r"<tt:\1>N<", text)
    text = re.sub(r"[0-9a-fA-F]{8}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-"
                  r"[0-9a-fA-F]{12}", "<UUID>", text)
    return re.sub(r"(?m)^Date: .*$", "Date: <DATE>", text).encode("latin-1")


def record_server(out, server):
    for i, case in enumerate(CASES):
        if case.name == "PullMessages.empty":  # once the delivery thread took the first event
            wait_for(lambda: "got motion" in server.out(), timeout=10)
        if isinstance(case, Raw):
            raw = case.answer()
        else:
            raw = http_exchange(PORT, soap_post(case.body(), case.action or None, case.path))
        out("server-%03d-%s" % (i, case.name), raw)


def record_cgi(out, mode, command):
    """The subset through a CGI program: nvtd itself or the forwarder to nvtd --persist."""
    cases = {c.name: c for c in CASES}
    for i, name in enumerate(SUBSET):
        case, env = cases[name], dict(os.environ)
        body = case.body()
        env.update(REQUEST_METHOD="POST", REQUEST_URI=case.path, CONTENT_LENGTH=str(len(body)),
                   CONTENT_TYPE="application/soap+xml; charset=utf-8",
                   HTTP_SOAPACTION='"%s"' % case.action)
        r = subprocess.run(command, input=body, capture_output=True, env=env, timeout=60)
        out("%s-%03d-%s" % (mode, i, name), r.stdout)


def main(folder):
    os.makedirs(folder, exist_ok=True)

    def out(name, raw):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(masked(raw))

    users = subprocess.run(program("nvtd", "nvtd") + ["useradd", USER, PASSWORD, "administrator"],
                           capture_output=True, text=True, timeout=10, check=True).stdout
    os.makedirs("/etc/nvtd", exist_ok=True)
    with open("/etc/nvtd/users", "w") as f:
        f.write(users.strip() + "\n")
    settings = Settingsd()
    try:
        server = start_server(PORT)
        try:
            record_server(out, server)
        finally:
            server.stop()
        server, fd = start_persistent()
        try:
            record_cgi(out, "relay", program("testbed", "forwarder", "nvtd-forwarder"))
        finally:
            os.close(fd)
            server.stop()
        record_cgi(out, "cgi", program("nvtd", "nvtd"))
    finally:
        settings.stop()
    print("recorded %d cases in %s" % (len(os.listdir(folder)), folder))


if __name__ == "__main__":
    main(sys.argv[1])
