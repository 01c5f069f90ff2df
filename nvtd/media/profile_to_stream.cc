// Mapping a profile or configuration token to its stream number.
#include "nvtd/media/profile_to_stream.h"

#include <string>

#include "nvtd/media/profile_store.h"
#include "nvtd/soap/element_reader.h"

namespace nvtd {

int stream_of_token(std::string_view token, bool created_profile) {
  constexpr const char* kStreams[] = {"stream1", "stream2", "stream3", "stream4"};
  for (int n = 0; n < 4; ++n) {
    if (token.find(kStreams[n]) != std::string_view::npos) return n + 1;
  }
  return created_profile ? 1 : -1;
}

int profile_to_stream(std::string_view body, const char* element_name) {
  auto token = element_text(body, element_name, 32);
  if (!token) return -1;
  return stream_of_token(*token, profile_exists(token->c_str()) == 1);
}

}  // namespace nvtd
