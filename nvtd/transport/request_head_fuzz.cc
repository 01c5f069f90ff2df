// Fuzz target: the server-mode request head parser and the request made from what it found.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "nvtd/transport/http_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > nvtd::kHeadLimit) size = nvtd::kHeadLimit;  // the server never reads more
  nvtd::RequestHead head;
  if (nvtd::parse_request_head(std::string_view(reinterpret_cast<const char*>(data), size),
                               &head) == 0) {
    nvtd::Request request = nvtd::request_from_head(head);
    (void)request;
  }
  return 0;
}
