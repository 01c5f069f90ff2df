// Set-up and teardown of the image library: registers the default operations, allocates the
// statistics areas the driver fills and the colour-correction working buffers.
#pragma once

#include <cstdint>

// Returns 0, or -1 when an operation is missing, the library is already set up or an
// allocation fails (everything allocated is then released). Both programs pass 0 and 0.
int imagelib_setup(int mode, int value);
// Releases everything set-up allocated; 0, or -1 when an operation is missing.
int imagelib_teardown();

namespace imagelib {

// The statistics areas (null until set up). Single-threaded process state.
extern uint8_t* rgb_stat_internal;
extern uint8_t* cfa_stat_internal;
extern uint8_t* p_hist_statistics;

bool initialised();

}  // namespace imagelib
