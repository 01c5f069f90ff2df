// Readers of the encoder and audio state for the media responses: each reads one value from
// the request's section cache (ENCODE, STREAM0..STREAM3, CAM) and converts it as the media
// service reports it. Streams are numbered 1..4; their settings keys use 0..3.
#pragma once

#include <initializer_list>

namespace nvtd {

// Conversions of raw setting values (a missing key reads as -1).
// "s%d_type": 0 or 1 is "H264", 2 is "JPEG"; any other value, a failed read included, is
// also reported as "H264", the camera's default encoding, so the answer stays a valid
// ONVIF encoding name.
const char* encoding_name_of(int type);
int width_of(int resolution);      // the value shifted right by 16
int height_of(int resolution);     // its low 16 bits
int frame_rate_of(int fps);        // -1 (failed read) gives 0
int kbps_of(int bits_per_second);  // below 1 gives 0; else truncated thousands
int gov_length_of(int n);          // negative gives 0

// Stream n (1..4) from the section cache; outside a request (no cache) every key is missing.
// For a handler about to read several streams: gets ENCODE, the streams' own sections
// (streams 1 to 4) and, with audio, CAM side by side, each at most once per request.
void prefetch_stream_settings(std::initializer_list<int> streams, bool audio = false);

const char* stream_encoding(int stream);
int stream_width(int stream);
int stream_height(int stream);
int stream_frame_rate(int stream);
int stream_bitrate_kbps(int stream);
int stream_gov_length(int stream);

// The audio input, from the cached CAM section.
const char* audio_encoding();  // "G711" when "ain_encode" is 1, else "AAC"
int audio_bitrate();           // "ain_bitrate" / 1000
int audio_sample_rate();       // "ain_sample_rate" / 1000

}  // namespace nvtd
