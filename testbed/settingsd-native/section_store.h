// The section texts of the native settings stand-in: the camera's copy and one per peer
// board under STATE/boards/, each seeded from the section directory on first use, laid out
// as testbed/settingsd keeps them so that either stand-in can serve the other's state.
// Texts are kept in memory while their file's identity, size and time stay the same.
#pragma once

#include <sys/stat.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace settingsd {

class SectionStore {
 public:
  SectionStore(std::string sections, std::string state, std::vector<std::string> peers);

  // The section text of the board that owns this local address, or nullopt without a file.
  std::optional<std::string> get(const std::string& address, const std::string& section);

  // Merges the records of text into the board's copy: a record replaces the line with the
  // same key (up to the first ' ', then up to the first '='), or is appended.
  bool apply(const std::string& address, const std::string& section, const std::string& text);

 private:
  struct Kept {
    struct stat file;
    std::string text;
  };

  std::string board(const std::string& address);
  std::string board_path(const std::string& address) const;

  std::map<std::string, Kept> kept_;
  std::string sections_;
  std::string state_;
  std::vector<std::string> peers_;
};

// The lines of a text as Python's str.splitlines cuts them (\n, \r, \r\n, \v, \f, \x1c-\x1e,
// \x85), without their ends.
std::vector<std::string> split_lines(const std::string& text);

}  // namespace settingsd
