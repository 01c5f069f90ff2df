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
# The floors under every service room: what a handler may use to read its request, check its
# caller and write its answer.
FLOORS = ["nvtd/core", "nvtd/soap", "nvtd/auth"]
RULES = [
    # A request's road, top to bottom: transport (socket or FIFO to Request) -> app (dispatch)
    # -> auth (UsernameToken) -> the service room's handler -> soap (the reply's text), all on
    # the core. Each floor includes only the floors below it.
    # The core knows no room: the request, the reply and the process flags stand on nothing.
    ("nvtd/core", [NVTD_ROOM], ["nvtd/core"]),
    # SOAP text only writes into a reply and reads request bodies.
    ("nvtd/soap", [NVTD_ROOM], ["nvtd/soap", "nvtd/core"]),
    # Authentication reads the body and answers with faults; it never sees a socket or FIFO.
    ("nvtd/auth", [NVTD_ROOM], ["nvtd/auth", "nvtd/soap", "nvtd/core"]),
    # Transport turns bytes into requests and hands them to the dispatcher it is given: it
    # knows neither authentication nor the rooms that answer.
    ("nvtd/transport", [NVTD_ROOM], ["nvtd/transport", "nvtd/soap", "nvtd/core"]),
    # Service rooms: the floors and the settings and network rooms, plus the pairs listed;
    # never transport (a handler gets its request, wherever it came from).
    ("nvtd/device", [NVTD_ROOM],
     ["nvtd/device", *FLOORS, "nvtd/getset", "nvtd/netconfig",
      "nvtd/discovery",  # the discovery mode and network changes restart the discovery thread
      "nvtd/events"]),   # network changes raise events
    ("nvtd/media", [NVTD_ROOM],
     ["nvtd/media", *FLOORS, "nvtd/getset", "nvtd/netconfig",
      "nvtd/device",     # stream URIs carry the service address
      "nvtd/events"]),   # profile and configuration changes raise events
    ("nvtd/media2", [NVTD_ROOM],
     ["nvtd/media2", *FLOORS, "nvtd/getset", "nvtd/netconfig",
      "nvtd/media",      # one profile store and one settings path for both media services
      "nvtd/device",     # stream URIs carry the service address
      "nvtd/events"]),   # profile and configuration changes raise events
    ("nvtd/events", [NVTD_ROOM],
     ["nvtd/events", *FLOORS, "nvtd/getset", "nvtd/netconfig"]),
    ("nvtd/imaging", [NVTD_ROOM],
     ["nvtd/imaging", *FLOORS, "nvtd/getset", "nvtd/netconfig"]),
    ("nvtd/discovery", [NVTD_ROOM],
     ["nvtd/discovery", *FLOORS, "nvtd/getset", "nvtd/netconfig"]),
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
        "nvtd/auth/auth.cc": '#include "nvtd/soap/faults.h"\n#include "nvtd/transport/http_io.h"\n',
        "nvtd/transport/tcp_server.cc": '#include "nvtd/soap/writers.h"\n'
                                        '#include "nvtd/app/dispatch.h"\n',
        "nvtd/soap/faults.cc": '#include "nvtd/core/reply.h"\n#include "nvtd/auth/auth.h"\n',
        "nvtd/device/users.cc": '#include "nvtd/auth/user_table.h"\n'
                                '#include "nvtd/transport/request_env.h"\n',
    }
    expected = [
        ("imagelib/platform/sim/device.cc", 2, "testbed/vcam/store.h"),
        ("nvtd/auth/auth.cc", 2, "nvtd/transport/http_io.h"),
        ("nvtd/core/table.cc", 2, "nvtd/media/profiles.h"),
        ("nvtd/device/users.cc", 2, "nvtd/transport/request_env.h"),
        ("nvtd/getset/client.cc", 1, "nvtd/core/unique_fd.h"),
        ("nvtd/soap/faults.cc", 2, "nvtd/auth/auth.h"),
        ("nvtd/transport/tcp_server.cc", 2, "nvtd/app/dispatch.h"),
    ]
    with tempfile.TemporaryDirectory() as root:
        for path, text in files.items():
            os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(root, path), "w", encoding="utf-8") as f:
                f.write(text)
        got = [v[:3] for v in violations(root)]
        ignoring = [v[:3] for v in violations(root, {"nvtd/core/table.cc"})]
    ok = got == expected and ignoring == [e for e in expected if e[0] != "nvtd/core/table.cc"]
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
