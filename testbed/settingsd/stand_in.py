"""The settings-server stand-in (settingsd.py beside this file) driven from Python, for the
end-to-end tests and the bench: start it (inside the sandbox), read its exchange log, change
its faults."""
import json
import os
import subprocess
import time

SETTINGSD = os.path.join(os.path.dirname(os.path.abspath(__file__)), "settingsd.py")


def wait_for(predicate, timeout):
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() >= deadline:
            return False
        time.sleep(0.02)
    return True


class Settingsd:
    def __init__(self, state="/run/settingsd", faults=()):
        self.state = state
        self.log_path = os.path.join(state, "log")
        self.control_path = os.path.join(state, "control")
        self.serial = 0
        args = ["/usr/bin/python3", SETTINGSD, "--state", state]
        for fault in faults:
            args += ["--fault", json.dumps(fault)]
        self.proc = subprocess.Popen(args)
        if not wait_for(lambda: self.events("ready"), timeout=10):
            self.stop()
            raise RuntimeError("settingsd did not come up")

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()

    def entries(self):
        """Every logged line, in order."""
        try:
            with open(self.log_path) as f:
                return [json.loads(line) for line in f if line.strip()]
        except FileNotFoundError:
            return []

    def events(self, name):
        return [e for e in self.entries() if e.get("event") == name]

    def exchanges(self, **match):
        """Logged exchanges whose fields equal the given ones."""
        return [e for e in self.entries() if "event" not in e
                and all(e.get(k) == v for k, v in match.items())]

    def set_faults(self, faults):
        """Replaces the controlled faults and waits until the server applied them."""
        self.serial += 1
        tmp = self.control_path + ".tmp"
        with open(tmp, "w") as f:
            json.dump({"serial": self.serial, "faults": list(faults)}, f)
        os.rename(tmp, self.control_path)
        serial = self.serial
        if not wait_for(lambda: any(e.get("serial") == serial for e in self.events("control")),
                        timeout=5):
            raise RuntimeError("settingsd did not apply the faults")

    def section_file(self, section, board="camera"):
        with open(os.path.join(self.state, "boards", board, section)) as f:
            return f.read()
