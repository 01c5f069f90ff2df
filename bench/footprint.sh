#!/bin/bash
# Footprint figures of the host and the camera (armhf) builds, measured inside one camera
# sandbox with the stand-ins: stripped sizes, and resident memory of nvtd (server mode,
# 10,000 requests; fails when it grows between 1,000 and 10,000), soundtap (six u-law
# consumers; AAC) and irswitchd. See bench/footprint.py for how memory is counted.
#   bench/footprint.sh [BUILD_DIR...]     (default: build/host and build/armhf, if built)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")

if [ "${SANDBOX:-}" != 1 ]; then
  [ $# -gt 0 ] || for b in "$src/build/host" "$src/build/armhf"; do
    [ -x "$b/nvtd/nvtd" ] && set -- "$@" "$b"
  done
  [ $# -gt 0 ] || { echo "build first: cmake --build --preset host (or armhf)" >&2; exit 1; }
  exec "$src/testbed/sandbox" "$0" "$@"
fi

rc=0
for build in "$@"; do
  /usr/bin/python3 "$here/footprint.py" "$build" || rc=1
done
exit $rc
