"""The third-party ONVIF client (npm package "onvif", pinned in tests/e2e/node) that some
end-to-end tests drive. tests/run installs it with `npm ci` before the tests start, outside
the sandbox, which has no registry; tests never install it themselves, since several run
at once and `npm ci` empties the folder first."""
import os
import shutil

import pytest

from camera import SOURCE_DIR

NODE_DIR = os.path.join(SOURCE_DIR, "tests", "e2e", "node")


def onvif_library():
    """The client folder (scripts and node_modules); skips the test when it is not there."""
    if not shutil.which("node"):
        pytest.skip("node is not installed (testbed/install-deps installs it)")
    if not os.path.isdir(os.path.join(NODE_DIR, "node_modules", "onvif")):
        pytest.skip("the onvif client library is not installed: run "
                    "`npm ci --prefix tests/e2e/node` (tests/run does) outside the sandbox")
    return NODE_DIR
