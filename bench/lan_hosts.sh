# Sourced by the LAN benches inside testbed/sandbox: turns the sandbox's LAN side into a switch
# (a bridge in the namespace "lan" holding lan0) and plugs a new namespace into it per host.
#   lan_host NAME ADDRESS...   the namespace NAME with eth0 on the switch and these /24 addresses

lan_switch() {
  ip -n lan link add br0 type bridge mcast_snooping 0
  ip -n lan link set lan0 master br0
  ip -n lan link set br0 up
}

lan_host() {
  local name=$1 address
  shift
  ip netns add "$name"
  ip link add eth0 netns "$name" type veth peer name "$name" netns lan
  ip -n lan link set "$name" master br0 up
  ip -n "$name" link set lo up
  for address in "$@"; do ip -n "$name" addr add "$address/24" dev eth0; done
  ip -n "$name" link set eth0 up
}

# Starts the settings stand-in and waits until it is ready; its pid in settingsd_pid.
start_settings() {
  "$CAMERA_BUILD_DIR/testbed/settingsd-native/settingsd-native" --state /run/settingsd \
    >/dev/null 2>&1 &
  settingsd_pid=$!
  for _ in $(seq 50); do [ -f /run/settingsd/ready ] && break; sleep 0.1; done
}

