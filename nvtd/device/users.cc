// The user operations of the device service: the request's entries are read whole, the
// accounts changed in the users file in one locked rewrite, and a refusal answered with the
// ONVIF fault that names it.
#include "nvtd/device/users.h"

#include <string>
#include <vector>

#include "nvtd/auth/user_table.h"
#include "nvtd/device/network_reply.h"
#include "nvtd/device/user_entries.h"
#include "nvtd/soap/faults.h"
#include "nvtd/soap/writers.h"
#include "nvtd/soap/xml_text.h"

namespace nvtd {
namespace {

Fault fault_for(AccountRefusal refusal) {
  switch (refusal) {
    case AccountRefusal::kNameClash:
      return Fault::kUsernameClash;
    case AccountRefusal::kNameMissing:
      return Fault::kUsernameMissing;
    case AccountRefusal::kNameTooLong:
      return Fault::kUsernameTooLong;
    case AccountRefusal::kNameEmpty:
      return Fault::kUsernameTooShort;
    case AccountRefusal::kPasswordTooLong:
      return Fault::kPasswordTooLong;
    case AccountRefusal::kPasswordMissing:
      return Fault::kPasswordTooWeak;
    case AccountRefusal::kLevelAnonymous:
      return Fault::kAnonymousNotAllowed;
    case AccountRefusal::kLastAdministrator:
      return Fault::kLastAdministrator;
    case AccountRefusal::kTooManyUsers:
      return Fault::kTooManyUsers;
    case AccountRefusal::kStorage:
      return Fault::kUsersNotWritten;
    case AccountRefusal::kValueInvalid:
    case AccountRefusal::kNone:
      break;
  }
  return Fault::kUserValueInvalid;
}

HandlerOutcome answer(Reply& reply, AccountRefusal refusal, const char* response) {
  if (refusal == AccountRefusal::kNone) {
    send_empty_device_response(reply, response);
  } else {
    send_catalogue_fault(reply, fault_for(refusal));
  }
  return HandlerOutcome::kAnswered;
}

}  // namespace

HandlerOutcome handle_get_users(const Request&, Reply& reply) {
  std::string list;
  for (const Account& account : list_accounts()) {
    list += "<tds:User><tt:Username>" + xml_safe(account.name) + "</tt:Username><tt:UserLevel>" +
            account.level + "</tt:UserLevel></tds:User>";
  }
  send_body(reply,
            "<SOAP-ENV:Body><tds:GetUsersResponse>%s</tds:GetUsersResponse></SOAP-ENV:Body>"
            "</SOAP-ENV:Envelope>",
            list.c_str());
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_create_users(const Request& request, Reply& reply) {
  std::vector<AccountEntry> entries;
  AccountRefusal refusal = read_user_entries(request.body_part(), &entries);
  if (refusal == AccountRefusal::kNone) refusal = create_accounts(entries);
  return answer(reply, refusal, "CreateUsers");
}

HandlerOutcome handle_delete_users(const Request& request, Reply& reply) {
  return answer(reply, delete_accounts(read_user_names(request.body_part())), "DeleteUsers");
}

HandlerOutcome handle_set_user(const Request& request, Reply& reply) {
  std::vector<AccountEntry> entries;
  AccountRefusal refusal = read_user_entries(request.body_part(), &entries);
  if (refusal == AccountRefusal::kNone) refusal = set_accounts(entries);
  return answer(reply, refusal, "SetUser");
}

}  // namespace nvtd
