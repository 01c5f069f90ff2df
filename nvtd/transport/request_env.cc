// Request values from the CGI environment or a relay ENV message.
#include "nvtd/transport/request_env.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace nvtd {
namespace {

// The request field a variable name stands for, or nullptr.
std::optional<std::string>* field_of(Request& request, std::string_view name) {
  if (name == "REQUEST_METHOD") return &request.method;
  if (name == "REQUEST_URI") return &request.uri;
  if (name == "CONTENT_TYPE") return &request.content_type;
  if (name == "CONTENT_LENGTH") return &request.content_length;
  if (name == "HTTP_SOAPACTION") return &request.soap_action;
  if (name == "REMOTE_ADDR") return &request.remote_addr;
  if (name == "HTTP_AUTHORIZATION") return &request.authorization;
  return nullptr;
}

std::optional<std::string> variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

}  // namespace

Request request_from_environment() {
  Request request;
  request.mode = RunMode::kCgi;
  request.method = variable("REQUEST_METHOD");
  request.uri = variable("REQUEST_URI");
  request.content_type = variable("CONTENT_TYPE");
  request.content_length = variable("CONTENT_LENGTH");
  request.soap_action = variable("HTTP_SOAPACTION");
  request.remote_addr = variable("REMOTE_ADDR");
  request.authorization = variable("HTTP_AUTHORIZATION");
  return request;
}

std::string env_text_for_trace(std::string_view text) {
  constexpr std::string_view kCredentials = "HTTP_AUTHORIZATION=";
  std::string out;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end);
    bool hidden = line.substr(0, kCredentials.size()) == kCredentials;
    out.append(hidden ? line.substr(0, kCredentials.size()) : line);
    if (hidden) out.append("...");
    if (!text.empty()) {
      out.push_back('\n');
      text.remove_prefix(1);
    }
  }
  return out;
}

Request request_from_relay_environment(std::string_view text) {
  Request request;
  request.mode = RunMode::kRelay;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty()) continue;
    std::string piece(line);
    size_t eq = piece.find('=');
    std::string_view name = std::string_view(piece).substr(0, eq);
    // Credentials stay out of the trace.
    printf("got %s\n", env_text_for_trace(piece).c_str());
    if (eq == std::string::npos || eq == 0) continue;
    std::optional<std::string>* field = field_of(request, name);
    if (field == nullptr) continue;
    // An embedded NUL ends the value, as it would have in a C string.
    *field = std::string(piece.c_str() + eq + 1);
  }
  return request;
}

}  // namespace nvtd
