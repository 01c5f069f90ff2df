// motiond's command line: sensitivity, minimum count, on and off delays, active cells, sample
// rate, verbosity, help.
#pragma once

#include <string>

#include "motiond/detector.h"

namespace motiond {

struct Options {
  Settings settings;
  int rate = 5;  // samples per second
  int verbose = 0;
};

enum class ParseResult { kRun, kHelp, kError };

// Parses argv (option errors are not printed). Numbers are plain decimals within their range;
// the cells are 24 hexadecimal digits, one bit per tile, row-major, the first tile in the
// highest bit of the first digit (the bit order of ONVIF's ActiveCells).
ParseResult parse_options(int argc, char** argv, Options* options);
bool parse_cells(const std::string& hex, Cells* cells);
void print_help();

}  // namespace motiond
