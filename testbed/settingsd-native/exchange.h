// One settings exchange of the native stand-in, driven by the bytes that arrive on its
// connection: little-endian words (command, text length, name length), the section name,
// and for a set the text; replies of status and length as testbed/settingsd sends them.
#pragma once

#include <cstdint>
#include <string>

#include "testbed/settingsd-native/section_store.h"

namespace settingsd {

constexpr uint32_t kGet = 100;
constexpr uint32_t kSet = 101;
constexpr uint32_t kSetAlso = 103;
constexpr uint32_t kMaxName = 64;
constexpr uint32_t kMaxText = 64 * 1024;

// Whether the server on this port serves the section.
bool port_serves(int port, const std::string& section);

class Exchange {
 public:
  enum class Step { kMore, kDone, kDrop };

  Exchange(SectionStore& store, std::string address, int port)
      : store_(store), address_(std::move(address)), port_(port) {}

  // Takes arrived bytes and appends the replies they complete to *out. kDone: the exchange
  // is over once *out is sent; kDrop: close without sending more.
  Step feed(const char* data, size_t size, std::string* out);

 private:
  enum class Phase { kHead, kName, kText, kOver };
  Step advance(std::string* out);

  SectionStore& store_;
  std::string address_;
  int port_;
  Phase phase_ = Phase::kHead;
  std::string pending_;
  uint32_t command_ = 0;
  uint32_t text_length_ = 0;
  uint32_t name_length_ = 0;
  std::string section_;
};

}  // namespace settingsd
