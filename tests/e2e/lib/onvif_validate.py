"""ONVIF's own schema check of answers: the onvif-validate tool that sits beside the source
tree (../shared/tools of a checkout, as CI and testbed/fresh-check lay it out), or the one
ONVIF_VALIDATE names."""
import os
import subprocess

from camera import SOURCE_DIR

TOOL = next((path for path in (
    os.environ.get("ONVIF_VALIDATE", ""),
    os.path.join(SOURCE_DIR, "..", "shared", "tools", "onvif-validate"),
    os.path.join(SOURCE_DIR, "..", "..", "shared", "tools", "onvif-validate"))
    if path and os.path.exists(path)), None)


def validate_files(files, timeout=600):
    """Every file (an HTTP or CGI head, then one SOAP envelope) passes the schema check."""
    assert TOOL, "onvif-validate not found beside the source tree (set ONVIF_VALIDATE)"
    run = subprocess.run([TOOL] + [str(f) for f in files], capture_output=True, text=True,
                         timeout=timeout)
    assert run.returncode == 0, run.stdout + run.stderr


def validate(folder, *answers):
    """Every answer, written into folder, passes the schema check."""
    files = []
    for n, answer in enumerate(answers):
        path = os.path.join(str(folder), "answer-%d.xml" % n)
        with open(path, "w") as f:
            f.write(answer)
        files.append(path)
    validate_files(files)
