// The created-profile store: first-free-slot allocation over five slots, and the use
// counters kept in step with every token a slot takes or gives up.
#include "nvtd/media/profile_store.h"

#include <algorithm>
#include <cstring>

#include "nvtd/events/event_service.h"

namespace nvtd {

std::array<profile_slot, kProfileSlots> profile_table;
int32_t vsc_use_count = 0;
int32_t asc_use_count = 0;
int32_t aec_use_count = 0;
std::array<VencUse, 4> venc_use_table = {{{"T-VEConf-stream1", 0},
                                          {"T-VEConf-stream2", 0},
                                          {"T-VEConf-stream3", 0},
                                          {"T-VEConf-stream4", 0}}};

namespace {

profile_slot* find_slot(std::string_view token) {
  for (auto& slot : profile_table) {
    if (slot.in_use && slot.token == token) return &slot;
  }
  return nullptr;
}

// The venc_use_table entry of exactly this token, or nullptr.
VencUse* venc_entry(std::string_view token) {
  for (auto& entry : venc_use_table) {
    if (entry.token == token) return &entry;
  }
  return nullptr;
}

void release_video_encoder(profile_slot* slot) {
  if (!slot->video_encoder_token) return;
  if (VencUse* entry = venc_entry(*slot->video_encoder_token)) --entry->use_count;
  slot->video_encoder_token.reset();
}

// Releases a held token of a kind counted by one counter; false when none was held.
bool release_counted(std::optional<std::string>* held, int32_t* counter) {
  if (!*held) return false;
  held->reset();
  --*counter;
  return true;
}

// The profile's change, told to event subscribers; passes `result` on.
int changed(const profile_slot* slot, int result = 0) {
  event_profile_changed(slot->token);
  return result;
}

void copy_bounded(const std::optional<std::string>& value, char* out, std::size_t size) {
  if (size == 0) return;
  std::size_t n = value ? std::min(value->size(), size - 1) : 0;
  if (n > 0) std::memcpy(out, value->data(), n);
  out[n] = '\0';
}

}  // namespace

void profile_store_reset() {
  for (auto& slot : profile_table) slot = profile_slot{};
  vsc_use_count = asc_use_count = aec_use_count = 0;
  for (int i = 0; i < 4; ++i) {
    venc_use_table[i] = VencUse{"T-VEConf-stream" + std::to_string(i + 1), 0};
  }
}

int profile_create(const std::string& name, const std::string& token) {
  if (find_slot(token)) return 0;
  for (auto& slot : profile_table) {
    if (slot.in_use) continue;
    slot = profile_slot{};
    slot.name = name;
    slot.token = token;
    slot.in_use = true;
    return changed(&slot);
  }
  return -1;
}

int profile_delete(const std::string& token) {
  profile_slot* slot = find_slot(token);
  if (!slot) return -1;
  release_counted(&slot->video_source_token, &vsc_use_count);
  release_counted(&slot->audio_source_token, &asc_use_count);
  release_counted(&slot->audio_encoder_token, &aec_use_count);
  release_video_encoder(slot);
  changed(slot);
  *slot = profile_slot{};
  return 0;
}

int profile_exists(std::string_view token) {
  return find_slot(token) ? 1 : 0;
}

int profile_rename(std::string_view token, const std::string& name) {
  profile_slot* slot = find_slot(token);
  if (!slot) return -1;
  if (slot->name == name) return 0;
  slot->name = name;
  return changed(slot);
}

int profile_count() {
  int count = 0;
  for (const auto& slot : profile_table) count += slot.in_use ? 1 : 0;
  return count;
}

int profile_next(int position, const profile_slot** slot) {
  for (int i = position < 0 ? 0 : position; i < kProfileSlots; ++i) {
    if (!profile_table[i].in_use) continue;
    *slot = &profile_table[i];
    return i + 1;
  }
  return -1;
}

int profile_get_video_tokens(std::string_view token, char* source, std::size_t source_size,
                             char* encoder, std::size_t encoder_size) {
  profile_slot* slot = find_slot(token);
  if (!slot) return -2;
  copy_bounded(slot->video_source_token, source, source_size);
  copy_bounded(slot->video_encoder_token, encoder, encoder_size);
  return 0;
}

int profile_attach_video_source(std::string_view token, const std::string& configuration) {
  profile_slot* slot = find_slot(token);
  if (!slot) return -1;
  if (slot->video_source_token) return 0;  // a second attach does not count again
  slot->video_source_token = configuration;
  ++vsc_use_count;
  return changed(slot);
}

int profile_attach_audio_source(std::string_view token, const std::string& configuration) {
  profile_slot* slot = find_slot(token);
  if (!slot) return -1;
  if (slot->audio_source_token) return 0;
  slot->audio_source_token = configuration;
  ++asc_use_count;
  return changed(slot);
}

int profile_attach_video_encoder(std::string_view token, const std::string& configuration) {
  profile_slot* slot = find_slot(token);
  if (!slot) return -1;
  release_video_encoder(slot);
  slot->video_encoder_token = configuration;
  if (VencUse* entry = venc_entry(configuration)) ++entry->use_count;
  return changed(slot);
}

int profile_attach_audio_encoder(std::string_view token, const std::string& configuration) {
  profile_slot* slot = find_slot(token);
  if (!slot) return -1;
  release_counted(&slot->audio_encoder_token, &aec_use_count);
  slot->audio_encoder_token = configuration;
  ++aec_use_count;
  return changed(slot);
}

int profile_detach_video_source(std::string_view token) {
  profile_slot* slot = find_slot(token);
  return slot && release_counted(&slot->video_source_token, &vsc_use_count) ? changed(slot) : -1;
}

int profile_detach_audio_source(std::string_view token) {
  profile_slot* slot = find_slot(token);
  return slot && release_counted(&slot->audio_source_token, &asc_use_count) ? changed(slot) : -1;
}

int profile_detach_audio_encoder(std::string_view token) {
  profile_slot* slot = find_slot(token);
  return slot && release_counted(&slot->audio_encoder_token, &aec_use_count) ? changed(slot) : -1;
}

int profile_detach_video_encoder(std::string_view token) {
  profile_slot* slot = find_slot(token);
  if (!slot || !slot->video_encoder_token) return -1;
  release_video_encoder(slot);
  return changed(slot);
}

int profile_attach_metadata(std::string_view token, const std::string& configuration) {
  profile_slot* slot = find_slot(token);
  if (!slot) return -1;
  if (slot->metadata_token == configuration) return 0;
  slot->metadata_token = configuration;
  return changed(slot);
}

int profile_detach_metadata(std::string_view token) {
  profile_slot* slot = find_slot(token);
  if (!slot || !slot->metadata_token) return -1;
  slot->metadata_token.reset();
  return changed(slot);
}

int32_t venc_use_count(int stream) {
  if (stream < 1 || stream > 4) return 0;
  return venc_use_table[stream - 1].use_count;
}

int profile_exists(const char* token) {
  return token != nullptr && profile_exists(std::string_view(token)) ? 1 : 0;
}

}  // namespace nvtd
