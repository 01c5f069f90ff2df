// The fault catalogue as data and the fault bodies built from it.
#include "nvtd/soap/faults.h"

#include "nvtd/soap/envelope.h"
#include "nvtd/soap/writers.h"

namespace nvtd {
namespace {

constexpr const char* kSender = "SOAP-ENV:Sender";
constexpr const char* kReceiver = "SOAP-ENV:Receiver";

// clang-format off
constexpr std::array<FaultEntry, static_cast<size_t>(Fault::kCount)> kCatalogue = {{
  {Fault::kNotAuthorized, kSender, {"ter:NotAuthorized", nullptr},
   "No security header supplied", nullptr, 400},
  {Fault::kInvalidSecurity, kSender, {"wsse:InvalidSecurity", nullptr},
   "An error was discovered processing the &lt;wsse:Security&gt; header", nullptr, 400},
  {Fault::kFailedAuthentication, kSender, {"wsse:FailedAuthentication", nullptr},
   "The security token could not be authenticated or authorized", nullptr, 400},
  {Fault::kUnsupportedCommand, kReceiver, {"ter:ActionNotSupported", "ter:InvalidThing"},
   "Unsupported Command", "I have no idea what to do with this.  Go away.", 400},
  {Fault::kNoSuchService, kReceiver, {"ter:ActionNotSupported", "ter:NoSuchService"},
   "The service is not supported",
   "The requested WSDL service category is not supported by the NVT.", 200},
  {Fault::kCategoryMismatch, kSender, {nullptr, nullptr},
   "Validation constraint violation: data type mismatch  in element 'Category'", nullptr, 200},
  {Fault::kSessionTimeoutMismatch, kSender, {nullptr, nullptr},
   "Validation constraint violation: data type mismatch  in element 'SessionTimeout'", nullptr,
   200},
  {Fault::kProtocolMismatch, kSender, {nullptr, nullptr},
   "Validation constraint violation: data type mismatch  in element 'Protocol'", nullptr, 400},
  {Fault::kSenderEmpty, kSender, {nullptr, nullptr}, "", nullptr, 400},
  {Fault::kUsernameClash, kSender, {"ter:OperationProhibited", "ter:UsernameClash"},
   "Username already exists", "Username already exists.", 200},
  {Fault::kUsernameMissing, kSender, {"ter:InvalidArgVal", "ter:UsernameMissing"},
   "Username not recognized", "Username NOT recognized.", 200},
  {Fault::kUsernameTooLong, kSender, {"ter:OperationProhibited", "ter:UsernameTooLong"},
   "The username is too long", "A user name has at most 11 characters.", 400},
  {Fault::kUsernameTooShort, kSender, {"ter:OperationProhibited", "ter:UsernameTooShort"},
   "The username is too short", "A user name has at least one character.", 400},
  {Fault::kPasswordTooLong, kSender, {"ter:OperationProhibited", "ter:PasswordTooLong"},
   "The password is too long", "A password has at most 31 characters.", 400},
  {Fault::kPasswordTooWeak, kSender, {"ter:OperationProhibited", "ter:PasswordTooWeak"},
   "Too weak password", "A new account needs a password that is not empty.", 400},
  {Fault::kAnonymousNotAllowed, kSender, {"ter:OperationProhibited", "ter:AnonymousNotAllowed"},
   "User level anonymous is not allowed", nullptr, 400},
  {Fault::kTooManyUsers, kReceiver, {"ter:Action", "ter:TooManyUsers"},
   "Maximum number of supported users exceeded", "At most 64 accounts.", 400},
  {Fault::kLastAdministrator, kSender, {"ter:InvalidArgVal", "ter:FixedUser"},
   "Username fixed", "The last administrator may not be deleted or demoted.", 400},
  {Fault::kUserValueInvalid, kSender, {"ter:InvalidArgVal", nullptr}, "Argument value invalid",
   "User names hold no ':', '&amp;', '&lt;', '&gt;' or control character; UserLevel is "
   "Administrator, Operator or User.", 400},
  {Fault::kUsersNotWritten, kReceiver, {"ter:Action", nullptr},
   "The users file could not be changed", nullptr, 400},
  {Fault::kNoProfile, kSender, {"ter:InvalidArgVal", "ter:NoProfile"},
   "Profile token does not exist", "The requested profile token ProfileToken does not exist.",
   400},
  {Fault::kNoConfig, kSender, {"ter:InvalidArgVal", "ter:NoConfig"},
   "Configuration token does not exist",
   "The requested configuration indicated by the ConfigurationToken does not exist.", 400},
  {Fault::kConfigModify, kSender, {"ter:InvalidArgVal", "ter:ConfigModify"},
   "Parameters can not be set", "The configuration parameters are not possible to set.", 400},
  {Fault::kAudioNotSupported, kSender, {"ter:ActionNotSupported", "ter:AudioNotSupported"},
   "No audio capability", "NVT does not support audio.", 400},
  {Fault::kInvalidTimeZone, kSender, {"ter:InvalidArgVal", "ter:InvalidTimeZone"},
   "Invalid data", "<SOAP-ENV:Text>An invalid timezone was specified.</SOAP-ENV:Text>", 400},
  {Fault::kInvalidDateTime, kSender, {"ter:InvalidArgVal", "ter:InvalidDateTime"},
   "Invalid data", "<SOAP-ENV:Text>An invalid date or time was specified.</SOAP-ENV:Text>", 400},
  {Fault::kInvalidHostname, kSender, {"ter:InvalidArgVal", "ter:InvalidHostname"},
   "Invalid name", "The requested hostname cannot be accepted by the NVT.", 400},
  {Fault::kServiceNotSupported, kSender, {"ter:InvalidArgVal", "ter:ServiceNotSupported"},
   "The service is not supported", "The supplied network service is not supported.", 400},
  {Fault::kInvalidStreamSetup, kReceiver, {"ter:ActionNotSupported", "ter:InvalidStreamSetup"},
   "Invalid Stream setup",
   "Specification of StreamType or Transport part in StreamSetup is not supported.", 400},
  {Fault::kScopeOverwrite, kSender, {"ter:OperationProhibited", "ter:ScopeOverwrite"},
   "Trying overwriting permanent device",
   "Scope parameter overwrites fixed device scope setting, command rejected.", 400},
  {Fault::kMatchingRuleNotSupported, kSender, {"wsd:MatchingRuleNotSupported", nullptr},
   "The matching rule specified is not supported", nullptr, 0},
  {Fault::kNoSource, kSender, {"ter:InvalidArgVal", "ter:NoSource"},
   "The requested VideoSource does not exist.", nullptr, 400},
  {Fault::kSettingsInvalid, kSender, {"ter:InvalidArgVal", "ter:SettingsInvalid"},
   "The requested settings are incorrect.", nullptr, 400},
  {Fault::kFocusBusy, kReceiver, {"ter:Action", "ter:FocusBusy"},
   "The focus lens is busy with an autofocus.", nullptr, 400},
  {Fault::kSettingsUnavailable, kReceiver, {"ter:Action", nullptr},
   "The device cannot serve this request now; try again later",
   "The camera's settings could not be read or written.", 500},
  {Fault::kHttpUnauthorized, kSender, {"ter:NotAuthorized", nullptr},
   "Sender not Authorized", nullptr, 401},
  {Fault::kProtocolUnsupported, kSender, {"ter:InvalidArgVal", "ter:InvalidStreamSetup"},
   "The specified Protocol is not supported", nullptr, 400},
  {Fault::kIncompleteConfiguration, kReceiver, {"ter:Action", "ter:IncompleteConfiguration"},
   "Incomplete configuration", nullptr, 500},
  {Fault::kDeletionOfFixedProfile, kSender, {"ter:Action", "ter:DeletionOfFixedProfile"},
   "Fixed profile", nullptr, 400},
  {Fault::kMaxProfiles, kReceiver, {"ter:Action", "ter:MaxNVTProfiles"},
   "Too many profiles", nullptr, 500},
  {Fault::kConfigurationConflict, kReceiver, {"ter:Action", "ter:ConfigurationConflict"},
   "Configuration conflict", nullptr, 500},
}};
// clang-format on

constexpr bool catalogue_in_enum_order() {
  for (size_t i = 0; i < kCatalogue.size(); ++i) {
    if (static_cast<size_t>(kCatalogue[i].fault) != i) return false;
  }
  return true;
}
static_assert(catalogue_in_enum_order(), "catalogue rows follow the Fault enum");

constexpr auto kFailedAuthenticationOpening =
    join_text(kWsseWsa5EnvelopeOpening,
              "<SOAP-ENV:Header>"
              "<wsa5:To SOAP-ENV:mustUnderstand=\"true\">" URI_WSA5_ANONYMOUS
              "</wsa5:To>"
              "<wsa5:Action SOAP-ENV:mustUnderstand=\"true\">" NS_WSA5
              "/soap/fault</wsa5:Action>"
              "</SOAP-ENV:Header>");

}  // namespace

const FaultEntry& fault_entry(Fault fault) {
  size_t i = static_cast<size_t>(fault);
  if (i >= kCatalogue.size()) i = static_cast<size_t>(Fault::kUnsupportedCommand);
  return kCatalogue[i];
}

std::string fault_body(Fault fault) {
  const FaultEntry& e = fault_entry(fault);
  std::string s = "<SOAP-ENV:Body><SOAP-ENV:Fault><SOAP-ENV:Code><SOAP-ENV:Value>";
  s += e.code;
  s += "</SOAP-ENV:Value>";
  int open_subcodes = 0;
  for (const char* sub : e.subcodes) {
    if (sub == nullptr) break;
    s += "<SOAP-ENV:Subcode><SOAP-ENV:Value>";
    s += sub;
    s += "</SOAP-ENV:Value>";
    ++open_subcodes;
  }
  for (; open_subcodes > 0; --open_subcodes) s += "</SOAP-ENV:Subcode>";
  s += "</SOAP-ENV:Code><SOAP-ENV:Reason>";
  if (e.reason[0] == '\0') {
    s += "<SOAP-ENV:Text xml:lang=\"en\"/>";
  } else {
    s += "<SOAP-ENV:Text xml:lang=\"en\">";
    s += e.reason;
    s += "</SOAP-ENV:Text>";
  }
  s += "</SOAP-ENV:Reason>";
  if (e.detail != nullptr) {
    s += "<SOAP-ENV:Detail>";
    s += e.detail;
    s += "</SOAP-ENV:Detail>";
  }
  s += "</SOAP-ENV:Fault></SOAP-ENV:Body></SOAP-ENV:Envelope>";
  return s;
}

std::string failed_authentication_envelope() {
  return kFailedAuthenticationOpening.c_str() + fault_body(Fault::kFailedAuthentication);
}

void send_catalogue_fault(Reply& reply, Fault fault) {
  send_catalogue_fault(reply, fault, fault_entry(fault).status);
}

void send_catalogue_fault(Reply& reply, Fault fault, int http_status) {
  bool complete = fault == Fault::kFailedAuthentication;
  if (http_status == 400 || http_status == 500) {
    reply.append(http_status == 400 ? kStatusBadRequest : kStatusServerError);
    if (complete) {
      send_envelope_fault(reply, 0, "%s", failed_authentication_envelope().c_str());
    } else {
      send_fault(reply, 0, "%s", fault_body(fault).c_str());
    }
  } else if (complete) {
    send_envelope(reply, "%s", failed_authentication_envelope().c_str());
  } else {
    send_body(reply, "%s", fault_body(fault).c_str());
  }
}

}  // namespace nvtd
