// The focus value: the AF tiles' sharpness weighted toward the picture's centre, and the
// contrast (spread of the sharpness) from a fresh statistics read.
#pragma once

#include <cstdint>
#include <vector>

namespace lensctl {

struct FocusSample {
  int32_t value = 0;     // sum over the 16 x 16 AF tiles of sharpness x weight
  int32_t contrast = 0;  // largest minus smallest sharpness
};

// The sample of a CFA statistics result (its AF list, in stored order, as a 16 x 16 grid).
FocusSample focus_of(const uint8_t* cfa_result);

// Sets up the image library when this run has not, and opens "/dev/iav"; returns the
// descriptor, or -1 after perror "/dev/iav".
int open_statistics();

// Reads samples from the driver behind an open "/dev/iav".
class FocusMeter {
 public:
  FocusMeter(int iav_fd, bool verbose);
  // Fills sample from a fresh read; a failed read is reported and leaves it unchanged.
  void measure(FocusSample* sample);

 private:
  int fd_;
  bool verbose_;
  bool first_ = true;
  std::vector<uint8_t> rgb_;
  std::vector<uint8_t> cfa_;
};

}  // namespace lensctl
