#!/bin/bash
# Latency of nvtd's server mode for a normal request (GetSystemDateAndTime) while idle clients
# hold connections open and one client sends its head at one byte a second; a connection the
# server closes is opened again at once, as such a client would. In a camera sandbox, on
# loopback, bounded in requests and time. Prints each request's latency and the median.
#   bench/server_latency.sh [REQUESTS] [IDLE]     (needs a host build; CAMERA_BUILD_DIR picks it)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
export CAMERA_BUILD_DIR=${CAMERA_BUILD_DIR:-$src/build/host}
requests=${1:-5}
idle=${2:-10}

if [ "${SANDBOX:-}" != 1 ]; then
  [ -x "$CAMERA_BUILD_DIR/nvtd/nvtd" ] || { echo "build first: cmake --build --preset host" >&2; exit 1; }
  exec "$src/testbed/sandbox" "$0" "$@"
fi

work=/tmp/bench; mkdir -p "$work"
/usr/bin/python3 "$src/testbed/settingsd/settingsd.py" --state /run/settingsd >"$work/settingsd.log" 2>&1 &
settingsd_pid=$!
for _ in $(seq 50); do grep -q '"event": "ready"' /run/settingsd/log 2>/dev/null && break; sleep 0.1; done
"$CAMERA_BUILD_DIR/nvtd/nvtd" --port 8080 >"$work/nvtd.log" 2>&1 &
nvtd_pid=$!
trap 'kill $nvtd_pid $settingsd_pid 2>/dev/null; true' EXIT
# Listening is enough (nvtd answers no GET, so curl would fail every time).
for _ in $(seq 50); do (: <>/dev/tcp/127.0.0.1/8080) 2>/dev/null && break; sleep 0.1; done

/usr/bin/python3 - "$requests" "$idle" <<'PY'
import select, socket, statistics, sys, threading, time

requests, idle = int(sys.argv[1]), int(sys.argv[2])
body = (b'<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" '
        b'xmlns:tds="http://www.onvif.org/ver10/device/wsdl"><s:Body>'
        b'<tds:GetSystemDateAndTime/></s:Body></s:Envelope>')
request = (b"POST /onvif/device_service HTTP/1.1\r\nHost: camera\r\n"
           b"Content-Type: application/soap+xml; charset=utf-8\r\n"
           b"Content-Length: %d\r\n\r\n" % len(body)) + body
stop = time.monotonic() + 60 * requests  # the clients below end by then at the latest
done = threading.Event()


def opened():
    s = socket.socket()
    s.settimeout(2)
    try:
        s.connect(("127.0.0.1", 8080))
    except OSError:
        s.close()
        return None
    s.setblocking(False)
    return s


def gone(s):
    try:
        return s.recv(1, socket.MSG_PEEK) == b""
    except BlockingIOError:
        return False
    except OSError:
        return True


def hold_idle():
    # Idle connections, each opened again when the server closes it.
    conns = [opened() for _ in range(idle)]
    while not done.is_set() and time.monotonic() < stop:
        for i, s in enumerate(conns):
            if s is None or gone(s):
                if s is not None:
                    s.close()
                conns[i] = opened()
        done.wait(0.05)
    for s in conns:
        if s is not None:
            s.close()


def dribble():
    # One byte a second of a head, from the start again on a new connection when closed.
    s, sent = opened(), 0
    while not done.is_set() and time.monotonic() < stop:
        if s is None or gone(s):
            if s is not None:
                s.close()
            s, sent = opened(), 0
        elif sent < len(request):
            try:
                s.send(request[sent:sent + 1])
                sent += 1
            except OSError:
                s.close()
                s = None
        done.wait(1.0)
    if s is not None:
        s.close()


threads = [threading.Thread(target=hold_idle), threading.Thread(target=dribble)]
for t in threads:
    t.start()
time.sleep(1.5)  # the clients are in place
latencies = []
for n in range(requests):
    start = time.monotonic()
    try:
        with socket.create_connection(("127.0.0.1", 8080), timeout=60) as s:
            s.sendall(request)
            raw = b""
            while chunk := s.recv(65536):
                raw += chunk
        ok = raw.startswith(b"HTTP/1.0 200 OK")
    except OSError as e:
        ok = False
    took = time.monotonic() - start
    latencies.append(took)
    print(f"request {n + 1}: {took * 1000:.1f} ms{'' if ok else ' (no 200 answer)'}", flush=True)
    time.sleep(0.5)
done.set()
for t in threads:
    t.join()
print(f"{idle} idle + 1 dribbling client: median {statistics.median(latencies) * 1000:.1f} ms, "
      f"max {max(latencies) * 1000:.1f} ms over {requests} requests")
PY
