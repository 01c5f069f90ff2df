"""What nvtd and the commands it runs create is writable by nobody but its owner, in all three
modes (server, relay --persist behind the forwarder, CGI), whatever file mask nvtd was started
with: state-changing requests (SetHostname, SetDNS, CreateUsers) with the files they write
removed first, then every file new or changed under /etc, /tmp and /run is looked at."""
import os
import stat
import subprocess

import pytest
from camera import program, wait_for, write_accounts
from nvtd_relay import SERVER_FIFO, Nvtd, _listening, http_exchange, own_server_fifo, soap_post
from onvif_soap import envelope, security

pytestmark = pytest.mark.usefixtures("settings_server")

ROOTS = ("/etc", "/tmp", "/run")
CREATED = ("/etc/hostname", "/etc/resolv.conf")
FORWARDER = program("testbed", "forwarder", "nvtd-forwarder")
REQUESTS = [
    ("SetHostname", "<tds:SetHostname><tds:Name>modes-cam</tds:Name></tds:SetHostname>"),
    ("SetDNS", "<tds:SetDNS><tds:FromDHCP>false</tds:FromDHCP><tds:DNSManual><tt:Type>IPv4"
               "</tt:Type><tt:IPv4Address>10.99.0.53</tt:IPv4Address></tds:DNSManual>"
               "</tds:SetDNS>"),
    ("CreateUsers", "<tds:CreateUsers><tds:User><tt:Username>viewer</tt:Username><tt:Password>"
                    "viewer-pw</tt:Password><tt:UserLevel>User</tt:UserLevel></tds:User>"
                    "</tds:CreateUsers>"),
]


def listing():
    """(inode, mtime, mode) of everything under ROOTS, not following links."""
    seen = {}
    for root in ROOTS:
        for where, dirs, files in os.walk(root):
            for name in dirs + files:
                path = os.path.join(where, name)
                try:
                    st = os.lstat(path)
                except FileNotFoundError:
                    continue
                seen[path] = (st.st_ino, st.st_mtime_ns, st.st_mode)
    return seen


def send(mode, xml, mask):
    """One authenticated request in the mode given: the answer."""
    data = envelope(xml, security("admin", "admin-pw")).encode()
    if mode == "server":
        return http_exchange(8080, soap_post(data))
    env = {"PATH": "/usr/sbin:/usr/bin:/sbin:/bin", "REQUEST_METHOD": "POST",
           "CONTENT_LENGTH": str(len(data)), "REQUEST_URI": "/onvif/device_service"}
    command = FORWARDER if mode == "relay" else program("nvtd", "nvtd")
    return subprocess.run(command, input=data, capture_output=True, env=env, timeout=60,
                          preexec_fn=lambda: os.umask(mask)).stdout


@pytest.fixture
def network_files():
    saved = {p: open(p).read() for p in CREATED}
    hostname = subprocess.run(["hostname"], capture_output=True, text=True).stdout.strip()
    users = "/etc/nvtd/users"
    write_accounts(("admin", "admin-pw", "administrator"))
    for path in CREATED:
        os.unlink(path)
    yield
    for path, text in saved.items():
        with open(path, "w") as f:
            f.write(text)
        os.chmod(path, 0o644)
    subprocess.run(["hostname", hostname], check=True)
    os.unlink(users)


@pytest.mark.parametrize("mask", [0o022, 0o000], ids=["mask022", "mask000"])
@pytest.mark.parametrize("mode", ["server", "relay", "cgi"])
def test_nothing_created_is_writable_by_others(network_files, mode, mask):
    os.umask(0o022)
    before = listing()
    server = None
    if mode != "cgi":
        old = os.umask(mask)
        server = Nvtd(*(["--port", "8080"] if mode == "server" else ["--persist"]),
                      name="modes-nvtd")
        os.umask(old)
        assert wait_for(lambda: _listening(8080) if mode == "server" else
                        own_server_fifo() and "persisting" in server.out(), timeout=10)
    try:
        for name, xml in REQUESTS:
            answer = send(mode, xml, mask)
            assert (name + "Response").encode() in answer, (name, answer[:300])
        assert open("/etc/hostname").read() == "modes-cam\n"
        assert open("/etc/resolv.conf").read() == "nameserver 10.99.0.53\n"
    finally:
        if server is not None:
            server.stop()
    after = listing()
    changed = {path: entry for path, entry in after.items() if before.get(path) != entry}
    for path in CREATED:
        assert path in changed
    open_to_others = []
    for path, (_, _, st_mode) in changed.items():
        if stat.S_ISLNK(st_mode) or path.startswith("/tmp/modes-nvtd."):
            continue  # links have no mode of their own; the test's own output files
        allowed = 0o020 if path == SERVER_FIFO and stat.S_ISFIFO(st_mode) else 0
        if st_mode & 0o022 & ~allowed:
            open_to_others.append("%s %o" % (path, stat.S_IMODE(st_mode)))
    assert open_to_others == []
    if mode == "relay":
        assert stat.S_IMODE(os.lstat(SERVER_FIFO).st_mode) == 0o620

