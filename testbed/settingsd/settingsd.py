#!/usr/bin/python3
"""Stand-in for the camera's settings server and its three peer boards.

Speaks the settings wire protocol (wire.py) on ports 20000, 20002, 20004 and 20006, on every
local IPv4 address or the ones given. Sections come from
a directory of section texts; the camera itself and each peer board keep their own copy
under the state directory, and sets are applied to it. Every exchange is logged as one
JSON line. Faults (non-zero status, closed connection, slow or dribbled reply,
unreachable address) come from --fault options and from a control file that is re-read
whenever it changes.

  settingsd.py [--sections DIR] [--state DIR] [--addresses all|A,B,...]
               [--peers A,B,C] [--log FILE] [--control FILE] [--fault JSON]...

A fault is a JSON object: {"fault": "status"|"close"|"slow"|"pieces"|"unreachable",
"addr": A, "port": P, "section": S, "cmd": C, "status": N, "delay": SECONDS, "count": N};
every key but "fault" narrows where it applies. The control file holds
{"serial": N, "faults": [...]}; once applied, the log gets {"event": "control", "serial": N}.
"""
import argparse
import json
import os
import selectors
import shutil
import socket
import subprocess
import sys
import threading
import time

import wire
from wire import PORTS, read_exact

MAX_NAME = 64
MAX_TEXT = 64 * 1024


class Log:
    def __init__(self, path):
        os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
        self.file = open(path, "a", buffering=1)
        self.lock = threading.Lock()

    def write(self, **entry):
        entry["t"] = round(time.time(), 6)
        with self.lock:
            self.file.write(json.dumps(entry, sort_keys=True) + "\n")


class Faults:
    """The faults in force: from the command line and the control file."""

    def __init__(self, fixed):
        self.fixed = list(fixed)
        self.controlled = []
        self.lock = threading.Lock()

    def set_controlled(self, faults):
        with self.lock:
            self.controlled = [dict(f) for f in faults]

    def all(self):
        with self.lock:
            return self.fixed + self.controlled

    def match(self, addr, port, section, cmd):
        with self.lock:
            for f in self.fixed + self.controlled:
                if f.get("fault") == "unreachable":
                    continue
                if any(k in f and f[k] != v for k, v in
                       (("addr", addr), ("port", port), ("section", section), ("cmd", cmd))):
                    continue
                if "count" in f:
                    if f["count"] <= 0:
                        continue
                    f["count"] -= 1
                return dict(f)
        return None

    def unreachable(self):
        return {f.get("addr") for f in self.all() if f.get("fault") == "unreachable"}


class Store:
    """Section texts per board: "camera" for every address that is not a peer board."""

    def __init__(self, defaults, state, peers):
        self.defaults, self.state, self.peers = defaults, state, set(peers)
        self.lock = threading.Lock()

    def _dir(self, addr):
        d = os.path.join(self.state, "boards", addr if addr in self.peers else "camera")
        if not os.path.isdir(d):
            shutil.copytree(self.defaults, d)
        return d

    def get(self, addr, section):
        with self.lock:
            path = os.path.join(self._dir(addr), section)
            if not os.path.isfile(path):
                return None
            with open(path, "rb") as f:
                return f.read()

    def apply(self, addr, section, text):
        with self.lock:
            path = os.path.join(self._dir(addr), section)
            lines = []
            if os.path.isfile(path):
                with open(path) as f:
                    lines = f.read().splitlines()
            for record in text.splitlines():
                key = record.split(" ", 1)[0].split("=", 1)[0]
                if not key:
                    continue
                for i, line in enumerate(lines):
                    if line.split(" ", 1)[0].split("=", 1)[0] == key:
                        lines[i] = record
                        break
                else:
                    lines.append(record)
            with open(path, "w") as f:
                f.write("".join(line + "\n" for line in lines))


def send(conn, data, fault):
    if fault and fault["fault"] == "slow":
        time.sleep(float(fault.get("delay", 1.0)))
    if fault and fault["fault"] == "pieces":
        for i in range(len(data)):
            conn.sendall(data[i:i + 1])
            time.sleep(0.001)
    else:
        conn.sendall(data)


class Server:
    def __init__(self, args):
        self.args = args
        self.log = Log(args.log)
        self.faults = Faults(json.loads(f) for f in args.fault)
        self.store = Store(args.sections, args.state, args.peers.split(","))
        self.selector = selectors.DefaultSelector()
        self.listeners = {}
        self.control_mtime = None

    def addresses(self):
        if self.args.addresses != "all":
            return [a for a in self.args.addresses.split(",") if a]
        out = subprocess.run(["ip", "-4", "-o", "addr", "show"], capture_output=True,
                             text=True).stdout
        return [line.split()[3].split("/")[0] for line in out.splitlines()
                if len(line.split()) > 3] or ["127.0.0.1"]

    def sync_listeners(self):
        down = self.faults.unreachable()
        for addr in self.addresses():
            for port in PORTS:
                key = (addr, port)
                if addr in down and key in self.listeners:
                    sock = self.listeners.pop(key)
                    self.selector.unregister(sock)
                    sock.close()
                elif addr not in down and key not in self.listeners:
                    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
                    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
                    try:
                        sock.bind(key)
                    except OSError as e:
                        self.log.write(event="bind-failed", addr=addr, port=port, error=str(e))
                        sock.close()
                        continue
                    sock.listen(16)
                    self.listeners[key] = sock
                    self.selector.register(sock, selectors.EVENT_READ, key)

    def check_control(self):
        try:
            mtime = os.stat(self.args.control).st_mtime_ns
        except FileNotFoundError:
            return
        if mtime == self.control_mtime:
            return
        self.control_mtime = mtime
        try:
            with open(self.args.control) as f:
                control = json.load(f)
        except (OSError, ValueError) as e:
            self.log.write(event="control-error", error=str(e))
            return
        self.faults.set_controlled(control.get("faults", []))
        self.sync_listeners()
        self.log.write(event="control", serial=control.get("serial"))

    def run(self):
        self.check_control()
        self.sync_listeners()
        self.log.write(event="ready", listening=sorted("%s:%d" % k for k in self.listeners))
        while True:
            for key, _ in self.selector.select(timeout=0.05):
                try:
                    conn, peer = key.fileobj.accept()
                except OSError:
                    continue
                threading.Thread(target=self.serve, args=(conn, key.data, peer),
                                 daemon=True).start()
            self.check_control()

    def serve(self, conn, where, peer):
        addr, port = where
        entry = {"addr": addr, "port": port, "peer": peer[0]}
        try:
            with conn:
                conn.settimeout(10)
                self.exchange(conn, addr, port, entry)
        except (OSError, EOFError, ValueError) as e:
            entry["error"] = str(e)
        if not entry.get("logged"):
            self.log.write(**entry)

    def final(self, conn, entry, data, fault):
        """Logs a completed exchange, then sends its last reply: a client that has its
        answer always finds the exchange in the log."""
        entry["result"] = "ok"
        self.log.write(**entry)
        entry["logged"] = True
        send(conn, data, fault)

    def exchange(self, conn, addr, port, entry):
        cmd, text_length, name_length = wire.read_request_head(conn)
        entry["cmd"] = cmd
        if name_length > MAX_NAME or text_length > MAX_TEXT:
            raise ValueError("request header out of bounds")
        section = read_exact(conn, name_length).decode("ascii", "replace")
        entry["section"] = section
        fault = self.faults.match(addr, port, section, cmd)
        entry["fault"] = fault["fault"] if fault else None
        if fault and fault["fault"] == "close":
            entry["result"] = "closed"
            return
        status = 0
        if fault and fault["fault"] == "status":
            status = int(fault.get("status", wire.REFUSED))
        known = section in PORTS[port]
        if cmd == wire.GET:
            text = self.store.get(addr, section) if known else None
            if text is None:
                status = status or wire.NO_SECTION
            entry["status"] = status
            body = text if status == 0 else b""
            entry["length"] = len(body)
            self.final(conn, entry, wire.reply(status, body), fault)
        elif cmd in wire.SETS:
            if not known:
                status = status or wire.NO_SECTION
            entry["status"] = status
            if status != 0:
                self.final(conn, entry, wire.reply(status), fault)
                return
            send(conn, wire.reply(status), fault)
            text = read_exact(conn, text_length).decode("latin-1")
            entry["lines"] = [line for line in text.split("\n") if line]
            self.store.apply(addr, section, text)
            self.final(conn, entry, wire.reply(wire.OK), fault)
        else:
            entry["status"] = wire.BAD_COMMAND
            self.final(conn, entry, wire.reply(wire.BAD_COMMAND), fault)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--sections", default=os.path.join(here, "sections"))
    p.add_argument("--state", default="/run/settingsd")
    p.add_argument("--addresses", default="all")
    p.add_argument("--peers", default="1.1.1.2,2.2.2.3,3.3.3.4")
    p.add_argument("--log", default=None)
    p.add_argument("--control", default=None)
    p.add_argument("--fault", action="append", default=[])
    args = p.parse_args()
    args.log = args.log or os.path.join(args.state, "log")
    args.control = args.control or os.path.join(args.state, "control")
    os.makedirs(args.state, exist_ok=True)
    try:
        Server(args).run()
    except KeyboardInterrupt:
        return 0


if __name__ == "__main__":
    sys.exit(main())
