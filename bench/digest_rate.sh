#!/bin/bash
# Requests/s of GetDeviceInformation with HTTP Digest against the same with a UsernameToken,
# one wrk client (bench/onvif_auth.lua) for both, one run each, in one camera sandbox on
# loopback: nvtd's server mode (port 8080), and the deployed arrangement (the web server on
# port 80 with the camera's lighttpd configuration, the forwarder as its CGI program, nvtd
# --persist behind it: relay mode) beside its floor, a CGI program under the same web server
# that only prints a fixed answer (bench/fixed_answer_cgi, /floor/snapshot, as in
# bench/relay_rate.sh). Digest takes one nonce from the camera's 401 before the run and answers
# it with a rising nc (qop auth, MD5 or ALGORITHM=SHA-256); the token is fresh for every request
# (nvtd refuses a replayed one). One request per connection ("Connection: close"), wrk -t1.
# ROUNDS=N runs everything N times, every other round in reverse order, and takes medians.
# Prints each run and the ratios Digest/token and relay/floor; a run with refusals is flagged.
# What the figures mean:
#   requests/s, p50 ms  wrk's throughput and median latency. wrk runs on the same cores as the
#     camera's programs, so these move with the machine's load and with what the client spends.
#   client, web, nvtd   CPU microseconds per request of wrk (its Lua script included), of the web
#     server with the CGI programs it started (the forwarder, or the floor's program), and of the
#     nvtd that served the run (the server, or the one behind the forwarder). Taken from
#     /proc/PID/stat (clock ticks) over the run: they hardly move with the load.
#   Digest/token, relay/floor  ratios of requests/s, and (CPU ...) the same from the web server's
#     and nvtd's CPU per request (the inverse ratio: fewer microseconds, more requests). In relay
#     mode one request at a time passes the forwarder's lock to nvtd, and GetDeviceInformation
#     asks the settings daemon, so on a loaded machine requests/s falls further than CPU says.
#     In server mode wrk and the kernel's connection set-up take more than nvtd does: there
#     nvtd's CPU per request is the figure that compares the schemes.
#   [ALGORITHM=MD5|SHA-256] [ONLY=REGEX] [ROUNDS=N] bench/digest_rate.sh [SECONDS] [CONNECTIONS]   (needs bench/install-deps, a host build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
export CAMERA_BUILD_DIR=${CAMERA_BUILD_DIR:-$src/build/host}
duration=${1:-10}
connections=${2:-4}
algorithm=${ALGORITHM:-MD5}
rounds=${ROUNDS:-1}
nvtd=${NVTD:-$CAMERA_BUILD_DIR/nvtd/nvtd}
forwarder=${FORWARDER:-$CAMERA_BUILD_DIR/testbed/forwarder/nvtd-forwarder}
floor=$CAMERA_BUILD_DIR/bench/fixed_answer_cgi
user=bench password=bench-pass

if [ "${SANDBOX:-}" != 1 ]; then
  for program in nvtd/nvtd testbed/forwarder/nvtd-forwarder bench/fixed_answer_cgi \
                 testbed/settingsd-native/settingsd-native; do
    [ -x "$CAMERA_BUILD_DIR/$program" ] || { echo "build first: cmake --build --preset host" >&2; exit 1; }
  done
  command -v wrk >/dev/null || { echo "run bench/install-deps" >&2; exit 1; }
  exec "$src/testbed/sandbox" "$0" "$@"
fi

work=/tmp/bench; mkdir -p "$work/www/floor"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; true' EXIT
mkdir -p /etc/nvtd  # the sandbox's /etc: an overlay that vanishes with it
"$nvtd" useradd "$user" "$password" administrator >/etc/nvtd/users
"$CAMERA_BUILD_DIR/testbed/settingsd-native/settingsd-native" --state /run/settingsd \
  >"$work/settingsd.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -f /run/settingsd/ready ] && break; sleep 0.1; done
"$nvtd" --port 8080 >"$work/nvtd-server.log" 2>&1 &
pids+=($!) server_pid=$!
"$nvtd" --persist >"$work/nvtd-persist.log" 2>&1 &
pids+=($!) persist_pid=$!
ln -sf "$floor" "$work/www/floor/snapshot"
echo "$user:$password" >"$work/web-users"
CAMERA_WWW=$work/www CAMERA_LOG_DIR=$work VCAM_DIR=/run/vcam CAMERA_FORWARDER="$forwarder" \
  CAMERA_SNAPSHOT="$src/testbed/videoserver/snapshot" CAMERA_WEB_USERS="$work/web-users" \
  /usr/sbin/lighttpd -D -f "$src/testbed/webserver/lighttpd.conf" >"$work/webserver.log" 2>&1 &
pids+=($!) web_pid=$!
for port in 8080 80; do
  for _ in $(seq 50); do (: <>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
done

# challenge PORT: "NONCE REALM" of the camera's $algorithm challenge to a request without credentials.
challenge() {
  curl -s -D - -o /dev/null -X POST -H 'Content-Type: application/soap+xml' --data-binary \
    '<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope"><s:Body><GetDeviceInformation xmlns="http://www.onvif.org/ver10/device/wsdl"/></s:Body></s:Envelope>' \
    "http://127.0.0.1:$1/onvif/device_service" |
    awk -v alg="$algorithm" 'tolower($1) == "www-authenticate:" && $0 ~ ("algorithm=\"?" alg "\"?([,[:space:]]|$)") {
      n = $0; sub(/.*nonce="/, "", n); sub(/".*/, "", n)
      r = $0; sub(/.*realm="/, "", r); sub(/".*/, "", r); print n, r; exit }'
}
# field FILE: requests/s, median latency in ms, non-2xx answers, socket errors
field() {
  awk '/Requests\/sec/ {rps=$2}
       /^ +50%/ {v=$2; u=v; sub(/[0-9.]+/, "", u); sub(/[a-z]+$/, "", v)
                 p50=(u=="us" ? v/1000 : (u=="s" ? v*1000 : v))}
       /Non-2xx/ {n=$NF} /Socket errors/ {e=$0; sub(/.*errors: /, "", e); gsub(/ /, "", e)}
       END {printf "%s %.3f %s %s", rps, p50, (n==""?0:n), (e==""?"none":e)}' "$1"
}
cat >"$work/floor.lua" <<'LUA'
wrk.method = "POST"
wrk.body = '<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope"><s:Body><GetDeviceInformation xmlns="http://www.onvif.org/ver10/device/wsdl"/></s:Body></s:Envelope>'
wrk.headers["Content-Type"] = "application/soap+xml; charset=utf-8"
wrk.headers["Connection"] = "close"
LUA

# ticks PID...: CPU clock ticks the processes spent, with their waited-for children (the web
# server's CGI programs; this shell's wrk).
ticks() { local t=0 pid; for pid; do t=$((t + $(awk '{print $14 + $15 + $16 + $17}' "/proc/$pid/stat"))); done; echo $t; }
# per_request TICKS REQUESTS: microseconds of CPU per request
per_request() { awk -v t="$1" -v n="$2" -v hz="$(getconf CLK_TCK)" 'BEGIN {printf "%.0f", (n > 0 ? t * 1e6 / hz / n : 0)}'; }

declare -A rps cpu
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "GetDeviceInformation, wrk -t1 -c$connections -d${duration}s, one request per connection, $rounds round(s); Digest $algorithm"
echo "CPU in microseconds per request: the client (wrk), the web server with its CGI programs, nvtd"
printf "%-16s %10s %7s %7s %6s %6s %6s  %s\n" run "requests/s" "p50 ms" non-2xx client web nvtd notes
# one_run RUN: one wrk run, its line, and its figures added to rps[RUN] and cpu[RUN].
one_run() {
  local run=$1 port nvtd_pid args nonce realm before after r p non errors requests client web daemon note
  case $run in
    server-*) port=8080 nvtd_pid=$server_pid ;; *) port=80 nvtd_pid=$persist_pid ;;
  esac
  case $run in
    *-token) args=(-s "$here/onvif_auth.lua" "http://127.0.0.1:$port/" -- device "$user" "$password") ;;
    *-digest)
      read -r nonce realm <<<"$(challenge "$port")"
      if [ -z "${nonce:-}" ]; then
        printf "%-16s %10s %7s %7s %6s %6s %6s  %s\n" "$run" - - - - - - "no $algorithm challenge on port $port"
        return
      fi
      args=(-s "$here/onvif_auth.lua" "http://127.0.0.1:$port/" -- device-digest "$user" "$password"
            "$nonce" "$realm" "$algorithm") ;;
    lighttpd-floor) args=(-s "$work/floor.lua" "http://127.0.0.1:80/floor/snapshot") ;;
  esac
  before=($(ticks $$) $(ticks "$web_pid") $(ticks "$nvtd_pid"))
  wrk -t1 -c"$connections" -d"${duration}s" --latency "${args[@]}" >"$work/$run.txt" 2>&1 || true
  after=($(ticks $$) $(ticks "$web_pid") $(ticks "$nvtd_pid"))
  read -r r p non errors <<<"$(field "$work/$run.txt")"
  requests=$(awk '/requests in/ {print $1}' "$work/$run.txt")
  client=$(per_request $((after[0] - before[0])) "${requests:-0}")
  web=0 daemon=0
  [ "$port" = 80 ] && web=$(per_request $((after[1] - before[1])) "${requests:-0}")
  [ "$run" = lighttpd-floor ] || daemon=$(per_request $((after[2] - before[2])) "${requests:-0}")
  rps[$run]+="$r " cpu[$run]+="$((web + daemon)) "
  note=""
  [ "$non" = 0 ] && [ "$errors" = none ] || note="REFUSED OR FAILED: $non non-2xx, errors $errors (see $work/$run.txt)"
  printf "%-16s %10s %7s %7s %6s %6s %6s  %s\n" "$run" "$r" "$p" "$non" "$client" "$web" "$daemon" "$note"
}

runs=()
for run in server-token server-digest lighttpd-floor relay-token relay-digest; do
  [[ $run =~ ${ONLY:-.} ]] && runs+=("$run")  # ONLY=REGEX: only the runs whose names match
done
for ((round = 1; round <= rounds; round++)); do
  # Every other round in the opposite order: no run always comes after the same one.
  if ((round % 2)); then order=("${runs[@]}"); else order=(); for run in "${runs[@]}"; do order=("$run" "${order[@]}"); done; fi
  for run in "${order[@]}"; do one_run "$run"; done
done
echo "load average after:  $(cut -d' ' -f1-3 /proc/loadavg)"
# median: of the numbers on standard input
median() { tr ' ' '\n' | awk 'NF' | sort -g | awk '{v[NR]=$1} END {if (NR) print (NR % 2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2); else print 0}'; }
for run in "${runs[@]}"; do rps[$run]=$(median <<<"${rps[$run]:-}") cpu[$run]=$(median <<<"${cpu[$run]:-}"); done
((rounds == 1)) || echo "medians of $rounds rounds: $(for run in "${runs[@]}"; do printf "%s %s/s (CPU %s us)  " "$run" "${rps[$run]}" "${cpu[$run]}"; done)"
ratio() { awk -v a="${rps[$1]:-0}" -v b="${rps[$2]:-0}" 'BEGIN {if (a > 0 && b > 0) printf "%.2fx", a / b; else printf "-"}'; }
# The same from CPU per request (web server and nvtd): the inverse, as fewer microseconds go
# with more requests; it hardly moves with the machine's load.
cpu_ratio() { awk -v a="${cpu[$1]:-0}" -v b="${cpu[$2]:-0}" 'BEGIN {if (a > 0 && b > 0) printf "%.2fx", b / a; else printf "-"}'; }
echo "Digest/token: server mode $(ratio server-digest server-token) (CPU $(cpu_ratio server-digest server-token)), relay $(ratio relay-digest relay-token) (CPU $(cpu_ratio relay-digest relay-token))"
echo "relay/floor:  Digest $(ratio relay-digest lighttpd-floor) (CPU $(cpu_ratio relay-digest lighttpd-floor)), token $(ratio relay-token lighttpd-floor) (CPU $(cpu_ratio relay-token lighttpd-floor))"
