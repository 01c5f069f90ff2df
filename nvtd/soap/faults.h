// The SOAP fault catalogue: every fault nvtd sends, as one table of code, subcodes, reason,
// detail and HTTP status, and the writer that sends an entry with the right status lines.
#pragma once

#include <array>
#include <string>

#include "nvtd/core/reply.h"

namespace nvtd {

enum class Fault {
  kNotAuthorized,             // ter:NotAuthorized "No security header supplied"
  kInvalidSecurity,           // wsse:InvalidSecurity
  kFailedAuthentication,      // wsse:FailedAuthentication (complete envelope)
  kUnsupportedCommand,        // ter:ActionNotSupported / ter:InvalidThing
  kNoSuchService,             // ter:ActionNotSupported / ter:NoSuchService
  kCategoryMismatch,          // type mismatch in element 'Category'
  kSessionTimeoutMismatch,    // type mismatch in element 'SessionTimeout'
  kProtocolMismatch,          // type mismatch in element 'Protocol'
  kSenderEmpty,               // Sender with an empty reason text
  kUsernameClash,             // ter:OperationProhibited / ter:UsernameClash
  kUsernameMissing,           // ter:InvalidArgVal / ter:UsernameMissing
  kUsernameTooLong,           // ter:OperationProhibited / ter:UsernameTooLong
  kUsernameTooShort,          // ter:OperationProhibited / ter:UsernameTooShort
  kPasswordTooLong,           // ter:OperationProhibited / ter:PasswordTooLong
  kPasswordTooWeak,           // ter:OperationProhibited / ter:PasswordTooWeak
  kAnonymousNotAllowed,       // ter:OperationProhibited / ter:AnonymousNotAllowed
  kTooManyUsers,              // Receiver ter:Action / ter:TooManyUsers
  kLastAdministrator,         // ter:InvalidArgVal / ter:FixedUser (the last administrator)
  kUserValueInvalid,          // ter:InvalidArgVal (a user value the users file cannot hold)
  kUsersNotWritten,           // Receiver ter:Action (the users file could not be changed)
  kNoProfile,                 // ter:InvalidArgVal / ter:NoProfile
  kNoConfig,                  // ter:InvalidArgVal / ter:NoConfig
  kConfigModify,              // ter:InvalidArgVal / ter:ConfigModify
  kAudioNotSupported,         // ter:ActionNotSupported / ter:AudioNotSupported
  kInvalidTimeZone,           // ter:InvalidArgVal / ter:InvalidTimeZone
  kInvalidDateTime,           // ter:InvalidArgVal / ter:InvalidDateTime
  kInvalidHostname,           // ter:InvalidArgVal / ter:InvalidHostname
  kServiceNotSupported,       // ter:InvalidArgVal / ter:ServiceNotSupported
  kInvalidStreamSetup,        // ter:ActionNotSupported / ter:InvalidStreamSetup
  kScopeOverwrite,            // ter:OperationProhibited / ter:ScopeOverwrite
  kMatchingRuleNotSupported,  // wsd:MatchingRuleNotSupported (WS-Discovery, over UDP)
  kNoSource,                  // ter:InvalidArgVal / ter:NoSource (imaging: unknown video source)
  kSettingsInvalid,           // ter:InvalidArgVal / ter:SettingsInvalid (imaging)
  kFocusBusy,                 // ter:Action / ter:FocusBusy (imaging: a focus job runs)
  kSettingsUnavailable,       // Receiver ter:Action (the settings server did not answer)
  kHttpUnauthorized,          // ter:NotAuthorized with HTTP 401 and the Digest challenges
  kProtocolUnsupported,       // ter:InvalidArgVal / ter:InvalidStreamSetup (Media2 GetStreamUri)
  kIncompleteConfiguration,   // Receiver ter:Action / ter:IncompleteConfiguration (Media2)
  kDeletionOfFixedProfile,    // ter:Action / ter:DeletionOfFixedProfile (Media2)
  kMaxProfiles,               // Receiver ter:Action / ter:MaxNVTProfiles (Media2: store full)
  kConfigurationConflict,     // Receiver ter:Action / ter:ConfigurationConflict (Media2)
  kCount
};

struct FaultEntry {
  Fault fault;
  const char* code;                     // "SOAP-ENV:Sender" or "SOAP-ENV:Receiver"
  std::array<const char*, 2> subcodes;  // nested Subcode values; nullptr when absent
  const char* reason;                   // Reason text; "" gives the empty Text element
  const char* detail;                   // Detail content; nullptr when absent
  int status;  // HTTP status: 400, 500, 200, 401 (sent with challenges), or 0 (not over HTTP)
};

// The catalogue entry of a fault.
const FaultEntry& fault_entry(Fault fault);

// The fault's body template, from "<SOAP-ENV:Body><SOAP-ENV:Fault>" to
// "</SOAP-ENV:Fault></SOAP-ENV:Body></SOAP-ENV:Envelope>", to follow EnvelopeOpening.
std::string fault_body(Fault fault);

// The complete FailedAuthentication envelope: XML declaration, envelope start tag, WS-Addressing
// header (To anonymous, Action soap/fault) and the fault body.
std::string failed_authentication_envelope();

// Sends the fault with the catalogue's status: for 400 "HTTP/1.0 400 Bad Request\r\n" (for 500
// "HTTP/1.0 500 Internal Server Error\r\n") first and then send_fault (or send_envelope_fault for
// FailedAuthentication) with flag 0; for 200 (and faults not meant for HTTP) send_body like any
// response.
void send_catalogue_fault(Reply& reply, Fault fault);
// The same with the status the caller chooses (200 or 400), for the faults whose status depends
// on who sends them (NoProfile, the empty Sender fault).
void send_catalogue_fault(Reply& reply, Fault fault, int http_status);

}  // namespace nvtd
