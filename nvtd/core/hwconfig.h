// Hardware probe: the factory description "/etc/olm/factory/hwconfig.txt" says whether the
// camera model has audio.
#pragma once

#include <string_view>

namespace nvtd {

inline constexpr char kHwConfigPath[] = "/etc/olm/factory/hwconfig.txt";

// Applies one "key=value" line: "model" through the model table, "audio" 0 or 1 to HwAudio.
void apply_hwconfig_line(std::string_view line);

// Reads the file, if it exists, and applies its lines in order (later lines win).
void probe_hardware(const char* path = kHwConfigPath);

}  // namespace nvtd
