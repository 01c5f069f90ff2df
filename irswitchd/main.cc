// irswitchd: the day/night daemon (infrared-cut filter and monochrome picture by scene luma).
#include "irswitchd/daemon.h"

int main(int argc, char** argv) {
  return irswitchd::irswitchd_main(argc, argv);
}
