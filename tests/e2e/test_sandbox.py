"""The sandbox is what keeps the camera's commands off this machine: check its walls."""
import os
import subprocess

from camera import fake_calls, in_lan


def test_new_namespaces_and_first_process():
    assert os.getpid() != 1  # pytest is a child of the sandbox's first process
    with open("/proc/1/comm") as f:
        assert f.read().strip() in ("sandbox", "bash")
    assert subprocess.run(["hostname"], capture_output=True, text=True).stdout.strip() == "camera"


def test_reboot_is_a_stand_in():
    subprocess.run(["reboot", "-d", "3"], check=True)
    assert "reboot -d 3" in fake_calls()


def test_camera_paths_are_writable_and_private():
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
