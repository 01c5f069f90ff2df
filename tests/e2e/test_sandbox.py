"""The sandbox is what keeps the camera's commands off this machine: check its walls."""
# ctest-labels: once
import os
import subprocess

from camera import SOURCE_DIR, fake_calls, in_lan

SANDBOX = os.path.join(SOURCE_DIR, "testbed", "sandbox")
NAMESPACES = ("mnt", "uts", "ipc", "net", "pid")


def mounts():
    """Mount point -> file system type, the last mount on a point winning."""
    found = {}
    with open("/proc/self/mountinfo") as f:
        for line in f:
            fields, _, after = line.partition(" - ")
            found[fields.split()[4]] = after.split()[0]
    return found


def own_namespaces():
    return " ".join(os.readlink("/proc/self/ns/" + n) for n in NAMESPACES)


def test_new_namespaces_and_first_process():
    assert os.getpid() != 1  # pytest is a child of the sandbox's first process
    with open("/proc/1/comm") as f:
        assert f.read().strip() in ("sandbox", "bash")
    assert subprocess.run(["hostname"], capture_output=True, text=True).stdout.strip() == "camera"


def test_reboot_is_a_stand_in():
    subprocess.run(["reboot", "-d", "3"], check=True)
    assert "reboot -d 3" in fake_calls()


def test_camera_paths_are_writable_and_private():
    # Writes land in copy-on-write layers and tmpfs, never in this machine's files.
    found = mounts()
    assert found.get("/etc") == "overlay" and found.get("/usr/local") == "overlay", found
    assert found.get("/tmp") == "tmpfs" and found.get("/run") == "tmpfs", found
    os.makedirs("/etc/nvtd", exist_ok=True)
    with open("/etc/nvtd/users", "w") as f:
        f.write("x\n")
    with open("/usr/local/bin/probe", "w") as f:
        f.write("x\n")
    with open("/etc/network/interfaces") as f:
        assert "iface eth0 inet static" in f.read()


def test_network_eth0_lan_and_peer_boards():
    out = subprocess.run(["ip", "-br", "addr"], capture_output=True, text=True).stdout
    assert "10.99.0.2/24" in out and "1.1.1.2/32" in out and "3.3.3.4/32" in out
    lan = subprocess.run(in_lan(["ip", "-br", "addr"]), capture_output=True, text=True).stdout
    assert "10.99.0.1/24" in lan


def test_refuses_to_run_in_the_hosts_namespaces():
    # The inner stage told that the namespaces it runs in are the host's: it must stop
    # before it mounts or runs anything.
    env = dict(os.environ, SANDBOX_STAGE="inside", SANDBOX_HOST_NS=own_namespaces())
    r = subprocess.run([SANDBOX, "touch", "/tmp/sandbox-ran"], env=env,
                       capture_output=True, text=True, timeout=30)
    assert r.returncode == 125 and "is the host's; refusing to run" in r.stderr, r.stderr
    # Fresh namespaces, but not the first process of its PID namespace.
    env["SANDBOX_HOST_NS"] = " ".join("%s:[1]" % n for n in NAMESPACES)
    r = subprocess.run([SANDBOX, "touch", "/tmp/sandbox-ran"], env=env,
                       capture_output=True, text=True, timeout=30)
    assert r.returncode == 125 and "not the first process" in r.stderr, r.stderr
    assert not os.path.exists("/tmp/sandbox-ran")


def test_lo_is_up_with_and_without_the_network():
    out = subprocess.run(["ip", "-br", "link", "show", "lo"], capture_output=True,
                         text=True).stdout
    assert ",UP," in out, out
    # A sandbox inside this one, without the network.
    r = subprocess.run([SANDBOX, "--no-net", "ip", "-br", "link", "show", "lo"],
                       capture_output=True, text=True, timeout=60)
    assert r.returncode == 0 and ",UP," in r.stdout, r.stderr
