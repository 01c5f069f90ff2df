// Fuzz target: the imaging request readers over any body (settings, focus moves, the token and
// the child-element scan), which see every byte a client sends.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "nvtd/imaging/imaging_requests.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view body(reinterpret_cast<const char*>(data), size);
  nvtd::SettingsChange change;
  nvtd::read_settings_change(body, &change);
  nvtd::FocusMoveRequest move;
  nvtd::read_focus_move(body, &move);
  nvtd::child_names(body);
  return 0;
}
