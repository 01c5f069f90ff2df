#!/bin/bash
# A reset flood against the deployed arrangement (lighttpd with the camera's configuration on
# port 80, the forwarder, nvtd --persist): one LAN host (unprivileged, its own namespace on a
# bridge with the camera) sends whole requests for SECONDS and resets every connection HOLD_MS
# after sending (SO_LINGER 0), PARALLEL at a time; a client on another LAN host asks one
# GetSystemDateAndTime after another during the flood and AFTER seconds past it. Prints the
# client's answer times during and after the flood (median, worst, failures), the most
# forwarders alive and reply FIFOs seen, and what is left 3 s after the flood.
#   bench/reset_flood.sh [SECONDS] [PARALLEL] [HOLD_MS] [AFTER]   (as root; needs a host build)
#   NVTD=... FORWARDER=... to run other builds of the two.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
export CAMERA_BUILD_DIR=${CAMERA_BUILD_DIR:-$src/build/host}
seconds=${1:-10}
parallel=${2:-8}
hold_ms=${3:-20}
after=${4:-10}
nvtd=${NVTD:-$CAMERA_BUILD_DIR/nvtd/nvtd}
forwarder=${FORWARDER:-$CAMERA_BUILD_DIR/testbed/forwarder/nvtd-forwarder}

if [ "${SANDBOX:-}" != 1 ]; then
  [ -x "$nvtd" ] && [ -x "$forwarder" ] || { echo "build first: cmake --build --preset host" >&2; exit 1; }
  exec "$src/testbed/sandbox" "$0" "$@"
fi
. "$here/lan_hosts.sh"
tool=$src/testbed/client/reset_flood.py
work=/tmp/bench; mkdir -p "$work/www"

lan_switch
lan_host flood 10.99.0.50
lan_host client 10.99.0.60
start_settings
pids=($settingsd_pid)
trap 'kill "${pids[@]}" 2>/dev/null; true' EXIT
"$nvtd" --persist >"$work/nvtd-persist.log" 2>&1 &
pids+=($!)
echo "admin:admin" >"$work/web-users"
CAMERA_WWW=$work/www CAMERA_LOG_DIR=$work VCAM_DIR=/run/vcam CAMERA_FORWARDER="$forwarder" \
  CAMERA_SNAPSHOT="$src/testbed/videoserver/snapshot" CAMERA_WEB_USERS="$work/web-users" \
  /usr/sbin/lighttpd -D -f "$src/testbed/webserver/lighttpd.conf" >"$work/webserver.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do (: <>/dev/tcp/127.0.0.1/80) 2>/dev/null && [ -p /tmp/nvtd_sv ] && break; sleep 0.1; done

# The client asks through the flood and after it; the flood is bounded by its own clock too.
ip netns exec client timeout 300 /usr/bin/python3 "$tool" ask 10.99.0.2 80 \
  "$((seconds + after))" 100 >"$work/ask.json" &
ask_pid=$!
sleep 0.5
flood_start=$(date +%s.%N)
ip netns exec flood setpriv --reuid=nobody --regid=nogroup --clear-groups \
  timeout $((seconds + 30)) /usr/bin/python3 - flood 10.99.0.2 80 "$seconds" "$parallel" "$hold_ms" \
  <"$tool" >"$work/flood.json" &
flood_pid=$!
peak_forwarders=0; peak_fifos=0
while kill -0 $flood_pid 2>/dev/null; do
  read -r f n <<<"$(python3 "$tool" leftovers | python3 -c 'import json,sys; d=json.load(sys.stdin); print(d["forwarders"], d["fifos"])')"
  [ "$f" -gt "$peak_forwarders" ] && peak_forwarders=$f
  [ "$n" -gt "$peak_fifos" ] && peak_fifos=$n
  sleep 0.2
done
flood_end=$(date +%s.%N)
sleep 3
left=$(python3 "$tool" leftovers)
wait $ask_pid || true

echo "reset flood: $seconds s from one LAN host, $parallel connections at a time, each reset $hold_ms ms after its request"
echo "  flood: $(cat "$work/flood.json")    load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "  during the flood: at most $peak_forwarders forwarders alive, $peak_fifos reply FIFOs"
echo "  3 s after it: $left"
python3 - "$work/ask.json" "$flood_start" "$flood_end" "$(cat /proc/uptime)" <<'PY'
import json, sys, statistics
results = json.load(open(sys.argv[1]))
# The client began 0.5 s before the flood: its clock starts there.
flood_from, flood_to = 0.5, 0.5 + float(sys.argv[3]) - float(sys.argv[2])
for label, part in (("during", [r for r in results if r[0] < flood_to]),
                    ("after", [r for r in results if r[0] >= flood_to])):
    ok = [r[1] for r in part if r[2] == "200"]
    failed = {}
    for r in part:
        if r[2] != "200":
            failed[r[2]] = failed.get(r[2], 0) + 1
    if ok:
        print("  client %s: %d asked, %d answered, median %.3f s, worst %.3f s, others %s"
              % (label, len(part), len(ok), statistics.median(ok), max(ok), failed or "none"))
    else:
        print("  client %s: %d asked, none answered, %s" % (label, len(part), failed))
after = [r for r in results if r[0] >= flood_to]
first_ok = next((r for r in after if r[2] == "200"), None)
if first_ok:
    print("  first answer after the flood: asked %.2f s after it, took %.3f s"
          % (first_ok[0] - flood_to, first_ok[1]))
PY
