"""The virtual camera's picture as the stand-in streaming server and the snapshot draw it:
the scene's light (the vcam "scene" script), grey while irswitchd holds the picture
monochrome (night without night colour), and the scene's objects drawn over it."""
import os
import time

DAY_LUMA, DUSK_LUMA, NIGHT_LUMA = 120, 15, 3  # as testbed/vcam/config.cc
SKY, GROUND = (0.70, 0.85, 1.00), (0.55, 0.75, 0.45)  # colour of each half at full light


def vcam_dir():
    return os.environ.get("VCAM_DIR", "/tmp/vcam")


def read_text(path, limit=65536):
    try:
        with open(path, "rb") as f:
            size = os.fstat(f.fileno()).st_size
            f.seek(max(0, size - limit))
            return f.read(limit).decode("ascii", "replace")
    except OSError:
        return ""


def vcam_reads():
    for line in read_text(os.path.join(vcam_dir(), "state")).splitlines():
        if line.startswith("reads="):
            return int(line[6:] or 0)
    return 0


def scene_luma(now=None):
    """The scene's luma now, read as testbed/vcam reads its script."""
    path = os.path.join(vcam_dir(), "scene")
    try:
        elapsed = (now or time.time()) - os.stat(path).st_mtime
    except OSError:
        return DAY_LUMA
    text = read_text(path)
    report = vcam_reads()
    if text.startswith("by readings\n"):
        elapsed = report + 0.5
    parts = []
    for line in text.splitlines():
        words = line.split()
        if not words or words[0].startswith("#") or words[0] == "by":
            continue
        kind = words[0]
        luma = {"dusk": DUSK_LUMA, "night": NIGHT_LUMA, "flicker": NIGHT_LUMA}.get(kind, DAY_LUMA)
        seconds = float(words[1]) if len(words) > 1 else 0.0
        parts.append((kind, seconds, int(words[2]) if len(words) > 2 else luma))
    if not parts:
        return DAY_LUMA
    chosen, start = parts[-1], 0.0
    for part in parts:
        if elapsed < start + part[1]:
            chosen = part
            break
        start += part[1]
    return DAY_LUMA if chosen[0] == "flicker" and report % 2 == 1 else chosen[2]


def monochrome():
    """True while the image server's last picture command (43) asked for monochrome."""
    log = os.environ.get("IMAGESERVER_LOG", "/run/camera-logs/imageserver-commands.log")
    for line in reversed(read_text(log).splitlines()):
        if line.startswith("cmd=43 args="):
            return line[len("cmd=43 args="):].split(",")[0] == "1"
    return False


def scene_objects(now):
    """The scene's moving objects at time now: (x, y, width, height) as fractions of the
    picture and an (r, g, b) colour. The scene script has none yet."""
    del now
    return []


def level(luma):
    """Brightness 0..1 of the picture: the camera's gain lifts a dark scene (square root)."""
    return min(1.0, max(0, luma) / DAY_LUMA) ** 0.5


def draw(width, height, now=None):
    """One RGB frame (width * height * 3 bytes) of the picture now."""
    now = now or time.time()
    light, grey = level(scene_luma(now)), monochrome()

    def pixel(rgb):
        if grey:
            y = 0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2]
            rgb = (y, y, y)
        return bytes(min(255, int(255 * c)) for c in rgb)

    sky = pixel(tuple(c * light for c in SKY)) * width
    ground = pixel(tuple(c * light for c in GROUND)) * width
    frame = bytearray(sky * (height // 2) + ground * (height - height // 2))
    for (x, y, w, h), rgb in scene_objects(now):
        x0, x1 = int(x * width), min(width, int((x + w) * width))
        dot = pixel(rgb)
        for row in range(max(0, int(y * height)), min(height, int((y + h) * height))):
            frame[(row * width + x0) * 3:(row * width + x1) * 3] = dot * max(0, x1 - x0)
    return bytes(frame)
