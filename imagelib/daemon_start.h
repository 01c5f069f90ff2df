// What the image daemons (irswitchd, motiond) share at start-up: the option table (one entry
// per option gives getopt's table and the help line), the help printer, the stop signals, and
// the image library set up with "/dev/iav" open for as long as the daemon runs.
#pragma once

#include <getopt.h>

#include <cstddef>
#include <string>
#include <vector>

namespace imagelib {

struct OptionText {
  char letter;
  const char* name;
  const char* argument;  // null: takes none
  const char* help;      // with its leading tabs
};

class OptionTable {
 public:
  template <std::size_t N>
  explicit OptionTable(const OptionText (&options)[N]) : OptionTable(options, N) {}
  OptionTable(const OptionText* options, std::size_t count);

  // Starts a parse afresh (getopt keeps its place between calls); errors are not printed.
  void restart() const;
  // The next option's letter as getopt_long gives it ('?' for an error, -1 at the end), its
  // argument in optarg.
  int next(int argc, char** argv) const;
  // "<program>:", one line per option ("-n --night [0~255]\t<help>"), a blank line.
  void print_help(const char* program) const;

 private:
  const OptionText* options_;
  std::size_t count_;
  std::string letters_;
  std::vector<option> long_options_;
};

// SIGINT, SIGQUIT and SIGTERM ask the daemon to stop (a sleep they cut short ends early).
void install_stop_signals();
bool stop_signalled();

// The image library set up and "/dev/iav" open; both are released, in reverse order, when it
// goes, whichever step failed.
class ImagingSession {
 public:
  // Sets the library up and opens the device; a failure is printed (perror: "error on lib
  // init:" or "error opening /dev/iav:") and leaves the session not ready.
  ImagingSession();
  ~ImagingSession();
  ImagingSession(const ImagingSession&) = delete;
  ImagingSession& operator=(const ImagingSession&) = delete;

  bool ready() const { return iav_ >= 0; }
  int iav() const { return iav_; }

 private:
  bool set_up_ = false;
  int iav_ = -1;
};

}  // namespace imagelib
