// motiond: motion detection from the image pipeline's tile statistics, written as the "motion"
// camera state.
#include "motiond/daemon.h"

int main(int argc, char** argv) {
  return motiond::motiond_main(argc, argv);
}
