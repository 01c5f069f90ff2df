"""Talking to nvtd in its three modes from a test: starting it with its output in files,
the relay protocol spoken by hand (messages in native byte order), and raw HTTP."""
import fcntl
import os
import signal
import socket
import stat
import struct
import subprocess
import termios
import time

from camera import program, wait_for

OPEN, ENV, CONTENT = 1, 2, 3
SERVER_FIFO = "/tmp/nvtd_sv"


class Nvtd:
    """One nvtd process with its standard output and error in files under /tmp."""

    def __init__(self, *args, env=None, name="nvtd"):
        self.out_path = f"/tmp/{name}.out"
        self.err_path = f"/tmp/{name}.err"
        with open(self.out_path, "wb") as out, open(self.err_path, "wb") as err:
            self.proc = subprocess.Popen(program("nvtd", "nvtd") + list(args), stdout=out,
                                         stderr=err, stdin=subprocess.DEVNULL, env=env)

    def out(self):
        with open(self.out_path, errors="replace") as f:
            return f.read()

    def err(self):
        with open(self.err_path, errors="replace") as f:
            return f.read()

    def wait(self, timeout=10):
        return self.proc.wait(timeout=timeout)

    def sleeps_in_poll(self):
        """Whether its main thread is asleep in poll (or select): waiting, with nothing to do."""
        try:
            with open("/proc/%d/wchan" % self.proc.pid) as f:
                where = f.read()
        except FileNotFoundError:
            return False
        return "poll" in where or "select" in where

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(timeout=5)


def start_server(port=8080, *extra):
    """nvtd in server mode, once its port accepts connections."""
    server = Nvtd("--port", str(port), *extra)
    assert wait_for(lambda: _listening(port), timeout=10), server.err()
    return server


def _listening(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
        return True
    except OSError:
        return False


def own_server_fifo():
    """Whether the server FIFO is there and belongs to this (nvtd's) user."""
    try:
        st = os.lstat(SERVER_FIFO)
    except FileNotFoundError:
        return False
    return stat.S_ISFIFO(st.st_mode) and st.st_uid == os.geteuid()


def start_persistent(*extra):
    """nvtd --persist and the write end of its server FIFO (opened once nvtd made it)."""
    server = Nvtd("--persist", *extra)
    assert wait_for(lambda: own_server_fifo() or server.proc.poll() is not None), server.err()
    fd = os.open(SERVER_FIFO, os.O_WRONLY)
    return server, fd


def header(kind):
    return struct.pack("=ii", kind, 0)


def open_message(pid):
    return header(OPEN) + struct.pack("=i", pid)


def env_message(text):
    data = text.encode()
    return header(ENV) + struct.pack("=ii", text.count("\n") + 1, len(data)) + data


def content_message(chunks):
    msg = header(CONTENT)
    for c in chunks:
        msg += struct.pack("=i", len(c)) + c
    return msg


class ReplyFifo:
    """A forwarder's reply FIFO, open for reading before OPEN is sent."""

    def __init__(self, pid):
        self.path = f"/tmp/nvtd_cl.{pid}"
        if os.path.exists(self.path):
            os.unlink(self.path)
        os.mkfifo(self.path, 0o600)
        self.fd = os.open(self.path, os.O_RDONLY | os.O_NONBLOCK)

    def read_all(self, timeout=15):
        """The reply up to end-of-file (after the server opened and closed it)."""
        import select
        data = b""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            ready, _, _ = select.select([self.fd], [], [], max(0.0, deadline - time.monotonic()))
            if not ready:
                break
            try:
                chunk = os.read(self.fd, 65536)
            except BlockingIOError:
                continue
            if not chunk:
                return data
            data += chunk
        raise TimeoutError(f"reply not ended; got {data[:200]!r}")

    def close(self):
        os.close(self.fd)
        # nvtd removes it itself once the pid it was named after no longer runs, maybe just now.
        try:
            os.unlink(self.path)
        except FileNotFoundError:
            pass


def relay_request(server_fd, pid, body, env_lines):
    """Sends one whole request as a forwarder would and returns its reply."""
    reply = ReplyFifo(pid)
    try:
        os.write(server_fd, open_message(pid))
        os.write(server_fd, env_message("\n".join(env_lines)))
        os.write(server_fd, content_message([body]))
        return reply.read_all()
    finally:
        reply.close()


def http_exchange(port, data, host="127.0.0.1", timeout=15):
    """Sends raw bytes on a new connection and returns all that comes back until close
    (a reset counts as a close: the server may close with request bytes unread)."""
    with socket.create_connection((host, port), timeout=timeout) as s:
        chunks = []
        try:
            if data:
                s.sendall(data)
            while chunk := s.recv(65536):
                chunks.append(chunk)
        except ConnectionResetError:
            pass
        return b"".join(chunks)


def server_has_read(sock):
    """Whether the server has read all this client sent: its side of the connection has
    nothing left in its receive queue (or is gone)."""
    peer, local = sock.getpeername(), sock.getsockname()
    out = subprocess.run(["ss", "-Htn", "src", "%s:%d" % peer, "dst", "%s:%d" % local],
                         capture_output=True, text=True, timeout=10).stdout.split()
    return len(out) < 2 or out[1] == "0"


def fifo_unread(path):
    """Bytes written to a FIFO that its reader has not read yet."""
    fd = os.open(path, os.O_WRONLY | os.O_NONBLOCK)
    try:
        return struct.unpack("i", fcntl.ioctl(fd, termios.FIONREAD, b"\0" * 4))[0]
    finally:
        os.close(fd)


def split_response(raw):
    """(head lines, body) of a response; the head ends at the first blank line."""
    head, _, body = raw.partition(b"\r\n\r\n")
    return head.decode().split("\r\n"), body


def soap_post(body, action=None, uri="/onvif/device_service"):
    lines = [f"POST {uri} HTTP/1.1", "Host: camera",
             "Content-Type: application/soap+xml; charset=utf-8",
             f"Content-Length: {len(body)}"]
    if action:
        lines.append(f'SOAPAction: "{action}"')
    return ("\r\n".join(lines) + "\r\n\r\n").encode() + body
