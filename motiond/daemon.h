// motiond's sampling loop: statistics in, the "motion" camera state and the tamper states out. The
// world (statistics, the "daynight" state, the state file, syslog, the clock, the stop flag) is
// reached through Effects, so the loop runs as well against the virtual camera at virtual time.
#pragma once

#include <cstdint>
#include <string>

#include "motiond/detector.h"
#include "motiond/options.h"
#include "motiond/tamper.h"

namespace motiond {

class Effects {
 public:
  virtual ~Effects() = default;
  virtual int read_statistics(uint8_t* rgb, uint8_t* cfa) = 0;  // stats_read: 0 or -1
  virtual std::string day_night() = 0;                          // the "daynight" state, or ""
  virtual int write_motion(bool motion) = 0;                    // the "motion" state: 0 or -1
  virtual void log(int priority, const std::string& text) = 0;  // syslog
  virtual void print(const std::string& text) = 0;              // standard output
  virtual int64_t now_ms() = 0;                                 // a monotonic clock
  virtual void wait_until_ms(int64_t when) = 0;                 // a stop signal cuts it short
  virtual bool stop_requested() = 0;
  // A tamper state (tamper_state_name): 0 or -1. A world without them ignores them.
  virtual int write_tamper(int /*kind*/, bool /*raised*/) { return 0; }
  // What each sample found (the bench draws it); nothing by default.
  virtual void sampled(int64_t /*now_ms*/, const Step& /*step*/, const TamperStep& /*tamper*/) {}
};

// The AE tiles of a CFA statistics result; false when its AE grid is not 12 x 8.
bool ae_tiles(const uint8_t* cfa_result, Tiles* tiles);
// The AF tiles' sharpness; false when its AF grid is not 16 x 16.
bool af_sharpness(const uint8_t* cfa_result, Sharpness* sharpness);

// Writes the states at start ("false"), then samples at the rate until a stop is requested,
// writing each state whenever it changes (and again after a failed write); at the stop a
// "true" is taken back.
void run(const Options& options, Effects& effects);

// The whole program: options, signals, library and "/dev/iav", run, shutdown. Returns the
// exit status.
int motiond_main(int argc, char** argv);

}  // namespace motiond
