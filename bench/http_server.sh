#!/bin/bash
# Load run of nvtd's server mode against nginx (one worker) serving a file of the same size
# as nvtd's answer, both in one camera sandbox on loopback, one request per connection for
# both (Connection: close). Prints requests/s and latency percentiles of each and the ratio,
# then authenticated loads on the same nvtd against these figures (bench/auth_load.sh).
#   [ROUNDS=3] bench/http_server.sh [SECONDS] [CONNECTIONS]   (needs bench/install-deps, a host build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
export CAMERA_BUILD_DIR=${CAMERA_BUILD_DIR:-$src/build/host}
duration=${1:-10}
connections=${2:-8}
rounds=${ROUNDS:-3}

if [ "${SANDBOX:-}" != 1 ]; then
  for program in nvtd/nvtd testbed/settingsd-native/settingsd-native; do
    [ -x "$CAMERA_BUILD_DIR/$program" ] || { echo "build first: cmake --build --preset host" >&2; exit 1; }
  done
  command -v wrk >/dev/null && command -v nginx >/dev/null || { echo "run bench/install-deps" >&2; exit 1; }
  exec "$src/testbed/sandbox" "$0" "$@"
fi

work=/tmp/bench; mkdir -p "$work/www" "$work/logs"
# The first call every ONVIF client makes: an open operation with a full 200 answer.
body='<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" xmlns:tds="http://www.onvif.org/ver10/device/wsdl"><s:Body><tds:GetSystemDateAndTime/></s:Body></s:Envelope>'

# The settings stand-in, so that nvtd starts at once (it waits for CAM otherwise): the
# compiled one, so that the authenticated loads measure nvtd and not the stand-in.
"$CAMERA_BUILD_DIR/testbed/settingsd-native/settingsd-native" --state /run/settingsd \
  >"$work/settingsd.log" 2>&1 &
settingsd_pid=$!
for _ in $(seq 50); do [ -f /run/settingsd/ready ] && break; sleep 0.1; done
"$CAMERA_BUILD_DIR/nvtd/nvtd" --port 8080 >"$work/nvtd.log" 2>&1 &
nvtd_pid=$!
trap 'kill $nvtd_pid $settingsd_pid 2>/dev/null; [ -f $work/nginx.pid ] && kill $(cat $work/nginx.pid) 2>/dev/null; true' EXIT
# Listening is enough (nvtd answers no GET, so curl would fail every time).
for _ in $(seq 50); do (: <>/dev/tcp/127.0.0.1/8080) 2>/dev/null && break; sleep 0.1; done

# The baseline file has exactly as many bytes as nvtd's answer body.
answer_size=$(curl -s -X POST -H 'Content-Type: application/soap+xml' --data-binary "$body" \
  http://127.0.0.1:8080/onvif/device_service | wc -c)
head -c "$answer_size" /dev/zero | tr '\0' 'x' >"$work/www/answer.xml"

cat >"$work/nginx.conf" <<CONF
worker_processes 1;
daemon on;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  default_type application/soap+xml;
  keepalive_timeout 0;
  client_body_temp_path $work/body; proxy_temp_path $work/proxy;
  fastcgi_temp_path $work/fcgi; uwsgi_temp_path $work/uwsgi; scgi_temp_path $work/scgi;
  server { listen 127.0.0.1:8081; root $work/www; }
}
CONF
nginx -c "$work/nginx.conf" -p "$work"
for _ in $(seq 50); do curl -s -o /dev/null http://127.0.0.1:8081/answer.xml && break; sleep 0.1; done

cat >"$work/post.lua" <<LUA
wrk.method = "POST"
wrk.body = '$body'
wrk.headers["Content-Type"] = "application/soap+xml; charset=utf-8"
wrk.headers["Connection"] = "close"
LUA
cat >"$work/get.lua" <<LUA
wrk.headers["Connection"] = "close"
LUA

run() { # run NAME URL SCRIPT
  wrk -t1 -c"$connections" -d"${duration}s" --latency -s "$3" "$2" >"$work/$1.txt" 2>&1
}
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }  # a process's user + system time
per_request() { # per_request TICKS WRK_FILE: microseconds of that time per request answered
  awk -v t="$1" -v hz="$(getconf CLK_TCK)" '/requests in/ {n=$1}
      END {printf "%.0f", (n > 0 ? t * 1e6 / hz / n : 0)}' "$2"
}
field() { # field FILE: requests/s and the latency percentiles
  awk '/Requests\/sec/ {rps=$2}
       /^ +50%/ {p50=$2} /^ +75%/ {p75=$2} /^ +90%/ {p90=$2} /^ +99%/ {p99=$2}
       /Non-2xx/ {non2xx=$NF}
       END {printf "%s %s %s %s %s %s", rps, p50, p75, p90, p99, (non2xx==""?0:non2xx)}' "$1"
}
median_round() { # median_round NAME: the round whose requests/s is the median
  for r in $(seq "$rounds"); do echo "$(field "$work/$1-$r.txt" | cut -d' ' -f1) $r"; done |
    sort -n | awk '{r[NR]=$2} END {print r[int((NR + 1) / 2)]}'
}

# nvtd and nginx in turn, $rounds times, so that both meet the machine's ups and downs; the
# median round of each is the figure.
echo "answer size: $answer_size bytes; wrk -t1 -c$connections -d${duration}s, one request per connection;" \
  "$rounds rounds each, in turn"
printf "%-6s %5s %12s %9s %9s %9s %9s %9s\n" server round "requests/s" p50 p75 p90 p99 "non-2xx"
for r in $(seq "$rounds"); do
  before=$(ticks $nvtd_pid)
  run "nvtd-$r" http://127.0.0.1:8080/onvif/device_service "$work/post.lua"
  echo $(($(ticks $nvtd_pid) - before)) >"$work/nvtd-$r.cpu"
  run "nginx-$r" http://127.0.0.1:8081/answer.xml "$work/get.lua"
  for name in nvtd nginx; do
    read -r rps p50 p75 p90 p99 non <<<"$(field "$work/$name-$r.txt")"
    printf "%-6s %5s %12s %9s %9s %9s %9s %9s\n" "$name" "$r" "$rps" "$p50" "$p75" "$p90" "$p99" "$non"
  done
done
n_round=$(median_round nvtd)
read -r n_rps n50 n75 n90 n99 n_non <<<"$(field "$work/nvtd-$n_round.txt")"
read -r g_rps g50 g75 g90 g99 g_non <<<"$(field "$work/nginx-$(median_round nginx).txt")"
printf "%-6s %5s %12s %9s %9s %9s %9s %9s\n" nvtd median "$n_rps" "$n50" "$n75" "$n90" "$n99" "$n_non"
printf "%-6s %5s %12s %9s %9s %9s %9s %9s\n" nginx median "$g_rps" "$g50" "$g75" "$g90" "$g99" "$g_non"
awk -v a="$n_rps" -v b="$g_rps" 'BEGIN { if (b > 0) printf "nvtd/nginx requests/s ratio (medians): %.2f\n", a / b }'
echo "nvtd's CPU time per open request (median round):" \
  "$(per_request "$(cat "$work/nvtd-$n_round.cpu")" "$work/nvtd-$n_round.txt") us"

# Authenticated loads on the same nvtd, against the figures above (bench/auth_load.sh).
. "$here/auth_load.sh"
auth_loads "$n_rps" "$g_rps"
