// lensctl: focus motor, autofocus and infrared-cut filter of the camera's lens, one command per
// run.
#include "lensctl/commands.h"

int main(int argc, char** argv) {
  return lensctl::lensctl_main(argc, argv);
}
