// Fuzz target: the discovery datagram handler over arbitrary bytes, with user scopes set and
// sources and times taken from the input, so the decision, the scope rule, the source limit
// and the message builders all see hostile text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "nvtd/discovery/datagram_answer.h"
#include "nvtd/discovery/scopes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static nvtd::DiscoveryResponder* responder = [] {
    nvtd::scopes_init();
    nvtd::scope_add("onvif://www.onvif.org/room/7");
    nvtd::scope_add("onvif://www.onvif.org/floor/<b>&amp;");
    auto* r = new nvtd::DiscoveryResponder;
    r->identity.model = "TQLM-R204";
    r->identity.address = "10.99.0.2";
    return r;
  }();
  static int64_t now_ms = 0;
  if (size < 2) return 0;
  uint32_t source = data[0];  // more sources than the limiter's table holds
  now_ms += data[1];
  // An exact-size copy, so reading one byte past the datagram is caught.
  std::vector<char> datagram(data + 2, data + size);
  std::string answer = nvtd::answer_datagram(
      *responder, std::string_view(datagram.data(), datagram.size()), source, now_ms, nullptr);
  if (answer.size() >= nvtd::kDiscoveryMessageBytes) __builtin_trap();
  if (!answer.empty() && answer.rfind("<?xml", 0) != 0) __builtin_trap();
  return 0;
}
