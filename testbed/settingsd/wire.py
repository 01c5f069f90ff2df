"""The settings wire protocol, as the camera's settings server speaks it on TCP ports 20000,
20002, 20004 and 20006 (each serves its own sections).

A request is three little-endian 32-bit words (command, text length, section name length)
and the name. Every reply is two words (status, text length) and the text. A get (100) has
one reply, with the section's text when the status is 0. A set (101 or 103) has a first
reply; when its status is 0 the client sends the text and gets a second reply.

  wire.py get HOST SECTION      prints the section's text (exit status: the reply's status)
  wire.py set HOST SECTION      sets the lines read from standard input
"""
import socket
import struct
import sys

GET, SET, SET_ALSO = 100, 101, 103
SETS = (SET, SET_ALSO)
# Reply statuses: OK; REFUSED is what a failing server answers; NO_SECTION for a section the
# port does not serve (or a get of one it does not hold); BAD_COMMAND for any other command.
OK, REFUSED, NO_SECTION, BAD_COMMAND = 0, 1, 2, 3

PORTS = {20000: {"ENCODE", "STREAM0", "STREAM1", "STREAM2", "STREAM3", "VINVOUT", "ACTION", "OSD"},
         20002: {"IMAGE", "MOTION"},
         20004: {"CAM", "HIVE", "RECORD", "WEC", "INFO"},
         20006: {"EXTNET", "EXTINFO"}}
REQUEST_HEAD, REPLY_HEAD = struct.Struct("<III"), struct.Struct("<II")


def port_of(section):
    """The port that serves section (20000 for a section no port serves)."""
    return next((port for port, names in PORTS.items() if section in names), 20000)


def _name(section):
    return section if isinstance(section, bytes) else section.encode("ascii")


def request(command, section, text_length=0):
    """A request head and its section name."""
    name = _name(section)
    return REQUEST_HEAD.pack(command, text_length, len(name)) + name


def reply(status, text=b""):
    return REPLY_HEAD.pack(status, len(text)) + text


def read_exact(conn, n):
    data = b""
    while len(data) < n:
        chunk = conn.recv(n - len(data))
        if not chunk:
            raise EOFError("peer closed after %d of %d bytes" % (len(data), n))
        data += chunk
    return data


def read_request_head(conn):
    """(command, text length, name length) of the next request."""
    return REQUEST_HEAD.unpack(read_exact(conn, REQUEST_HEAD.size))


def read_reply(conn):
    """(status, text) of the next reply."""
    status, length = REPLY_HEAD.unpack(read_exact(conn, REPLY_HEAD.size))
    return status, read_exact(conn, length)


def get(host, section, port=None, timeout=5):
    """(status, text) of a get; raises OSError or EOFError when the exchange breaks off."""
    with socket.create_connection((host, port or port_of(section)), timeout=timeout) as conn:
        conn.sendall(request(GET, section))
        return read_reply(conn)


def set_lines(host, section, text, port=None, timeout=5, command=SET):
    """The status of a set of text's lines (the first reply's when that refuses)."""
    data = text if isinstance(text, bytes) else text.encode("latin-1")
    with socket.create_connection((host, port or port_of(section)), timeout=timeout) as conn:
        conn.sendall(request(command, section, len(data)))
        status, _ = read_reply(conn)
        if status != OK:
            return status
        conn.sendall(data)
        return read_reply(conn)[0]


def main(argv):
    if len(argv) != 4 or argv[1] not in ("get", "set"):
        sys.stderr.write(__doc__)
        return 2
    _, what, host, section = argv
    if what == "get":
        status, text = get(host, section)
        sys.stdout.buffer.write(text)
        return status
    return set_lines(host, section, sys.stdin.buffer.read())


if __name__ == "__main__":
    sys.exit(main(sys.argv))
