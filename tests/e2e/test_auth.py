"""nvtd's request dispatch and UsernameToken authentication over HTTP in server mode: the
users file written with `nvtd useradd`, digests built as an ONVIF client builds them, the
open operations and the user operations over the users file."""
import base64
import hashlib
import os
import socket
import subprocess

import pytest

from camera import program, wait_for
from onvif_soap import utc_text
from onvif_validate import validate

# nvtd finds its settings at once instead of waiting for CAM.
pytestmark = pytest.mark.usefixtures("settings_server")

USERS = "/etc/nvtd/users"
PORT = 8080
NOAUTH_PORT = 8081

WSSE = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd"
WSU = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd"
DIGEST_TYPE = ("http://docs.oasis-open.org/wss/2004/01/"
               "oasis-200401-wss-username-token-profile-1.0#PasswordDigest")
TEXT_TYPE = ("http://docs.oasis-open.org/wss/2004/01/"
             "oasis-200401-wss-username-token-profile-1.0#PasswordText")


def useradd(name, password, level="administrator"):
    return subprocess.run(program("nvtd", "nvtd") + ["useradd", name, password, level],
                          capture_output=True, text=True, timeout=10)


def write_users(*lines):
    os.makedirs("/etc/nvtd", exist_ok=True)
    with open(USERS, "w") as f:
        f.write("".join(line + "\n" for line in lines))


def security(user, password, created=None, sent_created=None, nonce=None, kind=DIGEST_TYPE):
    created = created or utc_text()
    nonce = nonce or os.urandom(16)
    digest = base64.b64encode(
        hashlib.sha1(nonce + created.encode() + password.encode()).digest()).decode()
    if kind == TEXT_TYPE:
        digest = password
    return ('<s:Header><wsse:Security xmlns:wsse="%s" xmlns:wsu="%s"><wsse:UsernameToken>'
            '<wsse:Username>%s</wsse:Username><wsse:Password Type="%s">%s</wsse:Password>'
            '<wsse:Nonce>%s</wsse:Nonce><wsu:Created>%s</wsu:Created>'
            '</wsse:UsernameToken></wsse:Security></s:Header>'
            % (WSSE, WSU, user, kind, digest, base64.b64encode(nonce).decode(),
               sent_created or created))


def envelope(body, header=""):
    return ('<?xml version="1.0" encoding="UTF-8"?>'
            '<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" '
            'xmlns:tds="http://www.onvif.org/ver10/device/wsdl" '
            'xmlns:tt="http://www.onvif.org/ver10/schema">%s<s:Body>%s</s:Body></s:Envelope>'
            % (header, body))


def post(body, port=PORT, action=None):
    data = body.encode()
    head = ("POST /onvif/device_service HTTP/1.1\r\nHost: camera\r\n"
            "Content-Type: application/soap+xml; charset=utf-8\r\n"
            "Content-Length: %d\r\n" % len(data))
    if action:
        head += 'SOAPAction: "%s"\r\n' % action
    with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
        s.sendall(head.encode() + b"\r\n" + data)
        chunks = []
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            chunks.append(chunk)
    return b"".join(chunks).decode(errors="replace")


def call(operation, header="", inner="", port=PORT):
    return post(envelope("<tds:%s>%s</tds:%s>" % (operation, inner, operation), header), port)


def serving(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=1).close()
        return True
    except OSError:
        return False


@pytest.fixture(scope="module")
def servers():
    procs = [subprocess.Popen(program("nvtd", "nvtd") + ["--port", str(PORT)],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL),
             subprocess.Popen(program("nvtd", "nvtd") + ["--noauth", "--port", str(NOAUTH_PORT)],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)]
    try:
        # Start-up waits up to ten seconds for the settings server.
        assert wait_for(lambda: serving(PORT) and serving(NOAUTH_PORT), timeout=30)
        yield
    finally:
        for p in procs:
            p.terminate()
        for p in procs:
            p.wait(timeout=15)


def test_useradd_prints_a_users_line_and_refuses_what_cannot_authenticate():
    out = useradd("viewer", "s3cret", "user")
    assert out.returncode == 0
    fields = out.stdout.rstrip("\n").split(":")
    assert out.stdout.endswith(":a:\n") and out.stdout.count("\n") == 1
    assert fields[:2] == ["viewer", "user"] and fields[3] == "a"
    base64.b64decode(fields[2], validate=True)
    long_pw = useradd("viewer", "p" * 32)
    assert long_pw.returncode != 0 and long_pw.stdout == ""
    assert "password" in long_pw.stderr
    assert useradd("viewer", "p" * 31).returncode == 0


def test_digest_with_the_right_password_authenticates(servers):
    write_users(useradd("viewer", "s3cret").stdout.strip(),
                useradd("abcdefghijk", "longname", "administrator").stdout.strip())
    ok = call("GetUsers", security("viewer", "s3cret"))
    assert ok.startswith("HTTP/1.0 200 OK") and "<tds:GetUsersResponse>" in ok
    # The user name is compared on its first 11 characters.
    ok = call("GetUsers", security("abcdefghijkl", "longname"))
    assert "<tds:GetUsersResponse>" in ok
    # One changed character of Created, a wrong password, an unknown user.
    created = utc_text()
    changed = created[:-2] + ("1" if created[-2] != "1" else "2") + "Z"
    for header in (security("viewer", "s3cret", created=created, sent_created=changed),
                   security("viewer", "s3creT"), security("nobody", "s3cret")):
        bad = call("GetUsers", header)
        assert bad.startswith("HTTP/1.0 400 Bad Request\r\nContent-Length:")
        assert "wsse:FailedAuthentication" in bad and "GetUsersResponse" not in bad


def test_missing_or_clear_text_tokens(servers):
    # No credentials of either scheme: the HTTP Digest challenge (ONVIF Core's 401).
    bad = call("GetDeviceInformation")
    assert bad.startswith("HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Digest ")
    assert "ter:NotAuthorized" in bad
    # A Security header without its token keeps the 400 answer.
    bad = call("GetDeviceInformation", "<s:Header><wsse:Security xmlns:wsse=\"%s\">"
               "</wsse:Security></s:Header>" % WSSE)
    assert bad.startswith("HTTP/1.0 400") and "No security header supplied" in bad
    bad = call("GetUsers", security("viewer", "s3cret", kind=TEXT_TYPE))
    assert bad.startswith("HTTP/1.0 400") and "wsse:InvalidSecurity" in bad


def test_lines_without_flag_or_secret(servers):
    # Without the "a" flag the secret is the password in clear; without a secret nothing
    # authenticates, not even an empty password.
    write_users("plain:administrator:clearpw:", "nosecret:administrator:",
                "empty:administrator")
    assert "<tds:GetUsersResponse>" in call("GetUsers", security("plain", "clearpw"))
    assert "FailedAuthentication" in call("GetUsers", security("plain", ""))
    assert "FailedAuthentication" in call("GetUsers", security("nosecret", ""))
    assert "FailedAuthentication" in call("GetUsers", security("empty", ""))


def test_no_users_file_fails_every_guarded_operation(servers):
    for path in (USERS, "/etc/nvtd/.users"):
        if os.path.exists(path):
            os.remove(path)
    bad = call("GetUsers", security("viewer", "s3cret"))
    assert bad.startswith("HTTP/1.0 400") and "wsse:FailedAuthentication" in bad
    bad = call("NoSuchOperation", security("viewer", "s3cret"))
    assert "wsse:FailedAuthentication" in bad


def test_open_operations_answer_without_a_header(servers, tmp_path):
    for operation in ("GetCapabilities", "GetHostname", "GetServices", "GetServiceCapabilities",
                      "GetSystemDateAndTime", "GetWsdlUrl"):
        answer = call(operation)
        assert answer.startswith("HTTP/1.0"), operation
        for fault in ("NotAuthorized", "InvalidSecurity", "FailedAuthentication"):
            assert fault not in answer, operation
    # GetWsdlUrl is PRE_AUTH in ONVIF's default policy: a client asks before it logs in.
    answer = call("GetWsdlUrl")
    assert answer.startswith("HTTP/1.0 200 OK") and "/wsdl/onvif</tds:WsdlUrl>" in answer
    validate(tmp_path, answer)


def test_soap_action_header_decides_the_operation(servers):
    write_users(useradd("viewer", "s3cret").stdout.strip())
    answer = post(envelope("<tds:GetHostname/>", security("viewer", "s3cret")),
                  action="http://www.onvif.org/ver10/device/wsdl/GetUsers")
    assert "<tds:GetUsersResponse>" in answer
    # An unknown operation is refused after authentication.
    answer = call("FrobnicateWidgets", security("viewer", "s3cret"))
    assert answer.startswith("HTTP/1.0 400") and "ter:InvalidThing" in answer
    assert "Unsupported Command" in answer


def new_user(name, level="User", password="pw"):
    return ("<tds:User><tt:Username>%s</tt:Username><tt:Password>%s</tt:Password>"
            "<tt:UserLevel>%s</tt:UserLevel></tds:User>" % (name, password, level))


def test_user_operations_without_authentication_change_the_users_file(servers):
    p = NOAUTH_PORT
    write_users(useradd("viewer", "s3cret").stdout.strip())
    users = call("GetUsers", port=p)
    assert users.startswith("HTTP/1.0 200 OK")
    assert ("<tt:Username>viewer</tt:Username><tt:UserLevel>Administrator</tt:UserLevel>"
            in users and users.count("<tt:Username>") == 1)
    # A request changes every account it names or none.
    answer = call("CreateUsers", inner=new_user("user1") + new_user("viewer"), port=p)
    assert "ter:UsernameClash" in answer
    assert "user1" not in call("GetUsers", port=p)
    answer = call("CreateUsers", inner=new_user("user1", "User", "u1-pass"), port=p)
    assert "<tds:CreateUsersResponse></tds:CreateUsersResponse>" in answer
    # The other server authenticates the new account at once.
    assert "<tds:GetUsersResponse>" not in call("GetUsers", security("user1", "u1-pass"))
    assert "GetDeviceInformationResponse" in call("GetDeviceInformation",
                                                  security("user1", "u1-pass"))
