# The watchdog the start-up scripts share (sourced, not run by itself). A script sets NAME,
# PROGRAM and ARGS, sources this file and calls `supervise "$@"`:
#   start    runs this script again in the background as "respawn", its pid in PIDFILE
#   stop     signals that watchdog, which ends its program and then itself
#   restart  stop, then start
#   respawn  the watchdog: runs PROGRAM ARGS and, whenever it exits, starts it again after
#            RESPAWN_DELAY seconds. More than RESPAWN_BURST starts within RESPAWN_WINDOW
#            seconds means the program cannot stay up: the watchdog then waits
#            RESPAWN_BACKOFF seconds before the next start. Every restart is logged.
# Needs only sh, date and start-stop-daemon -S -b -m -p / -K -p (busybox has all three).
PIDFILE="${PIDFILE:-/var/run/$NAME.pid}"
RESPAWN_DELAY="${RESPAWN_DELAY:-2}"
RESPAWN_BURST="${RESPAWN_BURST:-5}"
RESPAWN_WINDOW="${RESPAWN_WINDOW:-60}"
RESPAWN_BACKOFF="${RESPAWN_BACKOFF:-30}"
STOP_WAIT="${STOP_WAIT:-10}" # seconds "stop" waits for the watchdog and its program to end

# The sourcing script's absolute path: the watchdog runs it again from another directory.
SELF=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")

supervise_log() { logger -t "$NAME" "$*" 2>/dev/null || true; }

supervise_respawn() {
  child=
  stopping=
  trap 'stopping=1; [ -z "$child" ] || kill "$child" 2>/dev/null' TERM INT
  window_start=$(date +%s)
  starts=0
  while [ -z "$stopping" ]; do
    # shellcheck disable=SC2086 # ARGS is a list of words
    "$PROGRAM" $ARGS </dev/null >/dev/null 2>&1 &
    child=$!
    starts=$((starts + 1))
    [ -z "$stopping" ] || kill "$child" 2>/dev/null
    wait "$child"
    status=$?
    # A signal to the watchdog cuts its wait short: wait on until the program has ended.
    while kill -0 "$child" 2>/dev/null; do
      wait "$child"
      status=$?
    done
    child=
    [ -z "$stopping" ] || break
    now=$(date +%s)
    if [ $((now - window_start)) -ge "$RESPAWN_WINDOW" ]; then
      window_start=$now
      starts=1
    fi
    delay=$RESPAWN_DELAY
    if [ "$starts" -gt "$RESPAWN_BURST" ]; then
      delay=$RESPAWN_BACKOFF
      window_start=$((now + delay))
      starts=0
      supervise_log "exited $RESPAWN_BURST times within $RESPAWN_WINDOW s; waiting longer"
    fi
    supervise_log "exited with status $status; starting it again in $delay s"
    # Sleep in the background so that a stop is not held up by the delay.
    sleep "$delay" &
    child=$!
    wait "$child"
    kill "$child" 2>/dev/null
    child=
  done
}

supervise_stop() {
  pid=$(cat "$PIDFILE" 2>/dev/null)
  start-stop-daemon -K -q -p "$PIDFILE"
  waited=0
  while [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && [ "$waited" -lt "$STOP_WAIT" ]; do
    sleep 1
    waited=$((waited + 1))
  done
  rm -f "$PIDFILE"
}

supervise() {
  case "$1" in
    start)
      echo "Starting $NAME"
      start-stop-daemon -S -b -q -m -p "$PIDFILE" -x /bin/sh -- "$SELF" respawn
      ;;
    stop)
      echo "Stopping $NAME"
      supervise_stop
      ;;
    restart) "$SELF" stop; "$SELF" start ;;
    respawn) supervise_respawn ;;
    *) echo "Usage: $0 {start|stop|restart}"; exit 1 ;;
  esac
}
