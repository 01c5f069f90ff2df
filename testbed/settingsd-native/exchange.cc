// The settings exchange state machine of the native stand-in (see exchange.h).
#include "testbed/settingsd-native/exchange.h"

#include <array>

namespace settingsd {
namespace {

struct PortSections {
  int port;
  std::array<const char*, 8> sections;
};

constexpr PortSections kPorts[] = {
    {20000, {"ENCODE", "STREAM0", "STREAM1", "STREAM2", "STREAM3", "VINVOUT", "ACTION", "OSD"}},
    {20002, {"IMAGE", "MOTION"}},
    {20004, {"CAM", "HIVE", "RECORD", "WEC", "INFO"}},
    {20006, {"EXTNET", "EXTINFO"}},
};

uint32_t word(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

void put_word(std::string* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>(value >> (8 * i) & 0xff));
}

void reply(std::string* out, uint32_t status, uint32_t length) {
  put_word(out, status);
  put_word(out, length);
}

}  // namespace

bool port_serves(int port, const std::string& section) {
  for (const PortSections& entry : kPorts) {
    if (entry.port != port) continue;
    for (const char* name : entry.sections) {
      if (name != nullptr && section == name) return true;
    }
  }
  return false;
}

Exchange::Step Exchange::feed(const char* data, size_t size, std::string* out) {
  if (phase_ == Phase::kOver) return Step::kDone;
  pending_.append(data, size);
  return advance(out);
}

Exchange::Step Exchange::advance(std::string* out) {
  if (phase_ == Phase::kHead) {
    if (pending_.size() < 12) return Step::kMore;
    command_ = word(pending_, 0);
    text_length_ = word(pending_, 4);
    name_length_ = word(pending_, 8);
    pending_.erase(0, 12);
    if (name_length_ > kMaxName || text_length_ > kMaxText) return Step::kDrop;
    phase_ = Phase::kName;
  }
  if (phase_ == Phase::kName) {
    if (pending_.size() < name_length_) return Step::kMore;
    section_ = pending_.substr(0, name_length_);
    pending_.erase(0, name_length_);
    const bool known = port_serves(port_, section_);
    if (command_ == kGet) {
      std::optional<std::string> text;
      if (known) text = store_.get(address_, section_);
      reply(out, text ? 0 : 2, text ? static_cast<uint32_t>(text->size()) : 0);
      if (text) *out += *text;
    } else if (command_ != kSet && command_ != kSetAlso) {
      reply(out, 3, 0);
    } else if (!known) {
      reply(out, 2, 0);
    } else {
      reply(out, 0, 0);  // go ahead: the text follows
      phase_ = Phase::kText;
    }
    if (phase_ != Phase::kText) {
      phase_ = Phase::kOver;
      return Step::kDone;
    }
  }
  if (pending_.size() < text_length_) return Step::kMore;
  store_.apply(address_, section_, pending_.substr(0, text_length_));
  reply(out, 0, 0);
  phase_ = Phase::kOver;
  return Step::kDone;
}

}  // namespace settingsd
