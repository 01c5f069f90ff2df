// The action table as data: operation name, call form, handler, open or not. The order is
// the search order and it matters: "GetProfiles" before "GetProfile",
// "GetMetadataConfigurationOptions" before "GetMetadataConfigurations" before
// "GetMetadataConfiguration", "SetSynchronizationPointRequest" before "SetSynchronizationPoint".
#include "nvtd/core/action_table.h"

#include "nvtd/device/capabilities.h"
#include "nvtd/device/date_time.h"
#include "nvtd/device/device_info.h"
#include "nvtd/device/network_handlers.h"
#include "nvtd/device/relay_outputs.h"
#include "nvtd/device/services.h"
#include "nvtd/device/users.h"
#include "nvtd/device/wsdl_url.h"
#include "nvtd/discovery/scope_handlers.h"
#include "nvtd/events/event_actions.h"
#include "nvtd/events/event_handlers.h"
#include "nvtd/media/audio_configs.h"
#include "nvtd/media/media_replies.h"
#include "nvtd/media/metadata_configs.h"
#include "nvtd/media/profile_configs.h"
#include "nvtd/media/profiles.h"
#include "nvtd/media/stream_uri.h"
#include "nvtd/media/video_config_set.h"
#include "nvtd/media/video_configs.h"

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

// Operations the dispatcher answers itself ("inline") are plain entries.
constexpr ActionEntry kActions[] = {
    // Open operations: answered before authentication.
    Open("GetCapabilities", handle_get_capabilities),                 // 1
    Open("GetHostname", handle_get_hostname),                         // 2
    Open("GetServices", handle_get_services),                         // 3
    Open("GetServiceCapabilities", handle_get_service_capabilities),  // 4
    Open("GetSystemDateAndTime", handle_get_system_date_and_time),    // 5
    // Everything else passes the UsernameToken check first.
    Part("SetSystemDateAndTime", handle_set_system_date_and_time),                        // 6
    Plain("GetDeviceInformation", handle_get_device_information),                         // 7
    Plain("GetNetworkInterfaces", handle_get_net_if),                                     // 8
    Plain("GetRelayOutputs", handle_get_relay_outputs),                                   // 9
    Plain("GetProfiles", handle_get_profiles),                                            // 10
    Plain("GetMetadataConfigurationOptions", handle_get_metadata_config_options),         // 11
    Plain("GetMetadataConfigurations", handle_get_metadata_configs),                      // 12
    Plain("GetMetadataConfiguration", handle_get_metadata_config),                        // 13
    Part("SetMetadataConfiguration", handle_set_metadata_config),                         // 14
    Plain("AddMetadataConfiguration", handle_add_metadata_config),                        // 15
    Plain("RemoveMetadataConfiguration", handle_remove_metadata_config),                  // 16
    Part("GetCompatibleMetadataConfigurations", handle_get_compatible_metadata_configs),  // 17
    Plain("GetStreamUri", handle_get_stream_uri),                                         // 18
    Plain("SetNTP", handle_set_ntp),                                                      // 19
    Plain("GetScopes", handle_get_scopes),                                                // 20
    Plain("GetDNS", handle_get_dns),                                                      // 21
    Plain("wsdlGetVideoSources", handle_get_video_sources),  // 22 (handler of 23)
    Plain("GetVideoSources", handle_get_video_sources),      // 23
    Whole("wsdlGetProfile", handle_get_profile),             // 24 (handler of 82)
    Plain("CreatePullPointSubscriptionRequest", handle_create_pull_point_subscription),     // 25
    Connection("PullMessagesRequest", handle_pull_messages),                                // 26
    Plain("SubscribeRequest", handle_subscribe),                                            // 27
    Plain("UnsubscribeRequest", handle_unsubscribe),                                        // 28
    Plain("RenewRequest", handle_renew),                                                    // 29
    Plain("GetSnapshotUri", handle_get_snapshot_uri),                                       // 30
    Plain("GetNetworkProtocols", handle_get_network_protocols),                             // 31
    Plain("GetVideoEncoderConfigurationOptions", handle_get_video_encoder_config_options),  // 32
    Plain("GetVideoEncoderConfigurations", handle_get_video_encoder_configs),               // 33
    Plain("GetVideoEncoderConfiguration", handle_get_video_encoder_config),                 // 34
    Plain("GetVideoSourceConfigurationOptions", handle_get_video_source_config_options),    // 35
    Plain("GetVideoSourceConfigurations", handle_get_video_source_configs),                 // 36
    Plain("GetVideoSourceConfiguration", handle_get_video_source_config),                   // 37
    Plain("GetZeroConfiguration", handle_get_zero_configuration),                           // 38
    Plain("GetEventProperties", handle_get_event_properties),                               // 39
    Plain("GetAudioSources", handle_get_audio_sources),                                     // 40
    Part("GetAudioSourceConfigurationOptions", handle_get_audio_source_config_options),     // 41
    Plain("GetAudioSourceConfigurations", handle_get_audio_source_configs),                 // 42
    Part("GetAudioSourceConfiguration", handle_get_audio_source_config),                    // 43
    Plain("GetAudioEncoderConfigurationOptions", handle_get_audio_encoder_config_options),  // 44
    Plain("GetAudioEncoderConfigurations", handle_get_audio_encoder_configs),               // 45
    Plain("GetAudioEncoderConfiguration", handle_get_audio_encoder_config),                 // 46
    Plain("GetAudioOutputs", handle_get_audio_outputs),                                     // 47
    Plain("GetCompatibleAudioSourceConfigurations",
          handle_get_compatible_audio_source_configs),                       // 48
    Part("AddAudioSourceConfiguration", handle_add_audio_source_config),     // 49
    Plain("SetVideoSourceConfiguration", handle_set_video_source_config),    // 50
    Part("SetAudioSourceConfiguration", handle_set_audio_source_config),     // 51
    Plain("SetVideoEncoderConfiguration", handle_set_video_encoder_config),  // 52
    Plain("SetAudioEncoderConfiguration", handle_set_audio_encoder_config),  // 53
    Part("AddVideoEncoderConfiguration", handle_add_video_encoder_config),   // 54
    Part("AddAudioEncoderConfiguration", handle_add_audio_encoder_config),   // 55
    Plain("GetNTP", handle_get_ntp),                                         // 56
    Plain("GetNetworkDefaultGateway", handle_get_network_default_gateway),   // 57
    Plain("GetDiscoveryMode", handle_get_discovery_mode),                    // 58
    Plain("SetDiscoveryMode", handle_set_discovery_mode),                    // 59
    Plain("GetUsers", handle_get_users),                                     // 60
    Plain("SystemReboot", handle_system_reboot),                             // 61
    Plain("SetSystemFactoryDefault", handle_set_system_factory_default),     // 62
    Plain("SetHostname", handle_set_hostname),                               // 63
    Plain("SetDNS", handle_set_dns),                                         // 64
    Plain("SetNetworkDefaultGateway", handle_set_network_default_gateway),   // 65
    Plain("GetWsdlUrl", handle_get_wsdl_url),                                // 66
    Plain("GetCompatibleVideoSourceConfigurations",
          handle_get_compatible_video_source_configs),  // 67
    Plain("GetCompatibleVideoEncoderConfigurations",
          handle_get_compatible_video_encoder_configs),  // 68
    Plain("GetCompatibleAudioEncoderConfigurations",
          handle_get_compatible_audio_encoder_configs),                                   // 69
    Part("SetNetworkInterfaces", handle_set_network_interfaces),                          // 70
    Plain("GetGuaranteedNumberOfVideoEncoderInstances", handle_get_guaranteed_encoders),  // 71
    Part("CreateProfile", handle_create_profile),                                         // 72
    Part("AddVideoSourceConfiguration", handle_add_video_source_config),                  // 73
    Part("RemoveVideoSourceConfiguration", handle_remove_video_source_config),            // 74
    Part("RemoveAudioSourceConfiguration", handle_remove_audio_source_config),            // 75
    Part("RemoveVideoEncoderConfiguration", handle_remove_video_encoder_config),          // 76
    Part("RemoveAudioEncoderConfiguration", handle_remove_audio_encoder_config),          // 77
    Part("DeleteProfile", handle_delete_profile),                                         // 78
    Part("CreateUsers", handle_create_users),                                             // 79
    Part("DeleteUsers", handle_delete_users),                                             // 80
    Part("SetUser", handle_set_user),                                                     // 81
    Part("GetProfile", handle_get_profile),                                               // 82
    Plain("StartMulticastStreaming", handle_start_multicast_streaming),                   // 83
    Part("SetSynchronizationPointRequest",
         handle_event_set_synchronization_point),                       // 84 (event service)
    Part("SetSynchronizationPoint", handle_set_synchronization_point),  // 85 (media service)
    Part("SetNetworkProtocols", handle_set_network_protocols),          // 86
    Part("SetScopes", handle_set_scopes),                               // 87
    Part("AddScopes", handle_add_scopes),                               // 88
    Part("RemoveScopes", handle_remove_scopes),                         // 89
    Part("SetRelayOutputSettings", handle_set_relay_output_settings),   // 90
    Part("SetRelayOutputState", handle_set_relay_output_state),         // 91
};

static_assert(sizeof(kActions) / sizeof(kActions[0]) == 91, "the action table has 91 entries");

}  // namespace

const ActionEntry* action_table() {
  return kActions;
}
std::size_t action_table_size() {
  return sizeof(kActions) / sizeof(kActions[0]);
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
