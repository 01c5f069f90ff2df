// Request dispatch: decides the action text, finds the first action-table entry whose name
// occurs in it, runs the UsernameToken check for all but the open operations, and calls the
// handler in its call form between the fill and release of the per-request section cache.
#include "nvtd/core/dispatch.h"

#include <cstdlib>
#include <string>
#include <string_view>

#include "nvtd/core/action_table.h"
#include "nvtd/core/action_text.h"
#include "nvtd/core/auth.h"
#include "nvtd/core/faults.h"
#include "nvtd/core/http_io.h"
#include "nvtd/core/process_state.h"
#include "nvtd/core/request_hooks.h"
#include "nvtd/core/writers.h"

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

// Calls the entry's handler; returns true when a connection handler kept the connection.
bool call_handler(const ActionEntry& entry, std::string_view body, int connection_fd) {
  switch (entry.form) {
    case CallForm::kPlain:
      entry.plain();
      return false;
    case CallForm::kWholeBody:
      entry.text(body.data(), static_cast<int>(body.size()));
      return false;
    case CallForm::kBodyPart: {
      // Without "Body" nothing at all is written and the request ends.
      std::size_t at = body.find("Body");
      if (at == std::string_view::npos) return false;
      entry.text(body.data() + at, static_cast<int>(body.size() - at));
      return false;
    }
    case CallForm::kConnection:
      return entry.connection(connection_fd) == 0;
  }
  return false;
}

}  // namespace

DispatchOutcome dispatch_request(int connection_fd) {
  std::string_view body = RequestBody;
  auto action = find_action_text(std::getenv("HTTP_SOAPACTION"), std::getenv("CONTENT_TYPE"), body);
  if (!action) {
    send_plain_error("no action!\n");
    return DispatchOutcome::kNoAction;
  }
  int index = find_action(*action);
  if (index >= 0 && action_table()[index].open) {
    call_handler(action_table()[index], body, connection_fd);
    return DispatchOutcome::kOpenOperation;
  }
  if (!NoAuth && !check_username_token(body)) return DispatchOutcome::kAuthFailed;

  SectionCacheScope cache;
  if (index < 0) {
    send_catalogue_fault(Fault::kUnsupportedCommand);
    return DispatchOutcome::kHandled;
  }
  bool kept = call_handler(action_table()[index], body, connection_fd);
  return kept ? DispatchOutcome::kHandedOver : DispatchOutcome::kHandled;
}

}  // namespace nvtd
