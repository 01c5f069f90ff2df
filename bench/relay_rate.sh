#!/bin/bash
# Requests/s of the ways the camera serves ONVIF on this machine, in one camera sandbox on
# loopback, each against its floor: the deployed arrangement (the web server on port 80 with
# the camera's lighttpd configuration, the forwarder as its CGI program, nvtd --persist behind
# it), the same behind busybox httpd (CGI programs under /cgi-bin/ only), and nvtd's server
# mode (port 8080). The floor of a web server is a CGI program under it that only prints a fixed
# answer of the same size (bench/fixed_answer_cgi, built like the forwarder): lighttpd runs it
# as a program of the snapshot's kind from its document root (/floor/snapshot; the snapshot
# path itself asks for Digest), busybox as /cgi-bin/floor. The same open
# request (GetSystemDateAndTime), one per connection ("Connection: close"), wrk with one thread;
# ROUNDS rounds with every arrangement in turn, the medians are the figures; the ratio to the
# floor is the median of each round's ratio (a floor and its relay run one after the other, so
# the load of a shared machine moves both alike). CPU us/req: the CPU time the web server, the
# CGI programs it ran and (for the relay) nvtd spent per answered request, which the load of
# other work on the machine moves far less than the rates.
#   [ROUNDS=3] [ONLY=REGEX] bench/relay_rate.sh [SECONDS] [CONNECTIONS]   (needs bench/install-deps, a host build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
export CAMERA_BUILD_DIR=${CAMERA_BUILD_DIR:-$src/build/host}
duration=${1:-10}
connections=${2:-4}
rounds=${ROUNDS:-3}
# Other builds of the two to compare: NVTD=..., FORWARDER=...
nvtd=${NVTD:-$CAMERA_BUILD_DIR/nvtd/nvtd}
forwarder=${FORWARDER:-$CAMERA_BUILD_DIR/testbed/forwarder/nvtd-forwarder}
floor=$CAMERA_BUILD_DIR/bench/fixed_answer_cgi

if [ "${SANDBOX:-}" != 1 ]; then
  for program in nvtd/nvtd testbed/forwarder/nvtd-forwarder bench/fixed_answer_cgi \
                 testbed/settingsd-native/settingsd-native; do
    [ -x "$CAMERA_BUILD_DIR/$program" ] || { echo "build first: cmake --build --preset host" >&2; exit 1; }
  done
  command -v wrk >/dev/null || { echo "run bench/install-deps" >&2; exit 1; }
  exec "$src/testbed/sandbox" "$0" "$@"
fi

work=/tmp/bench; mkdir -p "$work/www/floor" "$work/busybox/cgi-bin"
body='<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" xmlns:tds="http://www.onvif.org/ver10/device/wsdl"><s:Body><tds:GetSystemDateAndTime/></s:Body></s:Envelope>'
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; true' EXIT
"$CAMERA_BUILD_DIR/testbed/settingsd-native/settingsd-native" --state /run/settingsd \
  >"$work/settingsd.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -f /run/settingsd/ready ] && break; sleep 0.1; done
"$nvtd" --port 8080 >"$work/nvtd-server.log" 2>&1 &
pids+=($!); server_pid=$!
"$nvtd" --persist >"$work/nvtd-persist.log" 2>&1 &
pids+=($!); persist_pid=$!
# Links, not copies: every CGI program is run from the build's file system (a program run from
# the sandbox's /tmp starts measurably slower here).
ln -sf "$floor" "$work/www/floor/snapshot"
echo "admin:admin" >"$work/web-users"
CAMERA_WWW=$work/www CAMERA_LOG_DIR=$work VCAM_DIR=/run/vcam CAMERA_FORWARDER="$forwarder" \
  CAMERA_SNAPSHOT="$src/testbed/videoserver/snapshot" CAMERA_WEB_USERS="$work/web-users" \
  /usr/sbin/lighttpd -D -f "$src/testbed/webserver/lighttpd.conf" >"$work/webserver.log" 2>&1 &
pids+=($!); lighttpd_pid=$!
ln -sf "$forwarder" "$work/busybox/cgi-bin/onvif"
ln -sf "$floor" "$work/busybox/cgi-bin/floor"
busybox httpd -f -p 8081 -h "$work/busybox" >"$work/busybox.log" 2>&1 &
pids+=($!); busybox_pid=$!
for port in 8080 80 8081; do
  for _ in $(seq 50); do (: <>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
done

arrangements=(
  "lighttpd-floor http://127.0.0.1:80/floor/snapshot"
  "lighttpd+forwarder+persist http://127.0.0.1:80/onvif/device_service"
  "busybox-floor http://127.0.0.1:8081/cgi-bin/floor"
  "busybox+forwarder+persist http://127.0.0.1:8081/cgi-bin/onvif/device_service"
  "server-mode http://127.0.0.1:8080/onvif/device_service"
)
# ONLY=REGEX runs only the arrangements whose names match.
if [ -n "${ONLY:-}" ]; then
  chosen=()
  for run in "${arrangements[@]}"; do [[ ${run%% *} =~ $ONLY ]] && chosen+=("$run"); done
  arrangements=("${chosen[@]}")
fi
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
# CPU ticks of processes and of the children they have reaped (the web servers' CGI programs).
ticks() { local t=0 pid; for pid; do t=$((t + $(awk '{print $14 + $15 + $16 + $17}' "/proc/$pid/stat"))); done; echo $t; }
# The processes whose CPU an arrangement costs: its web server (with its CGI programs) and nvtd.
cost_pids() {
  case $1 in
    lighttpd-floor) echo $lighttpd_pid ;; lighttpd+*) echo $lighttpd_pid $persist_pid ;;
    busybox-floor) echo $busybox_pid ;; busybox+*) echo $busybox_pid $persist_pid ;;
    server-mode) echo $server_pid ;;
  esac
}
median() { tr ' ' '\n' | grep . | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
declare -A rps p50 notes ratios cpu
for round in $(seq "$rounds"); do
  for run in "${arrangements[@]}"; do
    read -r name url <<<"$run"
    before=$(ticks $(cost_pids "$name"))
    wrk -t1 -c"$connections" -d"${duration}s" --latency -s "$work/post.lua" "$url" \
      >"$work/$name.$round.txt" 2>&1
    spent=$(( $(ticks $(cost_pids "$name")) - before ))
    done_count=$(awk '/requests in/ {print $1}' "$work/$name.$round.txt")
    read -r r p non errors <<<"$(field "$work/$name.$round.txt")"
    rps[$name]+="$r "; p50[$name]+="$p "
    cpu[$name]+="$(awk "BEGIN{print $spent * 1e6 / $(getconf CLK_TCK) / ($done_count > 0 ? $done_count : 1)}") "
    case $name in
      *-floor) floor_now=$r ;;
      *+forwarder+*) ratios[$name]+="$(awk "BEGIN{print $r / $floor_now}") " ;;
    esac
    [ "$non" = 0 ] && [ "$errors" = none ] || notes[$name]+="round $round: $non non-2xx, errors $errors; "
  done
done
echo "load average after:  $(cut -d' ' -f1-3 /proc/loadavg)"
echo "GetSystemDateAndTime, wrk -t1 -c$connections -d${duration}s, one request per connection, median of $rounds rounds"
printf "%-30s %11s %9s %14s %12s  %s\n" arrangement "requests/s" "p50 ms" "of its floor" "CPU us/req" \
  "rounds (requests/s); notes"
for run in "${arrangements[@]}"; do
  read -r name _ <<<"$run"
  r=$(median <<<"${rps[$name]}"); p=$(median <<<"${p50[$name]}")
  ratio=""
  [ -n "${ratios[$name]:-}" ] && ratio=$(printf "%.2fx" "$(median <<<"${ratios[$name]}")")
  c=$(printf "%.0f" "$(median <<<"${cpu[$name]}")")
  printf "%-30s %11s %9s %14s %12s  %s\n" "$name" "$r" "$p" "$ratio" "$c" "${rps[$name]}${notes[$name]:-}"
done
