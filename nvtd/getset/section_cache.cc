// The request's section cache: process-wide, used by the request thread only.

#include "nvtd/getset/section_cache.h"

#include <array>
#include <memory>

namespace nvtd {
namespace {

constexpr const char* kNames[kCachedSections] = {
    "INFO", "IMAGE", "ENCODE", "STREAM0", "STREAM1", "STREAM2", "STREAM3", "NETWORK", "CAM"};

// Owned by the request loop between fill and release; a section is got on its first use.
std::array<std::unique_ptr<SettingsClient>, kCachedSections> cache;
bool open = false;

SettingsClient* cached(int i) {
  if (!open) return nullptr;
  if (!cache[i]) {
    cache[i] = std::make_unique<SettingsClient>();
    cache[i]->GetSection(kNames[i]);
  }
  return cache[i].get();
}

}  // namespace

const char* section_name(SectionId id) {
  return kNames[static_cast<int>(id)];
}

void section_cache_fill() {
  section_cache_release();
  open = true;
}

void section_cache_release() {
  for (auto& client : cache) client.reset();
  open = false;
}

bool section_cache_filled() {
  return open;
}

int section_cache_fetched() {
  int n = 0;
  for (const auto& client : cache) n += client != nullptr;
  return n;
}

SettingsClient* section(SectionId id) {
  return cached(static_cast<int>(id));
}

SettingsClient* stream_section(int index) {
  if (index < 0 || index > 3) return nullptr;
  return cached(static_cast<int>(SectionId::kStream0) + index);
}

}  // namespace nvtd
