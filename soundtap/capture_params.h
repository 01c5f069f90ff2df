// The capture buffer rule: at most half a second of buffer in periods of a quarter of it.
#ifndef SOUNDTAP_CAPTURE_PARAMS_H_
#define SOUNDTAP_CAPTURE_PARAMS_H_

namespace soundtap {

struct BufferTimes {
  unsigned buffer_us;
  unsigned period_us;
};

// Over 500000 us the buffer is cut to 500000 us with 125000 us periods; otherwise the
// device's maximum with periods of a quarter of it.
BufferTimes choose_buffer_times(unsigned max_buffer_us);

}  // namespace soundtap

#endif  // SOUNDTAP_CAPTURE_PARAMS_H_
