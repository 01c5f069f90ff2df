// Stream and audio settings read from the request's section cache.
#include "nvtd/media/stream_settings.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "nvtd/getset/section_cache.h"

namespace nvtd {
namespace {

int cached_int(const SettingsClient* client, const char* key) {
  return client ? client->GetIntValue(key) : -1;
}

// "s%d_<suffix>" of stream n (index n - 1) from the ENCODE section.
int encode_value(int stream, const char* suffix) {
  char key[32];
  snprintf(key, sizeof key, "s%d_%s", stream - 1, suffix);
  return cached_int(section(SectionId::kEncode), key);
}

// "s%d_<suffix>" of stream n from the stream's own section STREAM<n-1>.
int stream_value(int stream, const char* suffix) {
  char key[32];
  snprintf(key, sizeof key, "s%d_%s", stream - 1, suffix);
  return cached_int(stream_section(stream - 1), key);
}

}  // namespace

const char* encoding_name_of(int type) {
  return type == 2 ? "JPEG" : "H264";
}

int width_of(int resolution) {
  return resolution >> 16;
}

int height_of(int resolution) {
  return static_cast<int>(static_cast<uint32_t>(resolution) & 0xffffu);
}

int frame_rate_of(int fps) {
  return fps == -1 ? 0 : fps;
}

int kbps_of(int bits_per_second) {
  return bits_per_second < 1 ? 0 : bits_per_second / 1000;
}

int gov_length_of(int n) {
  return n < 0 ? 0 : n;
}

void prefetch_stream_settings(std::initializer_list<int> streams, bool audio) {
  std::vector<SectionId> ids = {SectionId::kEncode};
  for (int stream : streams) {
    if (stream >= 1 && stream <= 4) {
      ids.push_back(static_cast<SectionId>(static_cast<int>(SectionId::kStream0) + stream - 1));
    }
  }
  if (audio) ids.push_back(SectionId::kCam);
  section_cache_prefetch(ids);
}

const char* stream_encoding(int stream) {
  return encoding_name_of(encode_value(stream, "type"));
}
int stream_width(int stream) {
  return width_of(encode_value(stream, "resolution"));
}
int stream_height(int stream) {
  return height_of(encode_value(stream, "resolution"));
}
int stream_frame_rate(int stream) {
  return frame_rate_of(encode_value(stream, "fps"));
}
int stream_bitrate_kbps(int stream) {
  return kbps_of(stream_value(stream, "cbr_avg_bps"));
}
int stream_gov_length(int stream) {
  return gov_length_of(stream_value(stream, "N"));
}

const char* audio_encoding() {
  return cached_int(section(SectionId::kCam), "ain_encode") == 1 ? "G711" : "AAC";
}
int audio_bitrate() {
  return cached_int(section(SectionId::kCam), "ain_bitrate") / 1000;
}
int audio_sample_rate() {
  return cached_int(section(SectionId::kCam), "ain_sample_rate") / 1000;
}

}  // namespace nvtd
