"""SOAP 1.2 requests to nvtd in server mode, as an ONVIF client sends them: envelopes, the
WS-Security UsernameToken with a password digest, one request per connection, and the
answer split into status, headers and body (a SOAP body parsed with xml.etree)."""
import base64
import datetime
import hashlib
import os
import socket
import xml.etree.ElementTree as ET

SOAP = "http://www.w3.org/2003/05/soap-envelope"
TDS = "http://www.onvif.org/ver10/device/wsdl"
TRT = "http://www.onvif.org/ver10/media/wsdl"
TEV = "http://www.onvif.org/ver10/events/wsdl"
TMD = "http://www.onvif.org/ver10/deviceIO/wsdl"
TT = "http://www.onvif.org/ver10/schema"
TER = "http://www.onvif.org/ver10/error"
WSA = "http://www.w3.org/2005/08/addressing"
WSSE = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd"
WSU = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd"
DIGEST = ("http://docs.oasis-open.org/wss/2004/01/"
          "oasis-200401-wss-username-token-profile-1.0#PasswordDigest")
NS = {"s": SOAP, "tds": TDS, "trt": TRT, "tev": TEV, "tmd": TMD, "tt": TT, "ter": TER,
      "wsa5": WSA}


def utc_text(skew=0):
    """The camera clock's time, moved by skew seconds, as a UsernameToken's Created."""
    at = datetime.datetime.now(datetime.timezone.utc) + datetime.timedelta(seconds=skew)
    return at.strftime("%Y-%m-%dT%H:%M:%SZ")


def security(user, password, created=None, nonce=None):
    """A UsernameToken header with the password digest; by default a fresh nonce and now."""
    nonce = nonce or os.urandom(16)
    created = created or utc_text()
    digest = base64.b64encode(
        hashlib.sha1(nonce + created.encode() + password.encode()).digest()).decode()
    return ('<s:Header><wsse:Security xmlns:wsse="%s" xmlns:wsu="%s"><wsse:UsernameToken>'
            '<wsse:Username>%s</wsse:Username><wsse:Password Type="%s">%s</wsse:Password>'
            '<wsse:Nonce>%s</wsse:Nonce><wsu:Created>%s</wsu:Created>'
            '</wsse:UsernameToken></wsse:Security></s:Header>'
            % (WSSE, WSU, user, DIGEST, digest, base64.b64encode(nonce).decode(), created))


def envelope(body, header=""):
    return ('<?xml version="1.0" encoding="UTF-8"?>'
            '<s:Envelope xmlns:s="%s" xmlns:tds="%s" xmlns:trt="%s" xmlns:tt="%s">'
            '%s<s:Body>%s</s:Body></s:Envelope>' % (SOAP, TDS, TRT, TT, header, body))


class Answer:
    def __init__(self, raw):
        self.raw = raw
        head, _, self.body = raw.partition(b"\r\n\r\n")
        lines = head.decode("latin-1").split("\r\n")
        self.status = lines[0] if lines and lines[0].startswith("HTTP/") else None
        self.headers = {}
        for line in lines[1 if self.status else 0:]:
            name, _, value = line.partition(":")
            self.headers[name.strip().lower()] = value.strip()
        self.text = self.body.decode("utf-8", errors="replace")

    def xml(self):
        """The body parsed as XML (raises when it is not well-formed)."""
        assert int(self.headers["content-length"]) == len(self.body)
        return ET.fromstring(self.body)

    def fault(self):
        """(reason text, [subcode values]) of a SOAP fault answer, or None."""
        root = self.xml()
        fault = root.find("s:Body/s:Fault", NS)
        if fault is None:
            return None
        subcodes = [v.text for v in fault.iter("{%s}Value" % SOAP)][1:]
        reason = fault.find("s:Reason/s:Text", NS)
        return (reason.text or "") if reason is not None else None, subcodes


def post(body, port, path="/onvif/device_service", host="127.0.0.1", action=None, timeout=10):
    data = body.encode()
    head = ("POST %s HTTP/1.1\r\nHost: camera\r\n"
            "Content-Type: application/soap+xml; charset=utf-8\r\n"
            "Content-Length: %d\r\n" % (path, len(data)))
    if action:
        head += 'SOAPAction: "%s"\r\n' % action
    with socket.create_connection((host, port), timeout=timeout) as s:
        s.sendall(head.encode() + b"\r\n" + data)
        chunks = []
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            chunks.append(chunk)
    return Answer(b"".join(chunks))


def serving(port, host="127.0.0.1"):
    try:
        socket.create_connection((host, port), timeout=1).close()
        return True
    except OSError:
        return False
