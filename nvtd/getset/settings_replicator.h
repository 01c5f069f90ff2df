// SettingsReplicator: repeats set records of image and stream sections to the three
// peer boards, one line at a time, in board order, stopping at the first failure.
#pragma once

#include <array>
#include <string>

namespace nvtd {

class SettingsClient;

// Whether one record line of section is repeated to the peer boards: ENCODE lines
// without "s2" and "s3", CAM lines with "ir_mode" or "night_color", every line of
// IMAGE, STREAM0..STREAM3 and VINVOUT; nothing else.
bool is_repeated(const std::string& section, const std::string& line);

class SettingsReplicator {
 public:
  explicit SettingsReplicator(const std::array<std::string, 3>& boards) : boards_(boards) {}

  // Sends each repeated line of records (without its newline) through via.SetSection
  // with the board as host. 0 when every send succeeded, -1 at the first failure.
  int Repeat(SettingsClient& via, const std::string& section, const std::string& records,
             bool flag) const;

  const std::array<std::string, 3>& boards() const { return boards_; }

 private:
  std::array<std::string, 3> boards_;
};

}  // namespace nvtd
