#!/usr/bin/env python3
"""Checks which folders may include which: reads every #include "..." in the source tree and
fails, printing file:line and the rule, where a folder includes a header it must not.

  tests/check_includes.py [--root DIR] [--ignore FILE ...]   check the tree (default: this one)
  tests/check_includes.py --self-test                       check the checker on a scratch tree
"""
import argparse
import os
import re
import sys
import tempfile

# The rules: (folder, forbidden, allowed). A file under folder may not include a header under
# any of the forbidden prefixes, unless the header is under one of the allowed ones.
NVTD_ROOM = "nvtd/"
RULES = [
    # The core knows no room: rooms plug into it, and the program (nvtd/app) wires them up.
    ("nvtd/core", [NVTD_ROOM], ["nvtd/core"]),
    # Service rooms: the core and the settings and network rooms, plus the pairs listed.
    ("nvtd/device", [NVTD_ROOM],
     ["nvtd/device", "nvtd/core", "nvtd/getset", "nvtd/netconfig",
      "nvtd/discovery",  # the discovery mode and network changes restart the discovery thread
      "nvtd/events"]),   # network changes raise events
    ("nvtd/media", [NVTD_ROOM],
     ["nvtd/media", "nvtd/core", "nvtd/getset", "nvtd/netconfig",
      "nvtd/device"]),   # stream URIs carry the service address
    ("nvtd/events", [NVTD_ROOM],
     ["nvtd/events", "nvtd/core", "nvtd/getset", "nvtd/netconfig"]),
    ("nvtd/imaging", [NVTD_ROOM],
     ["nvtd/imaging", "nvtd/core", "nvtd/getset", "nvtd/netconfig"]),
    ("nvtd/discovery", [NVTD_ROOM],
     ["nvtd/discovery", "nvtd/core", "nvtd/getset", "nvtd/netconfig"]),
    # Settings access sits on the network configuration only; that sits on nothing.
    ("nvtd/getset", [NVTD_ROOM], ["nvtd/getset", "nvtd/netconfig"]),
    ("nvtd/netconfig", [NVTD_ROOM], ["nvtd/netconfig"]),
    # The image library reaches the virtual camera only through imagelib/platform/sim_backend.h.
    ("imagelib", ["testbed/"], []),
    # The other programs are not parts of the ONVIF service.
    ("soundtap", ["nvtd/"], []),
    ("lensctl", ["nvtd/"], []),
    ("irswitchd", ["nvtd/"], []),
    # motiond reads the camera through the image library only, as irswitchd does.
    ("motiond", ["nvtd/", "testbed/"], []),
]

SOURCE_SUFFIXES = (".h", ".hh", ".hpp", ".c", ".cc", ".cpp")
SKIPPED_DIRS = {"build", "node_modules"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def under(path, folder):
    return path == folder or path.startswith(folder.rstrip("/") + "/")


def sources(root):
    for top, dirs, files in os.walk(root):
        dirs[:] = sorted(d for d in dirs if d not in SKIPPED_DIRS and not d.startswith("."))
        for name in sorted(files):
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.relpath(os.path.join(top, name), root).replace(os.sep, "/")


def resolve(source, header):
    """The header's path from the root: the tree includes "room/..."; a bare name or "./" and
    "../" paths are beside the including file."""
    if "/" not in header or header.startswith("."):
        header = os.path.join(os.path.dirname(source), header)
    return os.path.normpath(header).replace(os.sep, "/")


def violations(root, ignored=()):
    """(file, line, header, rule) for every forbidden include under root."""
    found = []
    for source in sources(root):
        if source in ignored:
            continue
        rules = [rule for rule in RULES if under(source, rule[0])]
        if not rules:
            continue
        with open(os.path.join(root, source), encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                header = resolve(source, match.group(1))
                for folder, forbidden, allowed in rules:
                    if any(under(header, p) for p in forbidden) and not any(
                            under(header, a) for a in allowed):
                        rule = f"{folder} may not include {' or '.join(forbidden)}"
                        if allowed:
                            rule += f" (except {', '.join(allowed)})"
                        found.append((source, number, header, rule))
    return found


def self_test():
    files = {
        "nvtd/core/table.cc": '#include "nvtd/core/x.h"\n#include "nvtd/media/profiles.h"\n',
        "nvtd/media/uri.cc": '#include "nvtd/device/address.h"\n#include "nvtd/getset/g.h"\n',
        "nvtd/getset/client.cc": '#include "nvtd/core/unique_fd.h"\n',
        "imagelib/platform/sim/device.cc": '#include "imagelib/stats_layout.h"\n'
                                           '  #  include "testbed/vcam/store.h"\n',
        "soundtap/fifo.cc": '#include "common/unique_fd.h"\n#include <nvtd/core/x.h>\n',
        "build/host/nvtd/core/generated.cc": '#include "nvtd/media/profiles.h"\n',
    }
    expected = [
        ("imagelib/platform/sim/device.cc", 2, "testbed/vcam/store.h"),
        ("nvtd/core/table.cc", 2, "nvtd/media/profiles.h"),
        ("nvtd/getset/client.cc", 1, "nvtd/core/unique_fd.h"),
    ]
    with tempfile.TemporaryDirectory() as root:
        for path, text in files.items():
            os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(root, path), "w", encoding="utf-8") as f:
                f.write(text)
        got = [v[:3] for v in violations(root)]
        ignoring = [v[:3] for v in violations(root, {"nvtd/core/table.cc"})]
    ok = got == expected and ignoring == [expected[0], expected[2]]
    print("self-test:", "passed" if ok else f"FAILED\n  expected {expected}\n  got {got}")
    return 0 if ok else 1


def main():
    here = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=here, help="the source tree (default: this one)")
    parser.add_argument("--ignore", nargs="*", default=[], help="files (from the root) to skip")
    parser.add_argument("--self-test", action="store_true", help="check the checker")
    args = parser.parse_args()
    if args.self_test:
        return self_test()
    found = violations(args.root, set(args.ignore))
    for source, number, header, rule in found:
        print(f"{source}:{number}: includes {header}: {rule}")
    print(f"check_includes: {len(found)} forbidden include(s)" if found else
          "check_includes: every include keeps to the rules")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
