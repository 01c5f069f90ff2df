"""The streaming stand-in's sound: stream1 carries what soundtap sends through a consumer
FIFO of each client's own, at the rate of soundtap's frames; without soundtap the stream is
video only. The stand-in runs alone here (no settings server: its default sizes)."""
import os
import subprocess
import sys

import pytest

from camera import SOURCE_DIR, wait_for
from media_probe import audio_of, probe_stream
from soundtap_rig import Soundtap, tone_s16

SERVER = os.path.join(SOURCE_DIR, "testbed", "videoserver", "rtsp-server")
PORT = "8554"
LOG = "/tmp/rtsp-server.log"
CLIENTS = 8  # more than soundtap's six consumers: each client's FIFO is given back


@pytest.fixture
def server():
    with open(LOG, "wb") as log:
        proc = subprocess.Popen([sys.executable, SERVER, "--port", PORT], stdout=log,
                                stderr=subprocess.STDOUT)
    try:
        assert wait_for(lambda: "serving" in open(LOG).read(), timeout=20), open(LOG).read()
        yield proc
    finally:
        proc.terminate()
        proc.wait(timeout=20)


def probe(path):
    (codec, _, _, _), text = probe_stream("rtsp://127.0.0.1:%s/onvif/%s" % (PORT, path), 20)
    return codec, audio_of(text)


@pytest.mark.parametrize("rate", [None, 8000, 24000])
def test_stream1_carries_soundtaps_aac_at_its_rate_or_none_without_it(server, rate):
    st = None
    if rate:
        st = Soundtap(["--aac", "--samplerate", rate, "--bitrate", 32000],
                      tone_s16(1.0, rate), 2 * rate).start()
    try:
        video = "H.264"
        sound = ("MPEG-4 AAC", rate) if rate else None
        for _ in range(CLIENTS if rate else 1):
            assert probe("stream1") == (video, sound), open(LOG).read()
        assert probe("stream2") == (video, None)
        said = "stream1: sound AAC %d Hz 1 channel(s)" % rate if rate else "stream1: no sound"
        assert said in open(LOG).read()
        assert os.listdir("/run/rtsp-sound") == []  # every client's FIFO is gone
    finally:
        if st:
            st.stop()
