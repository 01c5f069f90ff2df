// soundtap: the camera's audio daemon (capture, encoding, distribution to consumer FIFOs).
#include "soundtap/daemon.h"

int main(int argc, char** argv) {
  return soundtap::run_soundtap(argc, argv);
}
