# Authenticated loads on nvtd in server mode, sourced by bench/http_server.sh after its open
# load (not run alone): GetDeviceInformation, GetProfiles and pull-point cycles
# (CreatePullPointSubscription, PullMessages with Timeout PT0S, Unsubscribe), each with
# wrk -t1 -c$connections for $duration seconds, one request per connection as the open load,
# $rounds times each (the median round is the figure).
# Each request carries its own UsernameToken, made by bench/onvif_auth.lua (OpenSSL's SHA-1
# through LuaJIT's ffi): nvtd refuses a replayed token, and a fresh token per request measures the whole
# check (digest, freshness, the replay table) as clients meet it, which a fixed token with
# --token-window 0 would skip. Every figure is printed next to the open and nginx figures
# of the same run, with the ratios auth/open and open/nginx, and with the CPU time nvtd and the
# settings stand-in spent per request (the two take turns on one request at a time).
#   auth_loads OPEN_RPS NGINX_RPS
# Uses from http_server.sh: $work, $here, $duration, $connections, $rounds, $CAMERA_BUILD_DIR,
# ticks, per_request, and nvtd ($nvtd_pid) listening on 127.0.0.1:8080 with the settings
# stand-in ($settingsd_pid) serving.

auth_field() { # auth_field FILE: requests/s, p50, p99, non-2xx, cycles/s, unexpected answers
  awk '/Requests\/sec/ {rps=$2} /^ +50%/ {p50=$2} /^ +99%/ {p99=$2} /Non-2xx/ {non2xx=$NF}
       /Cycles\/sec/ {cycles=$2} /Unexpected answers/ {odd=$NF}
       END {printf "%s %s %s %s %s %s", rps, p50, p99, (non2xx==""?0:non2xx),
            (cycles==""?"-":cycles), (odd==""?0:odd)}' "$1"
}

auth_loads() {
  local open_rps=$1 nginx_rps=$2 user=bench password=bench-pass
  mkdir -p /etc/nvtd  # the sandbox's /etc: an overlay that vanishes with it
  "$CAMERA_BUILD_DIR/nvtd/nvtd" useradd "$user" "$password" administrator >>/etc/nvtd/users
  echo
  echo "authenticated, wrk -t1 -c$connections -d${duration}s, one request per connection," \
    "a fresh token each, median of ${rounds:-1} rounds; load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
  printf "%-22s %10s %9s %9s %8s %10s %11s %9s %10s %8s %8s\n" load "requests/s" p50 p99 \
    non-2xx "open req/s" "nginx req/s" auth/open open/nginx "nvtd us" "stand-in"
  local mode name rps p50 p99 non cycles odd cycle_line=""
  for mode in device profiles events; do
    case $mode in
      device) name=GetDeviceInformation ;;
      profiles) name=GetProfiles ;;
      events) name="pull-point cycle" ;;
    esac
    local r best=""
    for r in $(seq "${rounds:-1}"); do
      # A round ends with cycles cut short: their subscriptions (5 s) must end first.
      [ "$mode" != events ] || [ "$r" = 1 ] || sleep 7
      local nvtd_before settings_before
      nvtd_before=$(ticks "$nvtd_pid") settings_before=$(ticks "$settingsd_pid")
      wrk -t1 -c"$connections" -d"${duration}s" --latency -s "$here/onvif_auth.lua" \
        http://127.0.0.1:8080/ -- "$mode" "$user" "$password" >"$work/auth-$mode-$r.txt" 2>&1 || true
      echo "$(($(ticks "$nvtd_pid") - nvtd_before)) $(($(ticks "$settingsd_pid") - settings_before))" \
        >"$work/auth-$mode-$r.cpu"
    done
    # The median round by requests/s.
    best=$(for r in $(seq "${rounds:-1}"); do
             echo "$(auth_field "$work/auth-$mode-$r.txt" | cut -d' ' -f1) $r"
           done | sort -n | awk '{r[NR]=$2} END {print r[int((NR + 1) / 2)]}')
    cp "$work/auth-$mode-$best.txt" "$work/auth-$mode.txt"
    read -r rps p50 p99 non cycles odd <<<"$(auth_field "$work/auth-$mode.txt")"
    local nvtd_ticks settings_ticks
    read -r nvtd_ticks settings_ticks <"$work/auth-$mode-$best.cpu"
    printf "%-22s %10s %9s %9s %8s %10s %11s" "$name" "$rps" "$p50" "$p99" "$non" \
      "$open_rps" "$nginx_rps"
    awk -v a="$rps" -v o="$open_rps" -v g="$nginx_rps" \
      'BEGIN { printf " %9.3f %10.2f", (o > 0 ? a / o : 0), (g > 0 ? o / g : 0) }'
    printf " %8s %8s\n" "$(per_request "$nvtd_ticks" "$work/auth-$mode.txt")" \
      "$(per_request "$settings_ticks" "$work/auth-$mode.txt")"
    if [ "$mode" = events ]; then
      cycle_line="pull-point cycles/s: $cycles (three requests each); unexpected answers: $odd"
    fi
    [ "$non" = 0 ] && [ "$odd" = 0 ] || echo "  WARNING: $name had refused or unexpected answers" \
      "(see $work/auth-$mode.txt, $work/nvtd.log)"
  done
  echo "$cycle_line"
  echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
}
