// Repetition of settings to the peer boards: which lines go, and in what order.

#include "nvtd/getset/settings_replicator.h"

#include "nvtd/getset/settings_client.h"

namespace nvtd {

bool is_repeated(const std::string& section, const std::string& line) {
  auto has = [&line](const char* part) { return line.find(part) != std::string::npos; };
  if (section == "ENCODE") return !has("s2") && !has("s3");
  if (section == "CAM") return has("ir_mode") || has("night_color");
  return section == "IMAGE" || section == "STREAM0" || section == "STREAM1" ||
         section == "STREAM2" || section == "STREAM3" || section == "VINVOUT";
}

int SettingsReplicator::Repeat(SettingsClient& via, const std::string& section,
                               const std::string& records, bool flag) const {
  size_t start = 0;
  while (start < records.size()) {
    size_t end = records.find('\n', start);
    if (end == std::string::npos) end = records.size();
    std::string line = records.substr(start, end - start);
    start = end + 1;
    if (line.empty() || !is_repeated(section, line)) continue;
    for (const std::string& board : boards_) {
      if (via.SetSection(section, line, flag, board.c_str()) != 0) return -1;
    }
  }
  return 0;
}

}  // namespace nvtd
