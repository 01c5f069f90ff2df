"""What a client sees of the camera's pictures: the codec and size of a stream as
GStreamer's discoverer reads them, the size of a JPEG, and what the streaming server and the
snapshot answer with and without the account (both ask for Digest)."""
import re
import socket
import struct
import subprocess
import urllib.error
import urllib.parse
import urllib.request


def with_account(uri, user, password):
    """uri with user:password@ before its host, as RTSP clients take an account."""
    parts = urllib.parse.urlsplit(uri)
    account = "%s:%s@" % (urllib.parse.quote(user, safe=""), urllib.parse.quote(password, safe=""))
    return urllib.parse.urlunsplit(parts._replace(netloc=account + parts.netloc.split("@")[-1]))


def rtsp_describe(uri, timeout=10):
    """(status line, [WWW-Authenticate values]) of a DESCRIBE of uri without credentials."""
    parts = urllib.parse.urlsplit(uri)
    with socket.create_connection((parts.hostname, parts.port or 554), timeout=timeout) as s:
        s.sendall(b"DESCRIBE %s RTSP/1.0\r\nCSeq: 1\r\nAccept: application/sdp\r\n\r\n"
                  % uri.encode())
        answer = b""
        while b"\r\n\r\n" not in answer and len(answer) < 65536:
            chunk = s.recv(4096)
            if not chunk:
                break
            answer += chunk
    lines = answer.split(b"\r\n\r\n")[0].decode(errors="replace").split("\r\n")
    return lines[0], [v.strip() for k, _, v in (line.partition(":") for line in lines[1:])
                      if k.strip().lower() == "www-authenticate"]


def fetch(uri, user=None, password=None, timeout=20):
    """(HTTP status, [WWW-Authenticate values], body) of a GET of uri, answering a Digest
    challenge with the account when one is given; never through a proxy."""
    handlers = [urllib.request.ProxyHandler({})]
    if user is not None:
        accounts = urllib.request.HTTPPasswordMgrWithDefaultRealm()
        accounts.add_password(None, uri, user, password)
        handlers.append(urllib.request.HTTPDigestAuthHandler(accounts))
    try:
        with urllib.request.build_opener(*handlers).open(uri, timeout=timeout) as answer:
            return answer.status, [], answer.read()
    except urllib.error.HTTPError as e:
        return e.code, e.headers.get_all("WWW-Authenticate") or [], e.read()


def probe_stream(uri, timeout=30):
    """(codec, width, height, frame rate) of the first video stream at uri, or
    (None, 0, 0, None) when the discoverer finds none; and the discoverer's output."""
    r = subprocess.run(["gst-discoverer-1.0", "-t", str(timeout), uri], capture_output=True,
                       text=True, timeout=timeout + 30)
    video = re.search(r"video #\d+: ([^\n(]+).*?Width: (\d+)\s+Height: (\d+)"
                      r".*?Frame rate: (\d+/\d+)", r.stdout, re.S)
    if not video:
        return (None, 0, 0, None), r.stdout + r.stderr
    return (video.group(1).strip(), int(video.group(2)), int(video.group(3)),
            video.group(4)), r.stdout


def audio_of(text):
    """(codec, sample rate) of the first audio stream in the discoverer's output text, or
    None when it lists none. (Its channel count is the decoder's output, not the stream's.)"""
    audio = re.search(r"audio #\d+: ([^\n(]+).*?Sample rate: (\d+)", text, re.S)
    if not audio:
        return None
    return audio.group(1).strip(), int(audio.group(2))


def jpeg_size(data):
    """(width, height) from a JPEG's start-of-frame segment, or None when data is no JPEG."""
    if data[:2] != b"\xff\xd8":
        return None
    i = 2
    while i + 9 < len(data) and data[i] == 0xFF:
        marker, length = data[i + 1], struct.unpack(">H", data[i + 2:i + 4])[0]
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            height, width = struct.unpack(">HH", data[i + 5:i + 9])
            return width, height
        i += 2 + length
    return None


def jpeg_quarters(data):
    """The picture of a JPEG scaled to 2x2: [(r, g, b)] for top left, top right, bottom left,
    bottom right (the demo draws sky above, ground below)."""
    r = subprocess.run(["gst-launch-1.0", "-q", "fdsrc", "fd=0", "!", "jpegdec", "!",
                        "videoconvert", "!", "videoscale", "!",
                        "video/x-raw,format=RGBx,width=2,height=2", "!", "fdsink", "fd=1"],
                       input=data, capture_output=True, timeout=60)
    raw = r.stdout[:16] if len(r.stdout) >= 16 else b""
    return [tuple(raw[i:i + 3]) for i in range(0, len(raw), 4)]
