// The three WS-Discovery messages the camera sends: Hello (multicast), ProbeMatches and
// the MatchingRuleNotSupported fault (both to the probe's sender), as fixed templates.
#pragma once

#include <cstdint>
#include <string>

namespace nvtd {

inline constexpr std::size_t kDiscoveryMessageBytes = 4000;  // composition limit

// What the messages say about the camera.
struct DiscoveryIdentity {
  std::string address = "xxx.xxx.xxx.xxx";  // current IPv4 address
  std::string hwaddr = "xxxxxxxxxxxx";      // twelve hex digits of the MAC address
  std::string model;                        // INFO "model"
  bool maker = false;                       // model begins with "cv", any case
  int port = 80;                            // HTTP port of the device service
};

// "Corvane" for the maker's own models, otherwise "OLM".
const char* NameScopeValue(bool maker);
// True when model begins with "cv" in any letter case.
bool IsMakerModel(const std::string& model);

// Each returns the whole datagram text, cut to kDiscoveryMessageBytes - 1 characters.
// random goes into the message id as eight hex digits; user_scopes is ScopeString().
std::string BuildHello(const DiscoveryIdentity& id, uint32_t random, int message_number,
                       const std::string& user_scopes);
std::string BuildProbeMatches(const DiscoveryIdentity& id, uint32_t random, int message_number,
                              const std::string& relates_to, const std::string& user_scopes);
std::string BuildMatchingRuleFault(uint32_t random, int message_number,
                                   const std::string& relates_to);

}  // namespace nvtd
