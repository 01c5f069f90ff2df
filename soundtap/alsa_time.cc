// Time stamps read from libasound (see alsa_time.h).
#include "soundtap/alsa_time.h"

#include <cstdint>
#include <cstring>

namespace soundtap {

timeval trigger_tstamp(const snd_pcm_status_t* status) {
  timeval tv{};
  if constexpr (sizeof(time_t) == 8 && sizeof(long) == 4) {
    // A 32-bit program with 64-bit time: a library built with 32-bit time writes two 32-bit
    // words and leaves the rest of the buffer alone; one built with 64-bit time writes two
    // 64-bit words, and a microsecond count never has all its upper bytes set.
    static_assert(sizeof(timeval) == 16, "64-bit seconds and microseconds");
    alignas(timeval) unsigned char raw[sizeof(timeval)];
    memset(raw, 0xFF, sizeof raw);
    snd_pcm_status_get_trigger_tstamp(status, reinterpret_cast<snd_timestamp_t*>(raw));
    static const unsigned char kUntouched[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    if (memcmp(raw + 8, kUntouched, 8) == 0) {
      int32_t sec, usec;
      memcpy(&sec, raw, 4);
      memcpy(&usec, raw + 4, 4);
      tv.tv_sec = sec;
      tv.tv_usec = usec;
    } else {
      memcpy(&tv, raw, sizeof tv);
    }
  } else {
    snd_pcm_status_get_trigger_tstamp(status, &tv);
  }
  return tv;
}

}  // namespace soundtap
