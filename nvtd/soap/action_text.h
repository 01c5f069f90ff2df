// Decides the text in which a request's operation name is searched: the SOAPAction
// header, a content type carrying an action parameter, the body's Action element or the
// body itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nvtd {

// soap_action and content_type are the HTTP_SOAPACTION and CONTENT_TYPE values, nullptr
// when unset; body is the request body (empty when there is none). Returns nullopt when
// there is neither an action nor a body ("no action!").
std::optional<std::string> find_action_text(const char* soap_action, const char* content_type,
                                            std::string_view body);

}  // namespace nvtd
