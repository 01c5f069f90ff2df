// Command dispatch of lensctl: the expander is set up first (except for "focusval"), then the
// command word picks a move, a filter pulse, a register write or the autofocus.
#include "lensctl/commands.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "lensctl/arguments.h"
#include "lensctl/autofocus.h"
#include "lensctl/expander.h"
#include "lensctl/focusval.h"
#include "lensctl/motor.h"

namespace lensctl {

namespace {

constexpr uint8_t kDefaultFocusSteps = 120;

int usage(const char* program) {
  printf(
      "usage: %s\n\tzoomin\n\tzoomout\n\tfocusnear\n\tfocusfar\n\tautofocus\n\tfocusval\n"
      "\tzoomstepin <step> <count>\n\tzoomstepout <step> <count>\n\tfocusstepnear <step> "
      "<count>\n\tfocusstepfar <step> <count>\n\tirday\n\tirnight\n\twrite <addr> <data>\n",
      program);
  return 1;
}

bool needs_two_numbers(const std::string& command) {
  return command == "zoomstepin" || command == "zoomstepout" || command == "focusstepnear" ||
         command == "focusstepfar" || command == "write";
}

void dispatch(Expander& expander, const std::string& command, uint8_t a, uint8_t b) {
  if (command == "zoomin" || command == "zoomout" || command == "zoomstepin" ||
      command == "zoomstepout") {
    return;  // the lens has no zoom drive
  }
  if (command == "focusnear") {
    near_move(expander, kDefaultFocusSteps, 1);
  } else if (command == "focusfar") {
    far_move(expander, kDefaultFocusSteps, 1);
  } else if (command == "focusstepnear") {
    near_move(expander, a, b);
  } else if (command == "focusstepfar") {
    far_move(expander, a, b);
  } else if (command == "irday") {
    filter_pulse(expander, FilterSide::kDay);
  } else if (command == "irnight") {
    filter_pulse(expander, FilterSide::kNight);
  } else if (command == "write") {
    expander.write_register(a, b);
  } else if (command == "autofocus") {
    run_autofocus(expander, false);
  } else if (command == "vautofocus") {
    run_autofocus(expander, true);
  } else {
    printf("unknown command %s\n", command.c_str());
  }
}

}  // namespace

int lensctl_main(int argc, char** argv) {
  if (argc < 2) return usage(argv[0]);
  const std::string command = argv[1];
  if (command == "focusval") {
    run_focusval();
    return 0;
  }
  uint8_t a = 0, b = 0;
  if (needs_two_numbers(command)) {
    if (argc < 4) return usage(argv[0]);  // never read arguments that are not there
    if (!parse_byte_argument(argv[2], &a) || !parse_byte_argument(argv[3], &b)) {
      return usage(argv[0]);
    }
  }
  Expander expander;
  expander.open();
  dispatch(expander, command, a, b);
  return 0;
}

}  // namespace lensctl
