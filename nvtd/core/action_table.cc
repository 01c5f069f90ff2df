// The action table as data: operation name, call form, handler, open or not. The order is
// the search order and it matters: "GetProfiles" before "GetProfile",
// "GetMetadataConfigurationOptions" before "GetMetadataConfigurations" before
// "GetMetadataConfiguration", "SetSynchronizationPointRequest" before "SetSynchronizationPoint".
#include "nvtd/core/action_table.h"

#include "nvtd/core/faults.h"
#include "nvtd/device/network_handlers.h"
#include "nvtd/device/users.h"
#include "nvtd/discovery/scope_handlers.h"
#include "nvtd/events/event_actions.h"
#include "nvtd/events/event_handlers.h"

namespace nvtd {
namespace {

constexpr ActionEntry Open(const char* name, PlainHandler h) {
  return {name, CallForm::kPlain, true, h, nullptr, nullptr};
}
constexpr ActionEntry Plain(const char* name, PlainHandler h) {
  return {name, CallForm::kPlain, false, h, nullptr, nullptr};
}
constexpr ActionEntry Part(const char* name, TextHandler h) {
  return {name, CallForm::kBodyPart, false, nullptr, h, nullptr};
}
constexpr ActionEntry Whole(const char* name, TextHandler h) {
  return {name, CallForm::kWholeBody, false, nullptr, h, nullptr};
}
constexpr ActionEntry Connection(const char* name, ConnectionHandler h) {
  return {name, CallForm::kConnection, false, nullptr, nullptr, h};
}

// Operations whose handlers this build does not have yet answer "Unsupported Command".
// Operations the dispatcher answers itself ("inline") are plain entries.
constexpr PlainHandler kTodo = handle_not_yet_supported;
constexpr TextHandler kTodoText = handle_not_yet_supported;
constexpr ConnectionHandler kTodoConnection = handle_not_yet_supported;

constexpr ActionEntry kActions[] = {
    // Open operations: answered before authentication.
    Open("GetCapabilities", kTodo),         // 1
    Open("GetHostname", handle_get_hostname),  // 2
    Open("GetServices", kTodo),             // 3
    Open("GetServiceCapabilities", kTodo),  // 4
    Open("GetSystemDateAndTime", kTodo),    // 5
    // Everything else passes the UsernameToken check first.
    Part("SetSystemDateAndTime", kTodoText),                     // 6
    Plain("GetDeviceInformation", kTodo),                        // 7
    Plain("GetNetworkInterfaces", handle_get_net_if),            // 8
    Plain("GetRelayOutputs", kTodo),                             // 9
    Plain("GetProfiles", kTodo),                                 // 10
    Plain("GetMetadataConfigurationOptions", kTodo),             // 11
    Plain("GetMetadataConfigurations", kTodo),                   // 12
    Plain("GetMetadataConfiguration", kTodo),                    // 13
    Part("SetMetadataConfiguration", kTodoText),                 // 14
    Plain("AddMetadataConfiguration", kTodo),                    // 15
    Plain("RemoveMetadataConfiguration", kTodo),                 // 16
    Part("GetCompatibleMetadataConfigurations", kTodoText),      // 17
    Plain("GetStreamUri", kTodo),                                // 18
    Plain("SetNTP", handle_set_ntp),                             // 19
    Plain("GetScopes", handle_get_scopes),                       // 20
    Plain("GetDNS", handle_get_dns),                             // 21
    Plain("wsdlGetVideoSources", kTodo),                         // 22 (handler of 23)
    Plain("GetVideoSources", kTodo),                             // 23
    Whole("wsdlGetProfile", kTodoText),                          // 24 (handler of 82)
    Plain("CreatePullPointSubscriptionRequest", handle_create_pull_point_subscription),  // 25
    Connection("PullMessagesRequest", handle_pull_messages),     // 26
    Plain("SubscribeRequest", handle_subscribe),                 // 27
    Plain("UnsubscribeRequest", handle_unsubscribe),             // 28
    Plain("RenewRequest", handle_renew),                         // 29
    Plain("GetSnapshotUri", kTodo),                              // 30
    Plain("GetNetworkProtocols", handle_get_network_protocols),  // 31
    Plain("GetVideoEncoderConfigurationOptions", kTodo),         // 32
    Plain("GetVideoEncoderConfigurations", kTodo),               // 33
    Plain("GetVideoEncoderConfiguration", kTodo),                // 34
    Plain("GetVideoSourceConfigurationOptions", kTodo),          // 35
    Plain("GetVideoSourceConfigurations", kTodo),                // 36
    Plain("GetVideoSourceConfiguration", kTodo),                 // 37
    Plain("GetZeroConfiguration", handle_get_zero_configuration),  // 38
    Plain("GetEventProperties", handle_get_event_properties),    // 39
    Plain("GetAudioSources", kTodo),                             // 40
    Part("GetAudioSourceConfigurationOptions", kTodoText),       // 41
    Plain("GetAudioSourceConfigurations", kTodo),                // 42
    Part("GetAudioSourceConfiguration", kTodoText),              // 43
    Plain("GetAudioEncoderConfigurationOptions", kTodo),         // 44
    Plain("GetAudioEncoderConfigurations", kTodo),               // 45
    Plain("GetAudioEncoderConfiguration", kTodo),                // 46
    Plain("GetAudioOutputs", kTodo),                             // 47
    Plain("GetCompatibleAudioSourceConfigurations", kTodo),      // 48
    Part("AddAudioSourceConfiguration", kTodoText),              // 49
    Plain("SetVideoSourceConfiguration", kTodo),                 // 50
    Part("SetAudioSourceConfiguration", kTodoText),              // 51
    Plain("SetVideoEncoderConfiguration", kTodo),                // 52
    Plain("SetAudioEncoderConfiguration", kTodo),                // 53
    Part("AddVideoEncoderConfiguration", kTodoText),             // 54
    Part("AddAudioEncoderConfiguration", kTodoText),             // 55
    Plain("GetNTP", handle_get_ntp),                             // 56
    Plain("GetNetworkDefaultGateway", handle_get_network_default_gateway),  // 57
    Plain("GetDiscoveryMode", handle_get_discovery_mode),        // 58
    Plain("SetDiscoveryMode", handle_set_discovery_mode),        // 59
    Plain("GetUsers", handle_get_users),                         // 60
    Plain("SystemReboot", handle_system_reboot),                 // 61
    Plain("SetSystemFactoryDefault", handle_set_system_factory_default),  // 62
    Plain("SetHostname", handle_set_hostname),                   // 63
    Plain("SetDNS", handle_set_dns),                             // 64
    Plain("SetNetworkDefaultGateway", handle_set_network_default_gateway),  // 65
    Plain("GetWsdlUrl", kTodo),                                  // 66
    Plain("GetCompatibleVideoSourceConfigurations", kTodo),      // 67
    Plain("GetCompatibleVideoEncoderConfigurations", kTodo),     // 68
    Plain("GetCompatibleAudioEncoderConfigurations", kTodo),     // 69
    Part("SetNetworkInterfaces", handle_set_network_interfaces),  // 70
    Plain("GetGuaranteedNumberOfVideoEncoderInstances", kTodo),  // 71
    Part("CreateProfile", kTodoText),                            // 72
    Part("AddVideoSourceConfiguration", kTodoText),              // 73
    Part("RemoveVideoSourceConfiguration", kTodoText),           // 74
    Part("RemoveAudioSourceConfiguration", kTodoText),           // 75
    Part("RemoveVideoEncoderConfiguration", kTodoText),          // 76
    Part("RemoveAudioEncoderConfiguration", kTodoText),          // 77
    Part("DeleteProfile", kTodoText),                            // 78
    Part("CreateUsers", handle_create_users),                    // 79
    Part("DeleteUsers", handle_delete_users),                    // 80
    Part("SetUser", handle_set_user),                            // 81
    Part("GetProfile", kTodoText),                               // 82
    Plain("StartMulticastStreaming", kTodo),                     // 83
    Part("SetSynchronizationPointRequest", handle_event_set_synchronization_point),  // 84
    Part("SetSynchronizationPoint", kTodoText),                  // 85 (media service)
    Part("SetNetworkProtocols", handle_set_network_protocols),   // 86
    Part("SetScopes", handle_set_scopes),                        // 87
    Part("AddScopes", handle_add_scopes),                        // 88
    Part("RemoveScopes", handle_remove_scopes),                  // 89
    Part("SetRelayOutputSettings", kTodoText),                   // 90
    Part("SetRelayOutputState", kTodoText),                      // 91
};

static_assert(sizeof(kActions) / sizeof(kActions[0]) == 91, "the action table has 91 entries");

}  // namespace

const ActionEntry* action_table() {
  return kActions;
}
std::size_t action_table_size() {
  return sizeof(kActions) / sizeof(kActions[0]);
}

int handle_not_yet_supported() {
  send_catalogue_fault(Fault::kUnsupportedCommand);
  return 0;
}

int handle_not_yet_supported(const char* /*text*/, int /*length*/) {
  return handle_not_yet_supported();
}

int handle_not_yet_supported(int /*connection_fd*/) {
  handle_not_yet_supported();
  return -1;  // the connection is not kept
}

int find_action(std::string_view action_text) {
  for (std::size_t i = 0; i < action_table_size(); ++i) {
    if (action_text.find(kActions[i].name) != std::string_view::npos) return static_cast<int>(i);
  }
  // Only when nothing matched: the event operations under their bare names, as many
  // clients send them ("http://docs.oasis-open.org/wsn/b-2/Subscribe").
  if (const char* event_operation = event_operation_for(action_text)) {
    return find_action(event_operation);
  }
  return -1;
}

}  // namespace nvtd
