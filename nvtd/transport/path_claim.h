// Claiming a fixed name in a directory everybody may write to (/tmp): whatever another user
// left there is renamed aside, never followed or opened, so that nvtd can make its own.
#pragma once

#include <sys/stat.h>

namespace nvtd {

// Decides from lstat's answer whether what stands at a path is ours to keep.
using KeepTest = bool (*)(const struct stat&);

// Clears path for a new file of ours: anything there that keep refuses (a directory, full or
// empty, a file, a link, a FIFO of another owner) is renamed to a fresh name beside it
// ("<path>.aside.<random>") and the move logged. 1 when what stands there is kept, 0 when the
// path is free now, -1 with errno when it could be neither kept nor moved.
int clear_path(const char* path, KeepTest keep);

// How often a maker clears and tries again when the name is taken in between.
inline constexpr int kClaimRounds = 20;

}  // namespace nvtd
