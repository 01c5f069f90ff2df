"""The schema check of answers: tests/onvif-validate against ONVIF's own schemas, which sit
outside the tree (../shared/onvif-schemas beside it, or where ONVIF_SCHEMAS says; tests/e2e/
run-module puts that folder in the sandbox's view). Without them the check skips, after the
rest of the test ran, and says where to put them; with ONVIF_SCHEMAS_REQUIRED=1 (CI) it
fails instead."""
import os
import subprocess

import pytest

from camera import SOURCE_DIR

TOOL = os.path.join(SOURCE_DIR, "tests", "onvif-validate")


def schemas_or_skip():
    """Returns when ONVIF's schemas are at hand; skips (or fails, for CI) the test if not."""
    where = subprocess.run([TOOL, "--where"], capture_output=True, text=True, timeout=60)
    if where.returncode == 0:
        return
    reason = ("ONVIF schema check skipped: no ONVIF schemas in %s; put them there "
              "(../shared/onvif-schemas beside the tree) or set ONVIF_SCHEMAS=DIR"
              % where.stdout.strip())
    if os.environ.get("ONVIF_SCHEMAS_REQUIRED") == "1":
        pytest.fail(reason.replace("skipped", "required (ONVIF_SCHEMAS_REQUIRED=1)"))
    pytest.skip(reason)


def validate_files(files, timeout=600):
    """Every file (an HTTP or CGI head, then one SOAP envelope) passes the schema check."""
    schemas_or_skip()
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
