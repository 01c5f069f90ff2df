// The three WS-Discovery messages the camera sends: Hello (multicast), ProbeMatches and
// the MatchingRuleNotSupported fault (both to the probe's sender), as fixed templates.
#pragma once

#include <cstdint>
#include <string>

#include "nvtd/discovery/scopes.h"

namespace nvtd {

inline constexpr std::size_t kDiscoveryMessageBytes = 4000;  // composition limit

// What the messages say about the camera.
struct DiscoveryIdentity {
  std::string address = "xxx.xxx.xxx.xxx";  // current IPv4 address
  std::string hwaddr = "xxxxxxxxxxxx";      // twelve hex digits of the MAC address
  std::string model;                        // INFO "model"; also picks the name scope
  int port = 80;                            // HTTP port of the device service
};

// Each returns the whole datagram text, cut to kDiscoveryMessageBytes - 1 characters.
// random goes into the message id as eight hex digits; user_scopes is announced_scopes(). Hello
// and ProbeMatches list the same scopes: scope_list_text(id.model, user_scopes).
std::string build_hello(const DiscoveryIdentity& id, uint32_t random, int message_number,
                        const std::string& user_scopes);
std::string build_probe_matches(const DiscoveryIdentity& id, uint32_t random, int message_number,
                                const std::string& relates_to, const std::string& user_scopes);
std::string build_matching_rule_fault(uint32_t random, int message_number,
                                      const std::string& relates_to);

}  // namespace nvtd
