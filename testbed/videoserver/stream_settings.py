"""What the settings server holds for a stream: its resolution and frame rate (section
ENCODE, "s%d_resolution" as width << 16 | height, "s%d_fps") and bit rate (section STREAMn,
"s%d_cbr_avg_bps"), asked over the settings wire protocol each time a stream opens."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from settingsd import wire  # noqa: E402

SETTINGS = ("127.0.0.1", 20000)
DEFAULTS = {0: (1920, 1080, 25, 4000000), 1: (1280, 720, 25, 2000000)}


def get_section(name, timeout=5):
    try:
        status, text = wire.get(SETTINGS[0], name, port=SETTINGS[1], timeout=timeout)
    except EOFError:
        return ""
    return text.decode("latin-1") if status == wire.OK else ""


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
