"""Shared set-up of the end-to-end tests: they run inside testbed/sandbox (CTest starts
pytest there), find the programs of the build in CAMERA_BUILD_DIR, the helpers that speak to
the camera in testbed/client (the tour and the benchmarks use them too), the testbed's
stand-ins' Python side (the settings server's package) in testbed/, and the tests' own
helpers in lib/."""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, "lib"), os.path.join(HERE, "..", "..", "testbed", "client"),
                os.path.join(HERE, "..", "..", "testbed")]

import pytest  # noqa: E402


# Sanitizer reports of the programs a module starts (TSAN_OPTIONS/ASAN_OPTIONS log_path, set
# by CTest) land here, inside the sandbox's /run; any report fails the module.
SANITIZER_REPORTS = "/run/sanitizer"


def pytest_configure(config):
    if os.environ.get("SANDBOX") != "1":
        raise pytest.UsageError("end-to-end tests run only inside testbed/sandbox (use ctest)")
    os.makedirs(SANITIZER_REPORTS, exist_ok=True)


def sanitizer_reports():
    reports = []
    for name in sorted(os.listdir(SANITIZER_REPORTS)):
        with open(os.path.join(SANITIZER_REPORTS, name), errors="replace") as f:
            reports.append(f.read())
    return reports


def pytest_sessionfinish(session, exitstatus):
    """A sanitizer report fails the module. pytest ends with 0 when every case was skipped;
    CTest (which sets CAMERA_SKIP_RETURN_CODE) should report such a module as skipped."""
    reports = sanitizer_reports()
    if reports:
        print("\n".join(["", "sanitizer reports of the programs this module started:"] + reports))
        session.exitstatus = 1
        return
    code = os.environ.get("CAMERA_SKIP_RETURN_CODE")
    reporter = session.config.pluginmanager.get_plugin("terminalreporter")
    if not code or reporter is None or exitstatus != 0:
        return
    stats = reporter.stats
    if stats.get("skipped") and not stats.get("passed") and not stats.get("xpassed"):
        session.exitstatus = int(code)


@pytest.fixture(scope="session")
def build_dir():
    return os.environ["CAMERA_BUILD_DIR"]


@pytest.fixture(scope="module")
def settings_server():
    """The settings-server stand-in for a module whose nvtd should find its settings
    (without it nvtd waits ten seconds for CAM at every start)."""
    from settingsd import Settingsd

    server = Settingsd()
    yield server
    server.stop()
