"""The imaging service on the virtual camera, with irswitchd and lensctl as the camera runs
them: the service's addresses; IrCutFilter OFF holds the filter at night in a bright scene
until AUTO lets irswitchd bring it back; Relative and Continuous focus moves, Stop and
GetStatus; an autofocus that ends near the scene's focus and refuses moves while it runs;
refused settings that change nothing; a user-level account that may read but not move. Every
answer is checked against ONVIF's schemas."""
# ctest-labels: vcam
import json
import os
import signal
import subprocess
import tempfile
import time

import pytest

from camera import (BUILD_DIR, Opens, in_lan, nvtd_program, program, wait_for,
                    write_accounts)
from onvif_client import onvif_library
from onvif_soap import envelope, post, security, serving
from onvif_validate import validate_files
from settingsd import Settingsd
from vcam import ImageServer, Vcam, catch_console, sim_build

pytestmark = pytest.mark.skipif(not sim_build(), reason="needs the virtual camera (sim build)")

PORT = 8096
IMAGING = "/onvif/imaging_service"
TIMG = "http://www.onvif.org/ver20/imaging/wsdl"
OPERATOR = ("focus-op", "op-secret")
VIEWER = ("viewer", "view-secret")
TRUE_FOCUS = -350
STATE = "/run/camera-state/ircut-mode"
# ONVIF's schemas and their checker, beside the source tree (../shared from the main tree).
ANSWERS = tempfile.mkdtemp(prefix="imaging-answers.", dir="/tmp")
FIGURES = []


def nvtd(*args):
    return nvtd_program() + list(args)


class Rig:
    def __init__(self):
        catch_console()
        self.cam = Vcam()
        self.cam.write("scene", "day 100000\n")
        self.cam.write("optics", "true_focus=%d\nwidth=300\nnoise=2\nslices=3\n" % TRUE_FOCUS)
        write_accounts(OPERATOR + ("operator",), VIEWER + ("user",))
        self.images = ImageServer()
        self.settings = Settingsd()
        self.nvtd = subprocess.Popen(nvtd("--port", str(PORT)),
                                     env=self.cam.env(), stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        self.irswitchd = subprocess.Popen(program("irswitchd", "irswitchd"), env=self.cam.env(),
                                          stdout=subprocess.DEVNULL)

    def stop(self):
        self.irswitchd.send_signal(signal.SIGTERM)
        self.irswitchd.wait(timeout=15)
        self.nvtd.terminate()
        self.nvtd.wait(timeout=15)
        self.settings.stop()
        self.images.stop()

    def focus(self):
        return int(self.cam.state().get("focus", "0"))

    def filter(self):
        return self.cam.state().get("filter")


@pytest.fixture(scope="module")
def rig():
    r = Rig()
    try:
        assert wait_for(lambda: serving(PORT), timeout=30)
        assert wait_for(lambda: r.filter() == "day", timeout=30)
        yield r
    finally:
        r.stop()
    # Timings are figures, not assertions: they are left beside the build for the record.
    if FIGURES:
        with open(os.path.join(BUILD_DIR, "imaging-figures.txt"), "w") as f:
            f.write("\n".join(FIGURES) + "\n")


def call(operation, inner="<timg:VideoSourceToken>HD</timg:VideoSourceToken>", account=OPERATOR,
         path=IMAGING, namespace=TIMG, prefix="timg"):
    """Posts one operation and keeps its answer for the schema check."""
    body = '<%s:%s xmlns:%s="%s">%s</%s:%s>' % (prefix, operation, prefix, namespace, inner,
                                              prefix, operation)
    header = security(*account) if account else ""
    answer = post(envelope(body, header), PORT, path=path, action="%s/%s" % (namespace, operation))
    with open(os.path.join(ANSWERS, "%03d-%s.xml" % (len(os.listdir(ANSWERS)), operation)),
              "wb") as f:
        f.write(answer.body)
    return answer


def mode_file():
    try:
        with open(STATE) as f:
            return f.read()
    except FileNotFoundError:
        return None


def settings(inner, token="HD"):
    return ("<timg:VideoSourceToken>%s</timg:VideoSourceToken><timg:ImagingSettings>%s"
            "</timg:ImagingSettings>" % (token, inner))


def ir_cut(mode):
    return settings('<tt:IrCutFilter xmlns:tt="http://www.onvif.org/ver10/schema">%s'
                    "</tt:IrCutFilter>" % mode)


def move(inner):
    return ('<timg:VideoSourceToken>HD</timg:VideoSourceToken><timg:Focus '
            'xmlns:tt="http://www.onvif.org/ver10/schema">%s</timg:Focus>' % inner)


def relative(steps):
    return move("<tt:Relative><tt:Distance>%s</tt:Distance></tt:Relative>" % steps)


def text_of(answer, name):
    node = next((e for e in answer.xml().iter() if e.tag.endswith("}" + name)), None)
    return node.text if node is not None else None


def fault_subcodes(answer):
    fault = answer.fault()
    return fault[1] if fault else None


def wait_idle(timeout):
    return wait_for(lambda: text_of(call("GetStatus"), "MoveStatus") == "IDLE", timeout=timeout,
                    step=0.2)


def test_the_service_is_listed_with_its_address(rig):
    caps = call("GetCapabilities", "<tds:Category>Imaging</tds:Category>", account=None,
                path="/onvif/device_service", namespace="http://www.onvif.org/ver10/device/wsdl",
                prefix="tds")
    assert text_of(caps, "XAddr").endswith(":%d/onvif/imaging_service" % PORT)
    everything = call("GetCapabilities", "", account=None, path="/onvif/device_service",
                      namespace="http://www.onvif.org/ver10/device/wsdl", prefix="tds")
    assert "<tt:Imaging><tt:XAddr>" in everything.text
    services = call("GetServices", "<tds:IncludeCapability>true</tds:IncludeCapability>",
                    account=None, path="/onvif/device_service",
                    namespace="http://www.onvif.org/ver10/device/wsdl", prefix="tds")
    assert TIMG in services.text and "<timg:Capabilities " in services.text
    own = call("GetServiceCapabilities", "", account=None)
    assert "<timg:GetServiceCapabilitiesResponse><timg:Capabilities " in own.text
    options = call("GetOptions")
    modes = [e.text for e in options.xml().iter() if e.tag.endswith("}IrCutFilterModes")]
    assert modes == ["ON", "OFF", "AUTO"]
    move_options = call("GetMoveOptions")
    assert "<tt:Relative>" in move_options.text and "<tt:Absolute>" not in move_options.text


def test_ir_cut_off_holds_night_in_a_bright_scene_until_auto(rig):
    assert text_of(call("GetImagingSettings"), "IrCutFilter") == "AUTO"
    start = time.monotonic()
    assert call("SetImagingSettings", ir_cut("OFF")).fault() is None
    assert wait_for(lambda: rig.filter() == "night", timeout=20, step=0.02)
    FIGURES.append("SetImagingSettings OFF to the filter at night: %.2f s"
                   % (time.monotonic() - start))
    assert text_of(call("GetImagingSettings"), "IrCutFilter") == "OFF"
    assert mode_file() == "night\n"
    # In auto, eight bright readings would bring the day back; the forced night stays for ten
    # of irswitchd's rounds (each reads the mode).
    rounds = Opens(STATE)
    try:
        wait_for(lambda: rig.filter() != "night" or rounds.count() >= 10, timeout=30)
        assert rig.filter() == "night" and rounds.count() >= 10, rounds.count()
    finally:
        rounds.close()
    # A restarted irswitchd keeps the night, without a day pulse at its start.
    pulses = len(rig.cam.filter_pulses())
    rig.irswitchd.send_signal(signal.SIGTERM)
    rig.irswitchd.wait(timeout=15)
    rig.irswitchd = subprocess.Popen(program("irswitchd", "irswitchd"), env=rig.cam.env(),
                                     stdout=subprocess.DEVNULL)
    assert wait_for(lambda: len(rig.cam.filter_pulses()) > pulses, timeout=20)
    assert rig.cam.filter_pulses()[pulses][0] == 0x1F and rig.filter() == "night"
    assert call("SetImagingSettings", ir_cut("AUTO")).fault() is None
    assert wait_for(lambda: rig.filter() == "day", timeout=40, step=0.2)
    assert text_of(call("GetImagingSettings"), "IrCutFilter") == "AUTO"


def test_refused_settings_change_nothing(rig):
    before = (mode_file(), rig.focus())
    brightness = '<tt:Brightness xmlns:tt="http://www.onvif.org/ver10/schema">50</tt:Brightness>'
    for inner in (settings(brightness),
                  settings(brightness + '<tt:IrCutFilter xmlns:tt="http://www.onvif.org/ver10/'
                           'schema">OFF</tt:IrCutFilter>'),
                  ir_cut("NIGHT"),
                  settings('<tt:Focus xmlns:tt="http://www.onvif.org/ver10/schema">'
                           "<tt:AutoFocusMode>AUTO</tt:AutoFocusMode><tt:NearLimit>1"
                           "</tt:NearLimit></tt:Focus>")):
        assert fault_subcodes(call("SetImagingSettings", inner)) == [
            "ter:InvalidArgVal", "ter:SettingsInvalid"], inner
    for inner in (relative(2001), relative("abc"),
                  move("<tt:Continuous><tt:Speed>1.5</tt:Speed></tt:Continuous>"),
                  move("<tt:Absolute><tt:Position>3</tt:Position></tt:Absolute>")):
        assert fault_subcodes(call("Move", inner)) == [
            "ter:InvalidArgVal", "ter:SettingsInvalid"], inner
    assert fault_subcodes(call("SetImagingSettings", ir_cut("OFF").replace(">HD<", ">SD<"))) == [
        "ter:InvalidArgVal", "ter:NoSource"]
    assert fault_subcodes(call("GetImagingSettings",
                               "<timg:VideoSourceToken>x</timg:VideoSourceToken>")) == [
        "ter:InvalidArgVal", "ter:NoSource"]
    assert (mode_file(), rig.focus()) == before


def test_relative_moves_change_the_lens_by_the_steps_asked(rig):
    assert wait_idle(30)
    before = rig.focus()
    start = time.monotonic()
    answer = call("Move", relative(400))
    FIGURES.append("Move (Relative 400 steps, 1 s of motor) answered in %.1f ms"
                   % ((time.monotonic() - start) * 1000))
    assert answer.fault() is None and "<timg:MoveResponse>" in answer.text
    # 400 steps take at least a second: the move runs beside the answers.
    assert text_of(call("GetStatus"), "MoveStatus") == "MOVING"
    assert fault_subcodes(call("Move", relative(8))) == ["ter:Action", "ter:FocusBusy"]
    assert wait_idle(30)
    # A fresh motor loses its first pulse; a move that goes on in the same direction loses none.
    assert abs(rig.focus() - before - 400) <= 1, (before, rig.focus())
    before = rig.focus()
    assert call("Move", relative(-40)).fault() is None
    assert wait_idle(30)
    assert abs(rig.focus() - before + 40) <= 2, (before, rig.focus())


def test_a_move_through_the_cgi_program_answers_and_leaves_the_motor_running(rig):
    assert wait_idle(30)
    before = rig.focus()
    data = envelope('<timg:Move xmlns:timg="%s">%s</timg:Move>' % (TIMG, relative(400)),
                    security(*OPERATOR)).encode()
    env = rig.cam.env(REQUEST_METHOD="POST", REQUEST_URI=IMAGING, CONTENT_LENGTH=str(len(data)),
                      CONTENT_TYPE="application/soap+xml; charset=utf-8")
    # The web server waits for the CGI program's output to end: the job must not hold it.
    run = subprocess.run(nvtd(), input=data, env=env, capture_output=True,
                         timeout=60)
    assert b"<timg:MoveResponse>" in run.stdout, run.stdout[-300:]
    assert text_of(call("GetStatus"), "MoveStatus") == "MOVING"
    assert wait_idle(30)
    assert abs(rig.focus() - before - 400) <= 1, (before, rig.focus())


def test_a_continuous_move_runs_until_stop(rig):
    before = rig.focus()
    assert call("Move", move("<tt:Continuous><tt:Speed>-1</tt:Speed></tt:Continuous>")
                ).fault() is None
    assert wait_for(lambda: rig.focus() < before - 40, timeout=30)
    assert call("Stop").fault() is None
    assert wait_idle(10)
    stopped = rig.focus()
    time.sleep(0.5)  # the assertion: the lens stays where it stopped
    assert rig.focus() == stopped and stopped > before - 2000


def test_autofocus_ends_near_the_scene_focus_and_refuses_moves_meanwhile(rig):
    assert wait_idle(30)
    focus_auto = settings('<tt:Focus xmlns:tt="http://www.onvif.org/ver10/schema">'
                          "<tt:AutoFocusMode>AUTO</tt:AutoFocusMode></tt:Focus>")
    assert call("SetImagingSettings", focus_auto).fault() is None
    assert text_of(call("GetImagingSettings"), "AutoFocusMode") == "AUTO"
    assert fault_subcodes(call("Move", relative(40))) == ["ter:Action", "ter:FocusBusy"]
    assert call("Stop").fault() is None  # leaves the autofocus alone
    assert text_of(call("GetStatus"), "MoveStatus") == "MOVING"
    assert wait_idle(180)
    assert abs(rig.focus() - TRUE_FOCUS) <= 36, rig.focus()
    assert text_of(call("GetImagingSettings"), "AutoFocusMode") == "MANUAL"


def test_a_user_account_reads_but_cannot_move_the_lens(rig):
    assert wait_idle(30)
    before = (mode_file(), rig.focus())
    assert text_of(call("GetImagingSettings", account=VIEWER), "IrCutFilter") == "AUTO"
    assert call("GetStatus", account=VIEWER).fault() is None
    for operation, inner in (("Move", relative(40)), ("Stop", None),
                             ("SetImagingSettings", ir_cut("OFF"))):
        args = (operation,) if inner is None else (operation, inner)
        answer = call(*args, account=VIEWER)
        assert "ter:NotAuthorized" in answer.text, answer.text[:300]
    time.sleep(0.5)  # the assertion: nothing moves or switches afterwards either
    assert (mode_file(), rig.focus()) == before


def test_the_onvif_library_switches_the_filter(rig):
    node_dir = onvif_library()
    run = subprocess.run(in_lan(["node", "imaging.js", "10.99.0.2", str(PORT), *OPERATOR, "OFF"]),
                         cwd=node_dir, capture_output=True, text=True, timeout=120)
    assert run.returncode == 0, run.stderr
    seen = json.loads(run.stdout)
    assert seen["imaging"] == "http://10.99.0.2:%d/onvif/imaging_service" % PORT, seen
    assert seen["capabilities"] == {"AdaptablePreset": False, "ImageStabilization": False,
                                    "Presets": False}, seen
    assert seen["settings"]["irCutFilter"] == "OFF", seen
    assert wait_for(lambda: rig.filter() == "night", timeout=20)
    assert call("SetImagingSettings", ir_cut("AUTO")).fault() is None


def test_every_answer_is_valid_onvif(rig):
    files = sorted(os.path.join(ANSWERS, name) for name in os.listdir(ANSWERS))
    assert len(files) > 20
    validate_files(files)
