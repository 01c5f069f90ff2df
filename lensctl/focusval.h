// "focusval": prints the focus value continuously until a stop signal.
#pragma once

namespace lensctl {

void run_focusval();

}  // namespace lensctl
