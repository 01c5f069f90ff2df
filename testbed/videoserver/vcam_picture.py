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


TILES_X, TILES_Y = 12, 8  # the AE tiles the scene script's objects are placed in


def scene_lines(now):
    """(seconds since the script's start, its lines as word lists) as testbed/vcam reads it."""
    path = os.path.join(vcam_dir(), "scene")
    try:
        elapsed = (now or time.time()) - os.stat(path).st_mtime
    except OSError:
        return 0.0, []
    text = read_text(path)
    if text.startswith("by readings\n"):
        elapsed = vcam_reads() + 0.5
    lines = [line.split() for line in text.splitlines()]
    return elapsed, [w for w in lines if w and not w[0].startswith("#") and w[0] != "by"]


def scene_luma(now=None):
    """The scene's luma now: its light lines (object lines lie over the light)."""
    elapsed, lines = scene_lines(now)
    parts = []
    for words in lines:
        kind = words[0]
        if kind == "object":
            continue
        luma = {"dusk": DUSK_LUMA, "night": NIGHT_LUMA, "flicker": NIGHT_LUMA}.get(kind, DAY_LUMA)
        seconds = float(words[1]) if len(words) > 1 else 0.0
        parts.append((kind, seconds, float(words[2]) if len(words) > 2 else luma))
    if not parts:
        return DAY_LUMA
    start, previous = 0.0, parts[0][2]
    for kind, seconds, luma in parts:
        if elapsed < start + seconds or (kind, seconds, luma) == parts[-1]:
            if kind == "flicker" and vcam_reads() % 2 == 1:
                return DAY_LUMA
            if kind == "ramp" and seconds > 0:  # from the previous line's luma to its own
                done = min(1.0, max(0.0, (elapsed - start) / seconds))
                return previous + (luma - previous) * done
            return luma
        start, previous = start + seconds, luma
    return parts[-1][2]


def scene_objects(now):
    """The scene's moving objects at time now: (x, y, width, height) as fractions of the
    picture and an (r, g, b) colour as bright as the object's luma."""
    elapsed, lines = scene_lines(now)
    found = []
    for words in lines:
        if words[0] != "object" or len(words) < 8:
            continue
        try:
            start, seconds, x, y, w, h, luma = (float(v) for v in words[1:8])
            speed = [float(v) for v in words[8:10]] + [0.0, 0.0]
        except ValueError:
            continue
        if not start <= elapsed < start + seconds:
            continue
        x += speed[0] * (elapsed - start)
        y += speed[1] * (elapsed - start)
        bright = level(luma)
        found.append(((x / TILES_X, y / TILES_Y, w / TILES_X, h / TILES_Y),
                      (0.80 * bright, 0.35 * bright, 0.30 * bright)))
    return found


def monochrome():
    """True while the image server's last picture command (43) asked for monochrome."""
    log = os.environ.get("IMAGESERVER_LOG", "/run/camera-logs/imageserver-commands.log")
    for line in reversed(read_text(log).splitlines()):
        if line.startswith("cmd=43 args="):
            return line[len("cmd=43 args="):].split(",")[0] == "1"
    return False


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
        x0, x1 = max(0, int(x * width)), min(width, int((x + w) * width))
        dot = pixel(rgb)
        for row in range(max(0, int(y * height)), min(height, int((y + h) * height))):
            frame[(row * width + x0) * 3:(row * width + x1) * 3] = dot * max(0, x1 - x0)
    return bytes(frame)
