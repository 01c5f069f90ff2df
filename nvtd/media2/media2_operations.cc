// The Media2 room's operations, in the order their names are searched.
#include "nvtd/media2/media2_operations.h"

#include "nvtd/device/device_templates.h"
#include "nvtd/device/services.h"
#include "nvtd/media/profile_store.h"
#include "nvtd/media2/config_set.h"
#include "nvtd/media2/configurations.h"
#include "nvtd/media2/profiles2.h"
#include "nvtd/media2/streaming.h"

namespace nvtd {
namespace {

constexpr AccessClass kRead = AccessClass::kReadMedia;
constexpr AccessClass kSet = AccessClass::kActuate;
constexpr CallForm kWhole = CallForm::kRequest;
constexpr CallForm kPart = CallForm::kBodyPart;

static_assert(kMedia2MaximumProfiles == kProfileSlots + 2,
              "Media2's profile limit is the fixed profiles and the store's slots");

HandlerOutcome handle_media2_get_service_capabilities(const Request&, Reply& reply) {
  send_media2_service_capabilities(reply);
  return HandlerOutcome::kAnswered;
}

}  // namespace

OperationSlice media2_operations() {
  return {
      {"GetVideoEncoderInstances", kRead, kWhole, handle_media2_get_video_encoder_instances},
      {"GetOSDs", kRead, kWhole, handle_media2_get_osds},
      {"GetOSDOptions", kRead, kWhole, handle_media2_get_osd_options},
      {"AddConfiguration", kSet, kPart, handle_add_configuration2},
      {"RemoveConfiguration", kSet, kPart, handle_remove_configuration2},
  };
}

OperationSlice media2_operations_named_as_media1() {
  return {
      {"GetServiceCapabilities", AccessClass::kPreAuth, kWhole,
       handle_media2_get_service_capabilities},
      {"GetProfiles", kRead, kPart, handle_get_profiles2},
      {"CreateProfile", kSet, kPart, handle_create_profile2},
      {"DeleteProfile", kSet, kPart, handle_delete_profile2},
      {"GetVideoSourceConfigurations", kRead, kWhole, handle_media2_get_video_source_configs},
      {"GetVideoEncoderConfigurations", kRead, kWhole, handle_media2_get_video_encoder_configs},
      {"GetAudioSourceConfigurations", kRead, kWhole, handle_media2_get_audio_source_configs},
      {"GetAudioEncoderConfigurations", kRead, kWhole, handle_media2_get_audio_encoder_configs},
      {"GetMetadataConfigurations", kRead, kWhole, handle_media2_get_metadata_configs},
      {"GetVideoSourceConfigurationOptions", kRead, kWhole, handle_media2_video_source_options},
      {"GetVideoEncoderConfigurationOptions", kRead, kWhole, handle_media2_video_encoder_options},
      {"GetAudioSourceConfigurationOptions", kRead, kWhole, handle_media2_audio_source_options},
      {"GetAudioEncoderConfigurationOptions", kRead, kWhole, handle_media2_audio_encoder_options},
      {"GetMetadataConfigurationOptions", kRead, kWhole, handle_media2_metadata_options},
      {"SetVideoSourceConfiguration", kSet, kWhole, handle_media2_set_video_source_config},
      {"SetVideoEncoderConfiguration", kSet, kWhole, handle_media2_set_video_encoder_config},
      {"SetAudioEncoderConfiguration", kSet, kWhole, handle_media2_set_audio_encoder_config},
      {"GetStreamUri", kRead, kWhole, handle_media2_get_stream_uri},
      {"GetSnapshotUri", kRead, kWhole, handle_media2_get_snapshot_uri},
      {"SetSynchronizationPoint", kSet, kWhole, handle_media2_set_synchronization_point},
  };
}

}  // namespace nvtd
