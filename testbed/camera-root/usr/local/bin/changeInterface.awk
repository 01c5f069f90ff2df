# Stand-in for the camera's interfaces-file rewriter (sandbox only): rewrites the stanza
# of one interface for DHCP or a static address and prints the whole file.
#   awk -f changeInterface.awk /etc/network/interfaces device=eth0 mode=dhcp
#   awk -f changeInterface.awk /etc/network/interfaces device=eth0 mode=static \
#       address=A netmask=M gateway=G
# The name=value operands come after the file, so they are known only at END: the
# file is collected first and rewritten there.
{ line[++n] = $0 }

function stanza() {
  out = out "iface " device " inet " mode "\n"
  if (mode == "static") {
    out = out "address " address "\n" "netmask " netmask "\n" "gateway " gateway "\n"
  }
}

END {
  printf "changeInterface.awk device=%s mode=%s address=%s netmask=%s gateway=%s\n", \
    device, mode, address, netmask, gateway >> "/run/camera-fakes/calls"
  if (device == "" || (mode != "dhcp" && mode != "static")) exit 1
  if (mode == "static" && (address == "" || netmask == "")) exit 1
  out = ""; done = 0; skipping = 0
  for (i = 1; i <= n; i++) {
    split(line[i], f, /[ \t]+/)
    first = f[1] == "" ? f[2] : f[1]
    if (first == "iface" || first == "auto" || first == "allow-hotplug" || first == "mapping") {
      skipping = 0
      if (first == "iface" && line[i] ~ ("^[ \t]*iface[ \t]+" device "[ \t]")) {
        stanza(); done = 1; skipping = 1; continue
      }
    } else if (skipping) {
      continue
    }
    out = out line[i] "\n"
  }
  if (!done) { out = out "\nauto " device "\n"; stanza() }
  printf "%s", out
}
