// irswitchd's start-up, forced modes and once-a-second loop. The world (shell, image server,
// statistics, syslog, the clock, the stop flag) is reached through Effects.
#pragma once

#include <cstdint>
#include <string>

#include "irswitchd/forced_mode.h"
#include "irswitchd/options.h"

namespace irswitchd {

constexpr const char* kDayCommand = "/usr/local/bin/lensctl irday";
constexpr const char* kNightCommand = "/usr/local/bin/lensctl irnight";

class Effects {
 public:
  virtual ~Effects() = default;
  virtual void shell(const char* command) = 0;                  // system(), waited for
  virtual void picture(int monochrome) = 0;                     // image-server command 43
  virtual void announce(const char* mode) = 0;                  // the "daynight" camera state
  virtual int read_statistics(uint8_t* rgb, uint8_t* cfa) = 0;  // stats_read
  virtual void open_log() = 0;                                  // openlog
  virtual void log(int priority, const std::string& text) = 0;  // syslog
  virtual void print(const std::string& text) = 0;              // standard output
  virtual void sleep_second() = 0;
  virtual bool stop_requested() = 0;
  // The filter mode asked for through the state directory (none unless a world has one).
  virtual ForcedMode forced_mode() { return ForcedMode::kAuto; }
};

// Everything after the device is open: a forced day or night mode is set and run returns;
// otherwise the camera starts in day mode (night when "ircut-mode" says night) with the log
// open (not in a dry run), then once a second holds the side "ircut-mode" asks for or, in
// auto, reads the statistics and switches between day and night, until a stop is requested.
void run(const Options& options, Effects& effects);

// The whole program: options, signals, library and "/dev/iav", run, shutdown. Returns the
// exit status.
int irswitchd_main(int argc, char** argv);

}  // namespace irswitchd
