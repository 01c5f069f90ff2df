"""The main stream's sound, as the camera's streaming server takes it: a consumer FIFO
registered with soundtap ("start audio PATH" on its control queue /sndq), read as it fills
and handed to the stream's appsrc. What arrives is ADTS AAC; the stream's rate and channels
are read from its headers, so the stream says whatever soundtap sends now.
When soundtap is absent (no queue, or nothing arrives in time), there is no sound."""
import ctypes
import itertools
import os
import select

FIFO_DIR = "/run/rtsp-sound"
FIRST_DATA_SECONDS = 5.0  # a FIFO is opened within 0.6 s, the first frame later when loaded
READ_SIZE = 65536
_serial = itertools.count(1)


def send_request(text):
    """Queues text on soundtap's control queue; False when there is none (soundtap absent)."""
    libc = ctypes.CDLL(None, use_errno=True)
    libc.mq_open.restype = ctypes.c_int
    q = libc.mq_open(b"/sndq", os.O_WRONLY | os.O_NONBLOCK)
    if q < 0:
        return False
    data = text.encode()
    try:
        return libc.mq_send(q, data, ctypes.c_size_t(len(data)), ctypes.c_uint(0)) == 0
    finally:
        libc.mq_close(q)


def adts_header(data):
    """(sample rate, channels) of the first ADTS header in data, or None."""
    rates = (96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025,
             8000, 7350)
    for i in range(max(0, len(data) - 6)):
        if data[i] == 0xFF and data[i + 1] & 0xF6 == 0xF0:
            index = (data[i + 2] >> 2) & 0x0F
            channels = (data[i + 2] & 1) << 2 | data[i + 3] >> 6
            if index < len(rates) and channels:
                return rates[index], channels
    return None


class SoundFeed:
    """One client's share of soundtap's AAC: open() registers the FIFO and waits for the
    first bytes; attach() hands what follows to an appsrc; close() ends the share."""

    def __init__(self, name):
        self.path = os.path.join(FIFO_DIR, "%s-%d-%d" % (name, os.getpid(), next(_serial)))
        self.fd, self.pending, self.watch = -1, b"", 0

    def open(self):
        """True once AAC arrives; False (and nothing left behind) when soundtap is absent."""
        os.makedirs(FIFO_DIR, mode=0o700, exist_ok=True)
        os.mkfifo(self.path, 0o600)
        self.fd = os.open(self.path, os.O_RDONLY | os.O_NONBLOCK)  # a reader before the ask
        if send_request("start audio " + self.path):
            poller = select.poll()
            poller.register(self.fd, select.POLLIN)
            if poller.poll(int(FIRST_DATA_SECONDS * 1000)):
                try:
                    self.pending = os.read(self.fd, READ_SIZE)
                except BlockingIOError:
                    self.pending = b""
        if not self.pending:
            self.close()
            return False
        return True

    def format(self):
        """(sample rate, channels) of what soundtap sends, or None."""
        return adts_header(self.pending)

    def attach(self, src, glib, gst):
        """Pushes what arrives into src (an appsrc) from the main loop until the FIFO ends."""
        self.src, self.glib, self.gst = src, glib, gst
        self.push(self.pending)
        self.pending = b""
        self.watch = glib.io_add_watch(self.fd, glib.PRIORITY_DEFAULT,
                                       glib.IO_IN | glib.IO_HUP | glib.IO_ERR, self.readable)

    def push(self, data):
        if data:
            self.src.emit("push-buffer", self.gst.Buffer.new_wrapped(data))

    def readable(self, _fd, _condition):
        try:
            data = os.read(self.fd, READ_SIZE)
        except BlockingIOError:
            return True
        except OSError:
            data = b""
        if not data:  # soundtap went away (or dropped this consumer): no more sound
            self.watch = 0
            self.close()
            return False
        self.push(data)
        return True

    def close(self):
        if self.watch:
            self.glib.source_remove(self.watch)
            self.watch = 0
        if self.fd >= 0:
            os.close(self.fd)
            self.fd = -1
        try:
            os.unlink(self.path)
        except FileNotFoundError:
            pass
