// soundtap's command line: the capture rate, the stream encoding, the AAC bit rate and
// where messages go.
#include "soundtap/options.h"

#include <cstdlib>
#include <cstring>

namespace soundtap {

Settings parse_options(int argc, const char* const* argv) {
  Settings s;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (strcmp(arg, "--samplerate") == 0) {
      if (has_value) s.sample_rate = static_cast<int32_t>(strtol(argv[++i], nullptr, 10));
    } else if (strcmp(arg, "--bitrate") == 0) {
      if (has_value) s.bitrate = static_cast<int32_t>(strtol(argv[++i], nullptr, 10));
    } else if (strcmp(arg, "--pcm") == 0) {
      s.encoding = kEncodingPcm;
    } else if (strcmp(arg, "--ulaw") == 0) {
      s.encoding = kEncodingUlaw;
    } else if (strcmp(arg, "--aac") == 0) {
      s.encoding = kEncodingAac;
    } else if (strcmp(arg, "--stdout") == 0) {
      s.use_syslog = false;
    }
  }
  return s;
}

const char* encoding_name(int32_t encoding) {
  if (encoding == kEncodingUlaw) return "ulaw";
  if (encoding == kEncodingAac) return "aac";
  return "pcm";
}

}  // namespace soundtap
