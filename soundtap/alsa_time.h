// Time stamps read from libasound. The library hands them out as its own struct timeval, whose
// width was fixed when the library was built; this program is built with 64-bit time, so on a
// 32-bit camera the two may differ.
#pragma once

#include <alsa/asoundlib.h>
#include <sys/time.h>

namespace soundtap {

// The trigger time stamp of a status (when the stream started or last overran), in this
// program's struct timeval whichever width the library uses.
timeval trigger_tstamp(const snd_pcm_status_t* status);

}  // namespace soundtap
