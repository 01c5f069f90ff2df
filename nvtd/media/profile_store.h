// The created media profiles: five slots kept in the process's memory and the use counters of
// the configurations they hold (the token-to-stream mapping asks it through profile_exists).
// Both media services change it; every change raises Media/ProfileChanged for the profile.
// Used by the request thread only, one request at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nvtd {

inline constexpr int kProfileSlots = 5;

struct profile_slot {
  std::string name;   // empty when the slot is free
  std::string token;  // the key every action addresses the profile by
  std::optional<std::string> video_source_token;
  std::optional<std::string> video_encoder_token;
  std::optional<std::string> audio_source_token;
  std::optional<std::string> audio_encoder_token;
  std::optional<std::string> metadata_token;  // held through Media2 only; not counted
  bool in_use = false;
};

// One video encoder configuration token ("T-VEConf-stream1" .. "-stream4") and the number of
// created profiles that hold exactly that token.
struct VencUse {
  std::string token;
  int32_t use_count = 0;
};

extern std::array<profile_slot, kProfileSlots> profile_table;
extern int32_t vsc_use_count;  // created profiles holding a video source token
extern int32_t asc_use_count;  // ... an audio source token
extern int32_t aec_use_count;  // ... an audio encoder token
extern std::array<VencUse, 4> venc_use_table;

// All slots free, every counter zero, the four encoder tokens in venc_use_table.
void profile_store_reset();

// 0 when stored or when the token already exists (nothing changes); -1 when all slots are used.
int profile_create(const std::string& name, const std::string& token);
// 0, or -1 when no profile has this token. Releases its tokens and their counts.
int profile_delete(const std::string& token);
// 1 or 0.
int profile_exists(std::string_view token);
int profile_count();
// 0, or -1 when no profile has this token.
int profile_rename(std::string_view token, const std::string& name);

// Iteration over the slots in use, in slot order: start with position 0; returns the position
// after the slot found and points *slot at it, or -1 when there is none left.
int profile_next(int position, const profile_slot** slot);

// Copies the profile's video source and video encoder tokens (empty when absent), each cut to
// its buffer size; -2 when no profile has this token.
int profile_get_video_tokens(std::string_view token, char* source, std::size_t source_size,
                             char* encoder, std::size_t encoder_size);

// Attach: 0, or -1 when no profile has this token. Detach: 0, or -1 when no profile has this
// token or it holds no configuration of that kind.
int profile_attach_video_source(std::string_view token, const std::string& configuration);
int profile_attach_video_encoder(std::string_view token, const std::string& configuration);
int profile_attach_audio_source(std::string_view token, const std::string& configuration);
int profile_attach_audio_encoder(std::string_view token, const std::string& configuration);
int profile_detach_video_source(std::string_view token);
int profile_detach_video_encoder(std::string_view token);
int profile_detach_audio_source(std::string_view token);
int profile_detach_audio_encoder(std::string_view token);
int profile_attach_metadata(std::string_view token, const std::string& configuration);
int profile_detach_metadata(std::string_view token);

// Use count of video encoder configuration n (1..4) among the created profiles; 0 otherwise.
int32_t venc_use_count(int stream);

// The same for a NUL-terminated token (the form profile_to_stream asks with).
int profile_exists(const char* token);

}  // namespace nvtd
