// Section texts per board for the native settings stand-in (see section_store.h).
#include "testbed/settingsd-native/section_store.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace settingsd {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> read_file(const std::string& path) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string record_key(const std::string& line) {
  std::string word = line.substr(0, line.find(' '));
  return word.substr(0, word.find('='));
}

bool line_break(unsigned char c) {
  return c == '\n' || c == '\r' || c == '\v' || c == '\f' || (c >= 0x1c && c <= 0x1e) || c == 0x85;
}

}  // namespace

SectionStore::SectionStore(std::string sections, std::string state, std::vector<std::string> peers)
    : sections_(std::move(sections)), state_(std::move(state)), peers_(std::move(peers)) {}

std::string SectionStore::board_path(const std::string& address) const {
  bool peer = std::find(peers_.begin(), peers_.end(), address) != peers_.end();
  return state_ + "/boards/" + (peer ? address : std::string("camera"));
}

std::string SectionStore::board(const std::string& address) {
  std::string dir = board_path(address);
  std::error_code error;
  if (!fs::is_directory(dir, error)) {
    fs::create_directories(fs::path(dir).parent_path(), error);
    fs::copy(sections_, dir, fs::copy_options::recursive, error);
  }
  return dir;
}

std::optional<std::string> SectionStore::get(const std::string& address,
                                             const std::string& section) {
  const std::string path = board_path(address) + "/" + section;
  struct stat now;
  if (::stat(path.c_str(), &now) != 0 || !S_ISREG(now.st_mode)) {
    return read_file(board(address) + "/" + section);  // seeds a new board
  }
  auto kept = kept_.find(path);
  if (kept != kept_.end() && kept->second.file.st_ino == now.st_ino &&
      kept->second.file.st_dev == now.st_dev && kept->second.file.st_size == now.st_size &&
      kept->second.file.st_mtim.tv_sec == now.st_mtim.tv_sec &&
      kept->second.file.st_mtim.tv_nsec == now.st_mtim.tv_nsec) {
    return kept->second.text;
  }
  std::optional<std::string> text = read_file(path);
  if (text) kept_[path] = Kept{now, *text};
  return text;
}

bool SectionStore::apply(const std::string& address, const std::string& section,
                         const std::string& text) {
  const std::string path = board(address) + "/" + section;
  kept_.erase(path);
  std::vector<std::string> lines = split_lines(read_file(path).value_or(""));
  for (const std::string& record : split_lines(text)) {
    const std::string key = record_key(record);
    if (key.empty()) continue;
    auto same = std::find_if(lines.begin(), lines.end(),
                             [&key](const std::string& line) { return record_key(line) == key; });
    if (same != lines.end()) {
      *same = record;
    } else {
      lines.push_back(record);
    }
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (const std::string& line : lines) out << line << '\n';
  return bool(out);
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  size_t at = 0;
  while (at < text.size()) {
    if (!line_break(static_cast<unsigned char>(text[at]))) {
      ++at;
      continue;
    }
    lines.push_back(text.substr(start, at - start));
    at += (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ? 2 : 1;
    start = at;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace settingsd
