#!/bin/bash
# WS-Discovery reflection: one LAN host sends Probes to the camera from SOURCES addresses in
# turn at RATE a second in all (unprivileged, its own namespace on a bridge with the camera)
# for SECONDS, while a client on another host probes three times in a second, round after
# round. Prints what the sources drew (answers and bytes a second, against the budget of
# 50 answers and 80,000 bytes a second) and the client's answers in each round.
#   bench/reflection.sh [SECONDS] [SOURCES] [RATE]   (as root; needs a host build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
export CAMERA_BUILD_DIR=${CAMERA_BUILD_DIR:-$src/build/host}
seconds=${1:-10}
sources=${2:-40}
rate=${3:-600}

if [ "${SANDBOX:-}" != 1 ]; then
  [ -x "$CAMERA_BUILD_DIR/nvtd/nvtd" ] || { echo "build first: cmake --build --preset host" >&2; exit 1; }
  exec "$src/testbed/sandbox" "$0" "$@"
fi
. "$here/lan_hosts.sh"
tool=$src/testbed/client/wsd_probe.py

lan_switch
[ "$sources" -ge 1 ] && [ "$sources" -le 150 ] || { echo "SOURCES: 1 to 150" >&2; exit 2; }
[ "$seconds" -ge 3 ] && [ "$seconds" -le 120 ] || { echo "SECONDS: 3 to 120" >&2; exit 2; }
lan_host flood $(seq -f "10.99.0.%g" 100 $((99 + sources)))
lan_host client 10.99.0.60
start_settings
"$CAMERA_BUILD_DIR/nvtd/nvtd" --port 8080 >/dev/null 2>&1 &
nvtd_pid=$!
trap 'kill $nvtd_pid $settingsd_pid 2>/dev/null; true' EXIT

cat >/run/probe.xml <<'XML'
<?xml version="1.0" encoding="UTF-8"?><s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" xmlns:a="http://schemas.xmlsoap.org/ws/2004/08/addressing" xmlns:d="http://schemas.xmlsoap.org/ws/2005/04/discovery"><s:Header><a:MessageID>uuid:5f3c1d2e-0000-4000-8000-00000000be01</a:MessageID><a:To>urn:schemas-xmlsoap-org:ws:2005:04:discovery</a:To><a:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe</a:Action></s:Header><s:Body><d:Probe><d:Types xmlns:dn="http://www.onvif.org/ver10/network/wsdl">dn:NetworkVideoTransmitter</d:Types></d:Probe></s:Body></s:Envelope>
XML
# The client's rounds: three probes 1/3 s apart, the answers to each round counted.
client() {
  ip netns exec client /usr/bin/python3 - "$1" <<'PY'
import socket, sys, time
rounds = int(sys.argv[1])
text = open("/run/probe.xml", "rb").read()
sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
sock.bind(("10.99.0.60", 0))
got = []
for _ in range(rounds):
    answers = 0
    for _ in range(3):
        sock.sendto(text, ("10.99.0.2", 3702))
        end = time.monotonic() + 1 / 3
        while (left := end - time.monotonic()) > 0:
            sock.settimeout(left)
            try:
                sock.recv(65535)
                answers += 1
            except socket.timeout:
                break
        time.sleep(max(0, end - time.monotonic()))
    got.append(answers)
print(" ".join(map(str, got)))
PY
}
# nvtd answers once its discovery thread has the camera's address (at most 10 s).
for _ in $(seq 10); do [ "$(client 1)" != 0 ] && break; done
sleep 1.5  # the budget full again

ip netns exec flood setpriv --reuid=nobody --regid=nogroup --clear-groups /usr/bin/python3 - \
  rotate 10.99.0.2 10.99.0.100 "$sources" "$rate" "$seconds" /run/probe.xml <"$tool" \
  >/run/rotate.out &
flood_pid=$!
sleep 1
rounds=$((seconds - 2))
client_answers=$(client "$rounds")
wait $flood_pid
python3 - "$seconds" "$sources" "$rate" "$client_answers" <<'PY'
import json, sys
seconds, sources, rate = float(sys.argv[1]), sys.argv[2], sys.argv[3]
drawn = json.load(open("/run/rotate.out"))
print("%s sources taking turns at %s probes/s for %.0f s: sent %d, drew %d answers "
      "(%.1f/s) and %d bytes (%.0f B/s); budget 50 answers/s, 80000 B/s, a second's burst"
      % (sources, rate, seconds, drawn["sent"], drawn["answers"], drawn["answers"] / seconds,
         drawn["bytes"], drawn["bytes"] / seconds))
rounds = sys.argv[4].split()
print("client, three probes in a second, answers per round: %s (%d of %d rounds answered)"
      % (" ".join(rounds), sum(1 for r in rounds if int(r) > 0), len(rounds)))
PY
