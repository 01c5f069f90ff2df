// Request dispatch: decides the action text, finds the operation whose name occurs in it
// among those of the request's service (its namespace's, else as its address allows), runs
// the authentication step (HTTP Digest and the UsernameToken, the account's level, the memory
// of what was used) for all but the open operations, and calls the handler in its call form
// between the fill and release of the per-request section cache. An answer resting on settings
// that could not be got or set is replaced by the settings-unavailable fault before it goes out.
#include "nvtd/app/dispatch.h"

#include <string>
#include <string_view>

#include "nvtd/auth/authenticate.h"
#include "nvtd/core/log_limiter.h"
#include "nvtd/core/process_state.h"
#include "nvtd/core/request_hooks.h"
#include "nvtd/soap/action_text.h"
#include "nvtd/soap/faults.h"
#include "nvtd/soap/operation_namespace.h"
#include "nvtd/soap/writers.h"
#include "nvtd/transport/tcp_server.h"

namespace nvtd {
namespace {

// The section cache lives from after authentication until the handler has returned.
class SectionCacheScope {
 public:
  SectionCacheScope() { run_fill_hook(); }
  ~SectionCacheScope() { run_release_hook(); }
  SectionCacheScope(const SectionCacheScope&) = delete;
  SectionCacheScope& operator=(const SectionCacheScope&) = delete;
};

// Calls the operation's handler; returns true when a connection handler kept the connection.
bool call_handler(const Operation& op, const Request& request, Reply& reply) {
  switch (op.form) {
    case CallForm::kRequest:
      op.handler(request, reply);
      return false;
    case CallForm::kBodyPart:
      // Without "Body" nothing at all is written and the request ends.
      if (request.body.find("Body") == std::string::npos) return false;
      op.handler(request, reply);
      return false;
    case CallForm::kConnection:
      // The handler may keep the connection and answer it later from another thread.
      if (request.mode == RunMode::kServer && request.connection_fd >= 0)
        make_connection_blocking(request.connection_fd);
      return op.handler(request, reply) == HandlerOutcome::kConnectionKept;
  }
  return false;
}

// Handlers read settings with no way to tell a default from a value, and format what they
// read; when an exchange failed, the answer (or a set's success) is not the camera's. It is
// still pending here: the reply goes out in one write after dispatch.
void replace_unfounded_answer(Reply& reply) {
  if (!request_settings_failed() || reply.sent()) return;
  trace_verbose("settings unavailable: answering with a fault\n");
  reply.discard();
  send_catalogue_fault(reply, Fault::kSettingsUnavailable);
}

const char* c_str_or_null(const std::optional<std::string>& value) {
  return value ? value->c_str() : nullptr;
}

}  // namespace

DispatchOutcome dispatch_request(const OperationTable& table, const Request& request,
                                 Reply& reply) {
  auto action = find_action_text(c_str_or_null(request.soap_action),
                                 c_str_or_null(request.content_type), request.body);
  if (!action) {
    // An empty request asks for the Digest challenge before the client sends its body.
    if (request.body.empty() && !config().no_auth && !authenticate_request(request, nullptr, reply))
      return DispatchOutcome::kAuthFailed;
    send_plain_error(reply, "no action!\n");
    return DispatchOutcome::kNoAction;
  }
  const Operation* op = table.find(*action, search_scope(request));
  if (op != nullptr && op->open()) {
    call_handler(*op, request, reply);
    return DispatchOutcome::kOpenOperation;
  }
  if (!config().no_auth && !authenticate_request(request, op, reply)) {
    return DispatchOutcome::kAuthFailed;
  }

  SectionCacheScope cache;
  if (op == nullptr) {
    send_catalogue_fault(reply, Fault::kUnsupportedCommand);
    return DispatchOutcome::kHandled;
  }
  bool kept = call_handler(*op, request, reply);
  if (kept) return DispatchOutcome::kHandedOver;
  replace_unfounded_answer(reply);
  return DispatchOutcome::kHandled;
}

}  // namespace nvtd
