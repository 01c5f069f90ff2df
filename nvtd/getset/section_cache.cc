// The request's section cache: process-wide, used by the request thread only.

#include "nvtd/getset/section_cache.h"

#include <array>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "nvtd/getset/exchange_bounds.h"

namespace nvtd {
namespace {

constexpr const char* kNames[kCachedSections] = {
    "INFO", "IMAGE", "ENCODE", "STREAM0", "STREAM1", "STREAM2", "STREAM3", "NETWORK", "CAM"};

// Owned by the request loop between fill and release; a section is got on its first use.
// The server addresses are read once per request, when the first client is made.
std::array<std::unique_ptr<SettingsClient>, kCachedSections> cache;
std::optional<ServerAddresses> addresses;
bool open = false;
// The thread's failed exchanges when the request began.
int failures_before = 0;

SettingsClient& new_client(int i) {
  const SettingsSetup& setup = settings_setup();
  if (!addresses) addresses = read_server_addresses(setup);
  cache[i] = std::make_unique<SettingsClient>(setup, *addresses);
  return *cache[i];
}

SettingsClient* cached(int i) {
  if (!open) return nullptr;
  if (!cache[i]) new_client(i).GetSection(kNames[i]);
  return cache[i].get();
}

}  // namespace

const char* section_name(SectionId id) {
  return kNames[static_cast<int>(id)];
}

void section_cache_fill() {
  section_cache_release();
  open = true;
  failures_before = failed_exchanges();
  start_exchange_budget();
}

void section_cache_release() {
  for (auto& client : cache) client.reset();
  addresses.reset();
  open = false;
  end_exchange_budget();
}

bool section_cache_failed() {
  return open && failed_exchanges() != failures_before;
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

void section_cache_prefetch(const std::vector<SectionId>& ids) {
  if (!open) return;
  std::vector<std::pair<int, SettingsClient::PendingGet>> sent;
  for (SectionId id : ids) {
    const int i = static_cast<int>(id);
    if (!cache[i]) sent.emplace_back(i, new_client(i).SendGet(kNames[i]));
  }
  for (auto& [i, pending] : sent) cache[i]->ReceiveGet(kNames[i], std::move(pending));
}

}  // namespace nvtd
