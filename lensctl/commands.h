// The lensctl command line: one command word and its numbers per run.
#pragma once

namespace lensctl {

// Runs the command of argv; returns the exit status (1 for a usage error, else 0).
int lensctl_main(int argc, char** argv);

}  // namespace lensctl
