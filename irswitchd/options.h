// irswitchd's command line: thresholds, forced modes, night colour, dry run, verbosity, help.
#pragma once

#include <cstdint>

namespace irswitchd {

struct Options {
  uint32_t night_threshold = 10;
  uint32_t day_threshold = 20;
  bool force_day = false;
  bool force_night = false;
  bool night_colour = false;
  bool dry_run = false;
  int verbose = 0;
};

enum class ParseResult { kRun, kHelp, kError };

// Parses argv (option errors are not printed). A threshold that is not a plain decimal
// number is an error like an unknown option.
ParseResult parse_options(int argc, char** argv, Options* options);
// Prints the help text.
void print_help();

}  // namespace irswitchd
