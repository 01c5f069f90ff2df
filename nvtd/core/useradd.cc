// Placeholder for the users-file line writer; the authentication module replaces this file
// with the real one (enciphered secret, "%s:%s:%s:a:").
#include "nvtd/core/useradd.h"

namespace nvtd {

void useradd(const char* /*username*/, const char* /*password*/, const char* /*level*/) {}

}  // namespace nvtd
