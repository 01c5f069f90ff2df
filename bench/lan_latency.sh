#!/bin/bash
# Latency of single requests from the LAN side (over the sandbox's veth to the camera's eth0),
# one at a time: authenticated GetDeviceInformation and GetProfiles, each with a fresh
# UsernameToken, and the open GetSystemDateAndTime; settings from testbed/settingsd-native.
# Prints the median and the 90th percentile of each (the Python client's time included).
#   bench/lan_latency.sh [REQUESTS]     (needs a host build; CAMERA_BUILD_DIR picks it)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
export CAMERA_BUILD_DIR=${CAMERA_BUILD_DIR:-$src/build/host}
requests=${1:-200}

if [ "${SANDBOX:-}" != 1 ]; then
  [ -x "$CAMERA_BUILD_DIR/nvtd/nvtd" ] || { echo "build first: cmake --build --preset host" >&2; exit 1; }
  exec "$src/testbed/sandbox" "$0" "$@"
fi

"$CAMERA_BUILD_DIR/testbed/settingsd-native/settingsd-native" --state /run/settingsd >/dev/null 2>&1 &
settingsd_pid=$!
for _ in $(seq 50); do [ -f /run/settingsd/ready ] && break; sleep 0.1; done
mkdir -p /etc/nvtd  # the sandbox's /etc: an overlay that vanishes with it
"$CAMERA_BUILD_DIR/nvtd/nvtd" useradd bench bench-pass administrator >/etc/nvtd/users
"$CAMERA_BUILD_DIR/nvtd/nvtd" --port 8080 >/dev/null 2>&1 &
nvtd_pid=$!
trap 'kill $nvtd_pid $settingsd_pid 2>/dev/null; true' EXIT
# Listening is enough (nvtd answers no GET, so curl would fail every time).
for _ in $(seq 50); do (: <>/dev/tcp/127.0.0.1/8080) 2>/dev/null && break; sleep 0.1; done

ip netns exec lan /usr/bin/python3 - "$src/testbed/client" "$requests" <<'PY'
import statistics, sys, time
sys.path.insert(0, sys.argv[1])
from onvif_soap import envelope, post, security
count = int(sys.argv[2])
for name, path, body in [
        ("GetDeviceInformation", "/onvif/device_service", "<tds:GetDeviceInformation/>"),
        ("GetProfiles", "/onvif/media_service", "<trt:GetProfiles/>"),
        ("GetSystemDateAndTime", "/onvif/device_service", "<tds:GetSystemDateAndTime/>")]:
    times = []
    for _ in range(count):
        request = envelope(body, security("bench", "bench-pass"))
        started = time.perf_counter()
        answer = post(request, 8080, path=path, host="10.99.0.2")
        times.append(time.perf_counter() - started)
        assert answer.fault() is None and name + "Response" in answer.text, answer.text[:300]
    times.sort()
    print("%-22s median %.2f ms, 90th percentile %.2f ms (%d requests, one at a time)"
          % (name, statistics.median(times) * 1000, times[int(count * 0.9) - 1] * 1000, count))
PY
