#!/usr/bin/python3
"""Checks tests/onvif-validate on answers made here: what it must pass and what it must
refuse, per namespace. Without ONVIF's schemas it exits 77 (CTest: skipped), saying where to
put them; with ONVIF_SCHEMAS_REQUIRED=1 (CI) that is a failure."""
import os
import subprocess
import sys
import tempfile

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "onvif-validate")
NS = ('xmlns:s="http://www.w3.org/2003/05/soap-envelope" '
      'xmlns:tds="http://www.onvif.org/ver10/device/wsdl" '
      'xmlns:trt="http://www.onvif.org/ver10/media/wsdl" '
      'xmlns:tr2="http://www.onvif.org/ver20/media/wsdl" '
      'xmlns:tev="http://www.onvif.org/ver10/events/wsdl" '
      'xmlns:timg="http://www.onvif.org/ver20/imaging/wsdl" '
      'xmlns:wsnt="http://docs.oasis-open.org/wsn/b-2" '
      'xmlns:wsa="http://www.w3.org/2005/08/addressing" '
      'xmlns:tt="http://www.onvif.org/ver10/schema"')
HEAD = "HTTP/1.0 200 OK\r\nContent-Type: application/soap+xml; charset=utf-8\r\n\r\n"
NOTE = ('<wsnt:Notify><wsnt:NotificationMessage><wsnt:Topic Dialect="http://www.onvif.org/ver10/'
        'tev/topicExpression/ConcreteSet">tns1:VideoSource/MotionAlarm</wsnt:Topic><wsnt:Message>'
        '<tt:Message UtcTime="%s"><tt:Data><tt:SimpleItem Name="State" Value="true"/></tt:Data>'
        '</tt:Message></wsnt:Message></wsnt:NotificationMessage></wsnt:Notify>')
FAULT = ('<s:Fault>%s<s:Reason><s:Text xml:lang="en">no</s:Text></s:Reason></s:Fault>')
CODE = "<s:Code><s:Value>s:Sender</s:Value></s:Code>"

# (name, header blocks, body, valid?, a piece of the verdict)
CASES = [
    ("device", "", "<tds:GetWsdlUrlResponse><tds:WsdlUrl>http://x/</tds:WsdlUrl>"
     "</tds:GetWsdlUrlResponse>", True, "(GetWsdlUrlResponse)"),
    ("device-misspelt", "", "<tds:GetWsdlUrlResponse><tds:WsdlURL>http://x/</tds:WsdlURL>"
     "</tds:GetWsdlUrlResponse>", False, "WsdlURL"),
    ("media", "", "<trt:GetProfilesResponse/>", True, "(GetProfilesResponse)"),
    ("media-incomplete", "", "<trt:GetProfileResponse/>", False, "trt:Profile"),
    ("media2", "", "<tr2:GetProfilesResponse/>", True, "(GetProfilesResponse)"),
    ("media2-wrong-type", "", "<tr2:GetVideoEncoderInstancesResponse><tr2:Info><tr2:Total>"
     "many</tr2:Total></tr2:Info></tr2:GetVideoEncoderInstancesResponse>", False, "many"),
    ("events", "", "<tev:SetSynchronizationPointResponse/>", True, "SetSynchronization"),
    ("events-extra", "", "<tev:SetSynchronizationPointResponse><tev:x/>"
     "</tev:SetSynchronizationPointResponse>", False, "tev:x"),
    ("imaging", "", "<timg:StopResponse/>", True, "(StopResponse)"),
    ("imaging-text", "", "<timg:StopResponse>moving</timg:StopResponse>", False, "invalid"),
    ("notification", "", NOTE % "2026-01-02T03:04:05Z", True, "(Notify)"),
    ("notification-onvif-types", "", NOTE % "yesterday", False, "yesterday"),
    ("addressing", '<wsa:Action s:mustUnderstand="true">http://x/</wsa:Action>',
     "<tev:SetSynchronizationPointResponse/>", True, "valid"),
    ("addressing-wrong", "<wsa:Action><wsa:To/></wsa:Action>",
     "<tev:SetSynchronizationPointResponse/>", False, "Action"),
    ("fault", "", FAULT % CODE, True, "(Fault)"),
    ("fault-without-code", "", FAULT % "", False, "Code"),
    ("discovery", "", '<d:ProbeMatches xmlns:d="http://schemas.xmlsoap.org/ws/2005/04/'
     'discovery"/>', False, "WS-Discovery"),
    ("empty-body", "", "", False, "Body is empty"),
    ("not-well-formed", "", "<tds:GetWsdlUrlResponse>", False, "not well-formed"),
]


def main():
    where = subprocess.run([TOOL, "--where"], capture_output=True, text=True, timeout=60)
    if where.returncode != 0:
        print("skipped: no ONVIF schemas in %s; put them there (../shared/onvif-schemas beside "
              "the tree) or set ONVIF_SCHEMAS=DIR" % where.stdout.strip())
        return 1 if os.environ.get("ONVIF_SCHEMAS_REQUIRED") == "1" else 77
    with tempfile.TemporaryDirectory() as folder:
        files = []
        for name, header, body, _, _ in CASES:
            files.append(os.path.join(folder, name + ".xml"))
            with open(files[-1], "w") as f:
                f.write(HEAD + "<s:Envelope %s><s:Header>%s</s:Header><s:Body>%s</s:Body>"
                        "</s:Envelope>" % (NS, header, body))
        run = subprocess.run([TOOL] + files, capture_output=True, text=True, timeout=600)
    verdicts = run.stdout.splitlines()
    wrong = [(case[0], line) for case, line in zip(CASES, verdicts)
             if line.startswith("valid ") != case[3] or case[4] not in line]
    for name, line in wrong:
        print("wrong verdict on %s: %s" % (name, line))
    if len(verdicts) != len(CASES) or run.returncode != 1:
        print("expected %d verdicts and status 1, got:\n%s%s" % (len(CASES), run.stdout,
                                                                 run.stderr))
        return 1
    print("%d verdicts as expected" % len(CASES))
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
