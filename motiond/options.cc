// Option parsing and the help text of motiond.
#include "motiond/options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "imagelib/daemon_start.h"

namespace motiond {

namespace {

using imagelib::OptionText;

constexpr OptionText kOptions[] = {
    {'s', "sensitivity", "0~100", "\tfaintest change that counts (default 50)"},
    {'m', "mincount", "1~96", "\tadjacent active tiles that make motion (default 3)"},
    {'o', "ondelay", "ms", "\t\tmotion lasts this long before the alarm (default 200)"},
    {'f', "offdelay", "ms", "\t\tstill this long before the alarm ends (default 2000)"},
    {'c', "cells", "24 hex", "\ttiles that count, 12 x 8 bits row-major (default all)"},
    {'r', "rate", "1~25", "\t\tsamples per second (default 5)"},
    {'v', "verbose", nullptr, "\t\tprint every state change"},
    {'h', "help", nullptr, "\t\tthis help"},
};

const imagelib::OptionTable& table() {
  static const imagelib::OptionTable options(kOptions);
  return options;
}

// Decimal digits only (no sign, no blanks) within low to high.
bool decimal(const char* text, int low, int high, int* value) {
  if (*text == '\0' || std::strlen(text) > 9 ||
      std::strspn(text, "0123456789") != std::strlen(text))
    return false;
  const long number = std::strtol(text, nullptr, 10);
  if (number < low || number > high) return false;
  *value = static_cast<int>(number);
  return true;
}

bool option_value(int c, const char* text, Options* o) {
  Settings& s = o->settings;
  switch (c) {
    case 's':
      return decimal(text, 0, 100, &s.sensitivity);
    case 'm':
      return decimal(text, 1, kTiles, &s.min_count);
    case 'o':
      return decimal(text, 0, 600000, &s.on_delay_ms);
    case 'f':
      return decimal(text, 0, 600000, &s.off_delay_ms);
    case 'c':
      return parse_cells(text, &s.cells);
    case 'r':
      return decimal(text, 1, 25, &o->rate);
    default:
      return false;
  }
}

}  // namespace

bool parse_cells(const std::string& hex, Cells* cells) {
  if (hex.size() != kTiles / 4 || hex.find_first_not_of("0123456789abcdefABCDEF") != hex.npos)
    return false;
  for (int i = 0; i < kTiles; ++i) {
    const char digit = hex[static_cast<size_t>(i / 4)];
    const int nibble = std::strtol(std::string(1, digit).c_str(), nullptr, 16);
    (*cells)[i] = (nibble >> (3 - i % 4)) & 1;
  }
  return true;
}

ParseResult parse_options(int argc, char** argv, Options* options) {
  table().restart();
  int c;
  while ((c = table().next(argc, argv)) != -1) {
    if (c == 'v') {
      options->verbose++;
    } else if (c == 'h') {
      return ParseResult::kHelp;
    } else if (!option_value(c, optarg, options)) {
      return ParseResult::kError;
    }
  }
  return optind == argc ? ParseResult::kRun : ParseResult::kError;
}

void print_help() {
  table().print_help("motiond");
}

}  // namespace motiond
