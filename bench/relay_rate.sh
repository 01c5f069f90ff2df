#!/bin/bash
# Requests/s of the ways the camera serves ONVIF on this machine, in one camera sandbox on
# loopback, each against its floor: the deployed arrangement (the web server on port 80 with
# the camera's lighttpd configuration, the forwarder as its CGI program, nvtd --persist behind
# it), the same behind busybox httpd (CGI programs under /cgi-bin/ only), and nvtd's server
# mode (port 8080). The floor of a web server is a CGI program under it that only prints a fixed
# answer of the same size (bench/fixed_answer_cgi, built like the forwarder): lighttpd runs it
# as its snapshot program (/onvif/no_image.jpg), busybox as /cgi-bin/floor. The same open
# request (GetSystemDateAndTime), one per connection ("Connection: close"), wrk with one thread;
# ROUNDS rounds with every arrangement in turn, the medians are the figures.
#   [ROUNDS=3] bench/relay_rate.sh [SECONDS] [CONNECTIONS]   (needs bench/install-deps, a host build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
export CAMERA_BUILD_DIR=${CAMERA_BUILD_DIR:-$src/build/host}
duration=${1:-10}
connections=${2:-4}
rounds=${ROUNDS:-3}
forwarder=${FORWARDER:-$CAMERA_BUILD_DIR/testbed/forwarder/nvtd-forwarder}  # another to compare
floor=$CAMERA_BUILD_DIR/bench/fixed_answer_cgi

if [ "${SANDBOX:-}" != 1 ]; then
  for program in nvtd/nvtd testbed/forwarder/nvtd-forwarder bench/fixed_answer_cgi \
                 testbed/settingsd-native/settingsd-native; do
    [ -x "$CAMERA_BUILD_DIR/$program" ] || { echo "build first: cmake --build --preset host" >&2; exit 1; }
  done
  command -v wrk >/dev/null || { echo "run bench/install-deps" >&2; exit 1; }
  exec "$src/testbed/sandbox" "$0" "$@"
fi

work=/tmp/bench; mkdir -p "$work/www" "$work/floor" "$work/busybox/cgi-bin"
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
cp "$floor" "$work/floor/snapshot"
CAMERA_WWW=$work/www CAMERA_LOG_DIR=$work VCAM_DIR=/run/vcam CAMERA_FORWARDER="$forwarder" \
  CAMERA_SNAPSHOT="$work/floor/snapshot" \
  /usr/sbin/lighttpd -D -f "$src/testbed/webserver/lighttpd.conf" >"$work/webserver.log" 2>&1 &
pids+=($!)
cp "$forwarder" "$work/busybox/cgi-bin/onvif"
cp "$floor" "$work/busybox/cgi-bin/floor"
busybox httpd -f -p 8081 -h "$work/busybox" >"$work/busybox.log" 2>&1 &
pids+=($!)
for port in 8080 80 8081; do
  for _ in $(seq 50); do (: <>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
done

arrangements=(
  "lighttpd-floor http://127.0.0.1:80/onvif/no_image.jpg"
  "lighttpd+forwarder+persist http://127.0.0.1:80/onvif/device_service"
  "busybox-floor http://127.0.0.1:8081/cgi-bin/floor"
  "busybox+forwarder+persist http://127.0.0.1:8081/cgi-bin/onvif/device_service"
  "server-mode http://127.0.0.1:8080/onvif/device_service"
)
post() { curl -s -X POST -H 'Content-Type: application/soap+xml' --data-binary "$body" "$1"; }
for run in "${arrangements[@]}"; do
  read -r name url <<<"$run"
  post "$url" | grep -q GetSystemDateAndTimeResponse || { echo "no answer from $name ($url)" >&2; exit 1; }
done

cat >"$work/post.lua" <<LUA
wrk.method = "POST"
wrk.body = '$body'
wrk.headers["Content-Type"] = "application/soap+xml; charset=utf-8"
wrk.headers["Connection"] = "close"
LUA
field() { # field FILE: requests/s, median latency in ms, non-2xx answers, socket errors
  awk '/Requests\/sec/ {rps=$2}
       /^ +50%/ {v=$2; u=v; sub(/[0-9.]+/, "", u); sub(/[a-z]+$/, "", v)
                 p50=(u=="us" ? v/1000 : (u=="s" ? v*1000 : v))}
       /Non-2xx/ {n=$NF} /Socket errors/ {e=$0; sub(/.*errors: /, "", e); gsub(/ /, "", e)}
       END {printf "%s %.3f %s %s", rps, p50, (n==""?0:n), (e==""?"none":e)}' "$1"
}
median() { tr ' ' '\n' | grep . | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
declare -A rps p50 notes
for round in $(seq "$rounds"); do
  for run in "${arrangements[@]}"; do
    read -r name url <<<"$run"
    wrk -t1 -c"$connections" -d"${duration}s" --latency -s "$work/post.lua" "$url" \
      >"$work/$name.$round.txt" 2>&1
    read -r r p non errors <<<"$(field "$work/$name.$round.txt")"
    rps[$name]+="$r "; p50[$name]+="$p "
    [ "$non" = 0 ] && [ "$errors" = none ] || notes[$name]+="round $round: $non non-2xx, errors $errors; "
  done
done
echo "load average after:  $(cut -d' ' -f1-3 /proc/loadavg)"
echo "GetSystemDateAndTime, wrk -t1 -c$connections -d${duration}s, one request per connection, median of $rounds rounds"
printf "%-30s %11s %9s %14s  %s\n" arrangement "requests/s" "p50 ms" "of its floor" "rounds (requests/s); notes"
for run in "${arrangements[@]}"; do
  read -r name _ <<<"$run"
  r=$(median <<<"${rps[$name]}"); p=$(median <<<"${p50[$name]}")
  case $name in
    lighttpd+*) ratio=$(awk "BEGIN{printf \"%.2fx\", $r / $(median <<<"${rps[lighttpd-floor]}")}") ;;
    busybox+*) ratio=$(awk "BEGIN{printf \"%.2fx\", $r / $(median <<<"${rps[busybox-floor]}")}") ;;
    *) ratio="" ;;
  esac
  printf "%-30s %11s %9s %14s  %s\n" "$name" "$r" "$p" "$ratio" "${rps[$name]}${notes[$name]:-}"
done
