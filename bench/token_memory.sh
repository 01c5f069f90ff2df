#!/bin/bash
# Resident size of nvtd's token memory when full: nvtd in server mode (host build) inside one
# camera sandbox, VmRSS before and after one account fills the memory, and whether another
# account is still served then. See bench/token_memory.py.
#   bench/token_memory.sh [BUILD_DIR]     (default: build/host)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
build=${1:-$src/build/host}
[ -x "$build/nvtd/nvtd" ] || { echo "build first: cmake --build --preset host" >&2; exit 1; }
if [ "${SANDBOX:-}" != 1 ]; then
  exec "$src/testbed/sandbox" "$0" "$build"
fi
exec /usr/bin/python3 "$here/token_memory.py" "$build"
