#!/bin/bash
# What one CGI program costs to run, one after another as a web server starts them: the
# fixed-answer floor, the forwarder relaying GetSystemDateAndTime to nvtd --persist (nvtd's own
# CPU per request beside it), and any other forwarder builds given; in the camera sandbox.
#   bench/cgi_start.sh [RUNS] [OTHER-FORWARDER...]   (as root; needs a host build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
export CAMERA_BUILD_DIR=${CAMERA_BUILD_DIR:-$src/build/host}
runs=${1:-1000}
[ $# -gt 0 ] && shift

if [ "${SANDBOX:-}" != 1 ]; then
  [ -x "$CAMERA_BUILD_DIR/bench/cgi_start" ] || { echo "build first: cmake --build --preset host" >&2; exit 1; }
  exec "$src/testbed/sandbox" "$0" "$runs" "$@"
fi
. "$here/lan_hosts.sh"
start_settings
"$CAMERA_BUILD_DIR/nvtd/nvtd" --persist >/dev/null 2>&1 &
nvtd_pid=$!
trap 'kill $nvtd_pid $settingsd_pid 2>/dev/null; true' EXIT
for _ in $(seq 50); do [ -p /tmp/nvtd_sv ] && break; sleep 0.1; done
body='<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" xmlns:tds="http://www.onvif.org/ver10/device/wsdl"><s:Body><tds:GetSystemDateAndTime/></s:Body></s:Envelope>'
printf '%s' "$body" >/tmp/cgi_body
export REQUEST_METHOD=POST REQUEST_URI=/onvif/device_service CONTENT_LENGTH=${#body} \
  CONTENT_TYPE=application/soap+xml
nvtd_ticks() { awk '{print $14 + $15}' "/proc/$nvtd_pid/stat"; }
echo "$runs runs each, one after another; load average $(cut -d' ' -f1-3 /proc/loadavg)"
for program in "$CAMERA_BUILD_DIR/bench/fixed_answer_cgi" \
               "$CAMERA_BUILD_DIR/testbed/forwarder/nvtd-forwarder" "$@"; do
  before=$(nvtd_ticks)
  line=$("$CAMERA_BUILD_DIR/bench/cgi_start" "$runs" /tmp/cgi_body "$program")
  echo "$line   nvtd $(awk "BEGIN{printf \"%.0f\", ($(nvtd_ticks) - $before) * 1e6 / $(getconf CLK_TCK) / $runs}") us CPU"
done
