// The request value's derived views.
#include "nvtd/core/request.h"

namespace nvtd {

std::string_view Request::body_part() const {
  std::string_view whole = body;
  std::size_t at = whole.find("Body");
  return at == std::string_view::npos ? std::string_view() : whole.substr(at);
}

}  // namespace nvtd
