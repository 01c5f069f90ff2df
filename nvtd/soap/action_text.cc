// Finding the action text of a request, in the order a SOAP 1.2 client may state it.
#include "nvtd/soap/action_text.h"

#include <cstring>

#include "nvtd/soap/element_reader.h"

namespace nvtd {

std::optional<std::string> find_action_text(const char* soap_action, const char* content_type,
                                            std::string_view body) {
  if (soap_action != nullptr) return std::string(soap_action);
  if (content_type != nullptr && std::strstr(content_type, "action=") != nullptr) {
    return std::string(content_type);
  }
  // The Action element is read up to 255 characters; a longer one is cut there.
  if (auto action = element_text(body, "Action", 256)) return action;
  if (!body.empty()) return std::string(body);
  return std::nullopt;
}

}  // namespace nvtd
