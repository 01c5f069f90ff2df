// The two video Set operations: SetVideoEncoderConfiguration, the one media operation that
// writes camera settings (frame rate, bitrate, GOV length and encoding of streams 1 and 2),
// and SetVideoSourceConfiguration, which only checks the bounds against the fixed source.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// The directories whose presence (execute access) turns SetVideoEncoderConfiguration into a
// success that changes nothing: an application on the camera owns the encoder settings.
inline constexpr const char* kApplicationDirectories[] = {
    "/usr/local/apps/corvane", "/usr/local/apps/harborlane", "/usr/local/apps/fennick-ridge"};

// True when one of the application directories is present.
bool application_present();

// What a SetVideoEncoderConfiguration of either media service asks of stream 1 or 2; an
// absent value leaves its setting as it is.
struct VideoEncoderChange {
  std::optional<std::string> encoding;  // "H264" or "JPEG"
  std::optional<long> frame_rate;       // 1..30
  std::optional<long> bitrate_kbps;     // clamped to 20000, then at least 101
  std::optional<long> gov_length;       // 5..30
  std::optional<long> width, height;    // must equal the stream's own
};
enum class EncoderSetResult {
  kWritten,             // every value checked and written
  kOwnedByApplication,  // an application owns the encoder: nothing checked or written
  kRefused,             // a value was refused, or a write failed (earlier writes stay)
};
// The one path by which the media services change the encoder settings of `stream` (1 or 2):
// all values are checked before the first write; the writes go frame rate, bitrate, GOV
// length, encoding, each through its own settings client.
EncoderSetResult set_video_encoder(int stream, const VideoEncoderChange& change);

// The one path by which the media services set the video source configuration: accepted
// (true) when the text from the first "Bounds" on names the bounds of the fixed source, x and
// y 0 and stream 1's width and height. Nothing is written: the source has nothing else to set.
bool set_video_source(std::string_view text);

// Plain handlers: the elements are read from the whole request body.
HandlerOutcome handle_set_video_encoder_config(const Request& request, Reply& reply);
HandlerOutcome handle_set_video_source_config(const Request& request, Reply& reply);

}  // namespace nvtd
