// The two per-request hooks; plain function pointers set once at start-up.
#include "nvtd/core/request_hooks.h"

namespace nvtd {
namespace {

RequestHook fill_hook = nullptr;
RequestHook release_hook = nullptr;
RequestCheck failed_check = nullptr;

}  // namespace

void set_request_hooks(RequestHook fill, RequestHook release) {
  fill_hook = fill;
  release_hook = release;
}

void run_fill_hook() {
  if (fill_hook) fill_hook();
}

void run_release_hook() {
  if (release_hook) release_hook();
}

void set_settings_failed_check(RequestCheck check) {
  failed_check = check;
}

bool request_settings_failed() {
  return failed_check != nullptr && failed_check();
}

}  // namespace nvtd
