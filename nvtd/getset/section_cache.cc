// The request's section cache: process-wide, used by the request thread only.

#include "nvtd/getset/section_cache.h"

#include <array>
#include <memory>

namespace nvtd {
namespace {

constexpr const char* kNames[kCachedSections] = {
    "INFO", "IMAGE", "ENCODE", "STREAM0", "STREAM1", "STREAM2", "STREAM3", "NETWORK", "CAM"};

// Owned by the request loop between fill and release.
std::array<std::unique_ptr<SettingsClient>, kCachedSections> cache;

}  // namespace

const char* section_name(SectionId id) {
  return kNames[static_cast<int>(id)];
}

void section_cache_fill() {
  section_cache_release();
  for (int i = 0; i < kCachedSections; ++i) {
    cache[i] = std::make_unique<SettingsClient>();
    cache[i]->GetSection(kNames[i]);
  }
}

void section_cache_release() {
  for (auto& client : cache) client.reset();
}

bool section_cache_filled() {
  return cache[0] != nullptr;
}

SettingsClient* section(SectionId id) {
  return cache[static_cast<int>(id)].get();
}

SettingsClient* stream_section(int index) {
  if (index < 0 || index > 3) return nullptr;
  return cache[static_cast<int>(SectionId::kStream0) + index].get();
}

}  // namespace nvtd
