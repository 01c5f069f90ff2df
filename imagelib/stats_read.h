// Reading the AAA statistics from the video driver: one request fills the statistics areas
// with up to four vertical slices, which are joined into two whole-picture results.
#pragma once

#include <cstdint>

// Fills rgb_result (3460 bytes) and cfa_result (14980 bytes) from the driver behind fd;
// returns 0, or -1 when the request fails or the driver's report can't be merged.
int stats_read(int fd, uint8_t* rgb_result, uint8_t* cfa_result);

namespace imagelib {

// Three bytes the driver sets with each report (their values are not used); the library's own
// unless placed elsewhere.
extern uint8_t* stat_ready_flags;

// The word size of the request record: the camera's 32-bit words or pointer-sized ones.
enum class RequestLayout { kCamera32, kPointer };

// stats_read with a chosen request layout (stats_read uses the build's own, kPointer).
int stats_read_as(RequestLayout layout, int fd, uint8_t* rgb_result, uint8_t* cfa_result);

}  // namespace imagelib
