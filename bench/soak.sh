#!/bin/bash
# Soak bench: the camera as deployed (testbed/run-camera: web server, forwarder, nvtd
# --persist under its watchdog, settings stand-in, soundtap, irswitchd, motiond) under a
# client mix (GetSystemDateAndTime, GetDeviceInformation, GetProfiles, a held PullMessages
# loop, motion toggles), with faults injected one at a time: the settings server stopped and
# hung (SIGSTOP) for FAULT seconds, kill -9 of nvtd, soundtap, irswitchd and motiond. Prints
# for each fault: time to recovery, requests failed, motion events lost or duplicated,
# resident sizes; then nvtd's resident size over SOAK seconds of the mix alone.
#   sudo bench/soak.sh [SOAK_SECONDS] [FAULT_SECONDS]     (defaults 1800 and 20)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
export CAMERA_BUILD_DIR=${CAMERA_BUILD_DIR:-$src/build/host}
[ -x "$CAMERA_BUILD_DIR/nvtd/nvtd" ] || { echo "build first: cmake --build --preset host" >&2; exit 1; }
export CAMERA_UP_THEN="/usr/bin/python3 $here/soak.py ${1:-1800} ${2:-20}"
exec "$src/testbed/run-camera" --mode deployed </dev/null
