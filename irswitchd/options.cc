// Option parsing and the help text of irswitchd.
#include "irswitchd/options.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imagelib/daemon_start.h"

namespace irswitchd {

namespace {

using imagelib::OptionText;

constexpr OptionText kOptions[] = {
    {'n', "night", "0~255", "\tluma threshold for switch to night (should be < day thresh)"},
    {'d', "day", "0~255", "\tluma threshold for switch to day (should be > night thresh)"},
    {'D', "forceday", nullptr, "\t\tforce day mode"},
    {'N', "forcenight", nullptr, "\t\tforce night mode"},
    {'c', "nightcolor", nullptr, "\t\tmaintain color at night"},
    {'r', "dryrun", nullptr, "\t\tdry run - print statistics only"},
    {'v', "verbose", nullptr, "\t\tenable verbose mode"},
    {'h', "help", nullptr, "\t\tthis help"},
};

const imagelib::OptionTable& table() {
  static const imagelib::OptionTable options(kOptions);
  return options;
}

// A threshold: decimal digits only (no sign, no blanks) that fit 32 bits.
bool decimal(const char* text, uint32_t* value) {
  if (*text == '\0' || std::strspn(text, "0123456789") != std::strlen(text)) return false;
  errno = 0;
  const unsigned long long number = std::strtoull(text, nullptr, 10);
  if (errno == ERANGE || number > UINT32_MAX) return false;
  *value = static_cast<uint32_t>(number);
  return true;
}

}  // namespace

ParseResult parse_options(int argc, char** argv, Options* options) {
  table().restart();
  int c;
  while ((c = table().next(argc, argv)) != -1) {
    switch (c) {
      case 'n':
        if (!decimal(optarg, &options->night_threshold)) return ParseResult::kError;
        break;
      case 'd':
        if (!decimal(optarg, &options->day_threshold)) return ParseResult::kError;
        break;
      case 'D':
        options->force_day = true;
        break;
      case 'N':
        options->force_night = true;
        break;
      case 'c':
        options->night_colour = true;
        break;
      case 'r':
        options->dry_run = true;
        break;
      case 'v':
        options->verbose++;
        break;
      case 'h':
        return ParseResult::kHelp;
      default:
        return ParseResult::kError;
    }
  }
  return ParseResult::kRun;
}

void print_help() {
  table().print_help("irswitchd");
}

}  // namespace irswitchd
