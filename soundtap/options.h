// soundtap's command line: the capture rate, the stream encoding, the AAC bit rate and
// where messages go. Fixed for the life of the process.
#ifndef SOUNDTAP_OPTIONS_H_
#define SOUNDTAP_OPTIONS_H_

#include <cstdint>

namespace soundtap {

constexpr int32_t kEncodingPcm = 1;
constexpr int32_t kEncodingUlaw = 2;
constexpr int32_t kEncodingAac = 3;

struct Settings {
  int32_t sample_rate = 48000;
  int32_t encoding = kEncodingUlaw;
  int32_t bitrate = 128000;
  bool use_syslog = true;
};

// Options are matched exactly, in any order; unknown arguments are ignored and a later
// option overrides an earlier one. A value option given last (no value follows) is ignored.
Settings parse_options(int argc, const char* const* argv);

// "ulaw" for 2, "aac" for 3, "pcm" for anything else.
const char* encoding_name(int32_t encoding);

}  // namespace soundtap

#endif  // SOUNDTAP_OPTIONS_H_
