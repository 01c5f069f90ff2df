#!/bin/bash
# The sandbox gives the camera a fresh /tmp and /run: a tree cloned under /tmp (here in a
# folder whose name has a space) must still be there inside it, at the same path, and a file
# made in the sandbox's /tmp must not reach this machine's.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
tree=$(mktemp -d "/tmp/sandbox paths.XXXXXX")
trap 'rm -rf "$tree"' EXIT
cp -a "$src/testbed" "$tree/"
"$tree/testbed/sandbox" --no-net bash -c '
  test -x "$1/testbed/sandbox" || { echo "tree under /tmp missing in the sandbox" >&2; exit 1; }
  touch /tmp/made-inside' sandbox-paths "$tree"
if [ -e /tmp/made-inside ]; then
  rm -f /tmp/made-inside
  echo "the sandbox wrote this machine's /tmp" >&2
  exit 1
fi
echo "sandbox paths: ok"
