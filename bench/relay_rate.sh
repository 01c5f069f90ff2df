#!/bin/bash
# Requests/s of the two ways the camera serves ONVIF, one run each on this machine, in one
# camera sandbox on loopback: the deployed arrangement (the web server stand-in on port 80,
# the forwarder as its CGI program, nvtd --persist behind it) against nvtd's server mode
# (port 8080). The same open request (GetSystemDateAndTime), one per connection.
#   bench/relay_rate.sh [SECONDS] [CONNECTIONS]   (needs bench/install-deps, a host build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
export CAMERA_BUILD_DIR=${CAMERA_BUILD_DIR:-$src/build/host}
duration=${1:-10}
connections=${2:-4}

if [ "${SANDBOX:-}" != 1 ]; then
  for program in nvtd/nvtd testbed/forwarder/nvtd-forwarder testbed/settingsd-native/settingsd-native; do
    [ -x "$CAMERA_BUILD_DIR/$program" ] || { echo "build first: cmake --build --preset host" >&2; exit 1; }
  done
  command -v wrk >/dev/null || { echo "run bench/install-deps" >&2; exit 1; }
  exec "$src/testbed/sandbox" "$0" "$@"
fi

work=/tmp/bench; mkdir -p "$work/www"
body='<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" xmlns:tds="http://www.onvif.org/ver10/device/wsdl"><s:Body><tds:GetSystemDateAndTime/></s:Body></s:Envelope>'
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; true' EXIT
"$CAMERA_BUILD_DIR/testbed/settingsd-native/settingsd-native" --state /run/settingsd \
  >"$work/settingsd.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -f /run/settingsd/ready ] && break; sleep 0.1; done
"$CAMERA_BUILD_DIR/nvtd/nvtd" --port 8080 >"$work/nvtd-server.log" 2>&1 &
pids+=($!)
"$CAMERA_BUILD_DIR/nvtd/nvtd" --persist >"$work/nvtd-persist.log" 2>&1 &
pids+=($!)
CAMERA_WWW=$work/www CAMERA_LOG_DIR=$work VCAM_DIR=/run/vcam \
  CAMERA_FORWARDER="$CAMERA_BUILD_DIR/testbed/forwarder/nvtd-forwarder" \
  CAMERA_SNAPSHOT="$src/testbed/videoserver/snapshot" \
  /usr/sbin/lighttpd -D -f "$src/testbed/webserver/lighttpd.conf" >"$work/webserver.log" 2>&1 &
pids+=($!)
for port in 8080 80; do
  for _ in $(seq 50); do (: <>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
done
post() { curl -s -X POST -H 'Content-Type: application/soap+xml' --data-binary "$body" "$1"; }
for url in http://127.0.0.1:8080/onvif/device_service http://127.0.0.1:80/onvif/device_service; do
  post "$url" | grep -q GetSystemDateAndTimeResponse || { echo "no answer from $url" >&2; exit 1; }
done

cat >"$work/post.lua" <<LUA
wrk.method = "POST"
wrk.body = '$body'
wrk.headers["Content-Type"] = "application/soap+xml; charset=utf-8"
wrk.headers["Connection"] = "close"
LUA
field() { # field FILE: requests/s, median latency, non-2xx answers, socket errors
  awk '/Requests\/sec/ {rps=$2} /^ +50%/ {p50=$2} /Non-2xx/ {n=$NF}
       /Socket errors/ {e=$0; sub(/.*errors: /, "", e)}
       END {printf "%s %s %s %s", rps, p50, (n==""?0:n), (e==""?"none":e)}' "$1"
}
echo "GetSystemDateAndTime, wrk -t1 -c$connections -d${duration}s, one request per connection, one run each"
printf "%-44s %12s %9s %8s  %s\n" arrangement "requests/s" p50 "non-2xx" "socket errors"
for run in "server-mode http://127.0.0.1:8080/onvif/device_service" \
           "web-server+forwarder+persist http://127.0.0.1:80/onvif/device_service"; do
  read -r name url <<<"$run"
  wrk -t1 -c"$connections" -d"${duration}s" --latency -s "$work/post.lua" "$url" >"$work/$name.txt" 2>&1
  read -r rps p50 non errors <<<"$(field "$work/$name.txt")"
  printf "%-44s %12s %9s %8s  %s\n" "$name" "$rps" "$p50" "$non" "$errors"
done
