"""What the settings server holds for a stream: its resolution and frame rate (section
ENCODE, "s%d_resolution" as width << 16 | height, "s%d_fps") and bit rate (section STREAMn,
"s%d_cbr_avg_bps"), asked over the settings wire protocol each time a stream opens."""
import socket
import struct

SETTINGS = ("127.0.0.1", 20000)
DEFAULTS = {0: (1920, 1080, 25, 4000000), 1: (1280, 720, 25, 2000000)}


def get_section(name, timeout=5):
    with socket.create_connection(SETTINGS, timeout=timeout) as conn:
        conn.sendall(struct.pack("<III", 100, 0, len(name)) + name.encode("ascii"))
        data = b""
        while len(data) < 8 or len(data) < 8 + struct.unpack("<II", data[:8])[1]:
            chunk = conn.recv(65536)
            if not chunk:
                return ""
            data += chunk
    status, length = struct.unpack("<II", data[:8])
    return data[8:8 + length].decode("latin-1") if status == 0 else ""


def value(text, key):
    for line in text.splitlines():
        name, _, rest = line.partition("=")
        if name.strip() == key:
            try:
                return int(rest.split()[0])
            except (ValueError, IndexError):
                return None
    return None


def stream_settings(index):
    """(width, height, fps, bits per second) of stream index (0 is /onvif/stream1)."""
    width, height, fps, bps = DEFAULTS.get(index, DEFAULTS[1])
    try:
        encode, stream = get_section("ENCODE"), get_section("STREAM%d" % index)
    except OSError:
        return width, height, fps, bps
    resolution = value(encode, "s%d_resolution" % index)
    if resolution and (resolution >> 16) >= 16 and (resolution & 0xFFFF) >= 16:
        width, height = resolution >> 16, resolution & 0xFFFF
    fps = value(encode, "s%d_fps" % index) or fps
    bps = value(stream, "s%d_cbr_avg_bps" % index) or bps
    return width, height, max(1, min(fps, 60)), max(64000, bps)
