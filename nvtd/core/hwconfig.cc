// Hardware probe of the factory hwconfig file and the model table.
#include "nvtd/core/hwconfig.h"

#include <fstream>
#include <string>

#include "nvtd/core/process_state.h"

namespace nvtd {
namespace {

struct ModelAudio {
  const char* code;
  bool audio;
};

// A model value is compared on its first 9 characters; other models leave HwAudio alone.
constexpr ModelAudio kModels[] = {
    {"TQLM-R204", true},  {"TQLM-R20B", true},  {"TQLM-N316", true},
    {"TQLS-N326", true},  {"TQPX-KH41", false}, {"TQLS-KH53", false},
    {"TQPX-KH53", false}, {"TQLS-J735", false}, {"TQPX-J715", false},
};
constexpr size_t kModelCompared = 9;
constexpr size_t kLineLimit = 63;

}  // namespace

void apply_hwconfig_line(std::string_view line) {
  size_t eq = line.find('=');
  if (eq == std::string_view::npos || eq == 0) return;
  std::string_view key = line.substr(0, eq);
  std::string_view value = line.substr(eq + 1);
  value = value.substr(0, value.find_first_of("\r\n"));
  if (value.empty()) return;
  if (key == "model") {
    if (value.size() < kModelCompared) return;
    for (const ModelAudio& m : kModels) {
      if (value.substr(0, kModelCompared) == m.code) HwAudio = m.audio;
    }
  } else if (key == "audio") {
    if (value == "0") HwAudio = false;
    if (value == "1") HwAudio = true;
  }
}

void probe_hardware(const char* path) {
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    // Lines are at most 63 characters; the rest of a longer line is dropped, not read as a
    // line of its own.
    apply_hwconfig_line(std::string_view(line).substr(0, kLineLimit));
  }
}

}  // namespace nvtd
