#!/bin/bash
# The sandbox gives the camera a fresh /tmp and /run: a tree cloned under /tmp (here in a
# folder whose name has a space) must still be there inside it, at the same path, as must
# ONVIF's schemas the tests check answers against (ONVIF_SCHEMAS), and a file
# made in the sandbox's /tmp must not reach this machine's.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
tree=$(mktemp -d "/tmp/sandbox paths.XXXXXX")
schemas=$(mktemp -d "/tmp/onvif schemas.XXXXXX")
trap 'rm -rf "$tree" "$schemas"' EXIT
cp -a "$src/testbed" "$tree/"
touch "$schemas/onvif.xsd"
ONVIF_SCHEMAS=$schemas "$tree/testbed/sandbox" --no-net bash -c '
  test -x "$1/testbed/sandbox" || { echo "tree under /tmp missing in the sandbox" >&2; exit 1; }
  test -f "$ONVIF_SCHEMAS/onvif.xsd" || { echo "schemas under /tmp missing" >&2; exit 1; }
  touch /tmp/made-inside' sandbox-paths "$tree"
if [ -e /tmp/made-inside ]; then
  rm -f /tmp/made-inside
  echo "the sandbox wrote this machine's /tmp" >&2
  exit 1
fi
echo "sandbox paths: ok"
