#!/bin/bash
# Requests whose head and body arrive 40 ms apart, sent one after another by a LAN client
# while another LAN host keeps 200 empty connections open to nvtd's server mode and opens a new
# one at once for each nvtd closes. Prints how many of the client's requests were answered
# whole, and how many connections the flood opened meanwhile.
#   bench/connect_flood.sh [TRIES] [CONNECTIONS]   (as root; needs a host build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
export CAMERA_BUILD_DIR=${CAMERA_BUILD_DIR:-$src/build/host}
tries=${1:-30}
connections=${2:-200}

if [ "${SANDBOX:-}" != 1 ]; then
  [ -x "$CAMERA_BUILD_DIR/nvtd/nvtd" ] || { echo "build first: cmake --build --preset host" >&2; exit 1; }
  exec "$src/testbed/sandbox" "$0" "$@"
fi
. "$here/lan_hosts.sh"
tool=$src/testbed/client/connect_flood.py

lan_switch
lan_host flood 10.99.0.50
lan_host client 10.99.0.60
start_settings
"$CAMERA_BUILD_DIR/nvtd/nvtd" --port 8080 >/dev/null 2>&1 &
nvtd_pid=$!
trap 'kill $nvtd_pid $settingsd_pid 2>/dev/null; true' EXIT
for _ in $(seq 50); do (: <>/dev/tcp/127.0.0.1/8080) 2>/dev/null && break; sleep 0.1; done

# The flood stops by itself after 300 s at the latest; it is ended when the client is done.
ip netns exec flood setpriv --reuid=nobody --regid=nogroup --clear-groups \
  /usr/bin/python3 - flood 10.99.0.2 8080 "$connections" 300 <"$tool" >/run/flood.out &
flood_pid=$!
sleep 2
started=$(date +%s.%N)
result=$(ip netns exec client timeout 600 /usr/bin/python3 "$tool" split 10.99.0.2 8080 "$tries" 40)
ended=$(date +%s.%N)
kill -TERM $flood_pid 2>/dev/null || true
wait $flood_pid 2>/dev/null || true
echo "client (head and body 40 ms apart) during a flood of $connections empty connections:"
echo "  $result"
printf '  %.1f s for %d requests; flood: %s\n' "$(awk "BEGIN{print $ended - $started}")" "$tries" \
  "$(cat /run/flood.out 2>/dev/null || echo '{}')"
