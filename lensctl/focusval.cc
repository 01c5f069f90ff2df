// The continuous focus value printer.
#include "lensctl/focusval.h"

#include <csignal>
#include <cstdio>

#include "imagelib/platform/device.h"
#include "lensctl/focus_measure.h"

namespace lensctl {

namespace {

volatile std::sig_atomic_t stop_requested = 0;

void request_stop(int) {
  stop_requested = 1;
}

}  // namespace

void run_focusval() {
  platform::DeviceFd iav(open_statistics());
  if (iav.get() < 0) return;
  for (int sig : {SIGINT, SIGQUIT, SIGTERM, SIGPIPE}) std::signal(sig, request_stop);
  stop_requested = 0;
  FocusMeter meter(iav.get(), false);
  FocusSample sample;
  while (!stop_requested) {
    meter.measure(&sample);
    printf("%u ", static_cast<unsigned>(sample.value));
    fflush(stdout);
  }
}

}  // namespace lensctl
