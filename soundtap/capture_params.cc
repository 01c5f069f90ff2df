// The capture buffer rule.
#include "soundtap/capture_params.h"

namespace soundtap {

BufferTimes choose_buffer_times(unsigned max_buffer_us) {
  if (max_buffer_us > 500000) return {500000, 125000};
  return {max_buffer_us, max_buffer_us / 4};
}

}  // namespace soundtap
