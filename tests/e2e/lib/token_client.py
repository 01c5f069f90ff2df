#!/usr/bin/python3
"""A LAN client of nvtd's server mode with an account of its own, for attacks run as an
unprivileged user (the source comes on standard input: `python3 - COMMAND ...`).

  token_client.py exchange HOST PORT SOURCE REQUEST_B64
        sends one raw HTTP request (Base64) from the address SOURCE and prints the answer
        (Base64)
  token_client.py flood HOST PORT USER PASSWORD SECONDS MAX
        GetDeviceInformation with a fresh UsernameToken each, one connection each, for SECONDS
        or MAX requests; prints {"sent": N, "refused": M} (refused: FailedAuthentication)
"""
import base64
import datetime
import hashlib
import json
import os
import socket
import sys
import time

WSSE = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd"
WSU = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd"
DIGEST = ("http://docs.oasis-open.org/wss/2004/01/"
          "oasis-200401-wss-username-token-profile-1.0#PasswordDigest")


def exchange(host, port, data, source="", timeout=15):
    with socket.create_connection((host, port), timeout=timeout,
                                  source_address=(source, 0) if source else None) as s:
        s.sendall(data)
        chunks = []
        while chunk := s.recv(65536):
            chunks.append(chunk)
    return b"".join(chunks)


def request(user, password):
    nonce = os.urandom(16)
    created = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")
    digest = base64.b64encode(
        hashlib.sha1(nonce + created.encode() + password.encode()).digest()).decode()
    body = ('<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" '
            'xmlns:tds="http://www.onvif.org/ver10/device/wsdl"><s:Header>'
            '<wsse:Security xmlns:wsse="%s" xmlns:wsu="%s"><wsse:UsernameToken>'
            '<wsse:Username>%s</wsse:Username><wsse:Password Type="%s">%s</wsse:Password>'
            '<wsse:Nonce>%s</wsse:Nonce><wsu:Created>%s</wsu:Created></wsse:UsernameToken>'
            '</wsse:Security></s:Header><s:Body><tds:GetDeviceInformation/></s:Body>'
            '</s:Envelope>' % (WSSE, WSU, user, DIGEST, digest,
                               base64.b64encode(nonce).decode(), created)).encode()
    return (b"POST /onvif/device_service HTTP/1.1\r\nHost: camera\r\n"
            b"Content-Type: application/soap+xml; charset=utf-8\r\n"
            b"Content-Length: %d\r\n\r\n" % len(body)) + body


def flood(host, port, user, password, seconds, most):
    sent = refused = 0
    end = time.monotonic() + seconds
    while sent < most and time.monotonic() < end:
        answer = exchange(host, port, request(user, password))
        sent += 1
        refused += b"wsse:FailedAuthentication" in answer
    print(json.dumps({"sent": sent, "refused": refused}))


def main(argv):
    if argv[0] == "exchange":
        answer = exchange(argv[1], int(argv[2]), base64.b64decode(argv[4]), argv[3])
        print(base64.b64encode(answer).decode())
    elif argv[0] == "flood":
        flood(argv[1], int(argv[2]), argv[3], argv[4], float(argv[5]), int(argv[6]))
    else:
        sys.exit("unknown command " + argv[0])


if __name__ == "__main__":
    main(sys.argv[1:])
