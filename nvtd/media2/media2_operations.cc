// The Media2 room's operations, in the order their names are searched.
#include "nvtd/media2/media2_operations.h"

#include "nvtd/device/device_templates.h"
#include "nvtd/device/services.h"
#include "nvtd/media/profile_store.h"
#include "nvtd/media2/config_set.h"
#include "nvtd/media2/configurations.h"
#include "nvtd/media2/media2_replies.h"
#include "nvtd/media2/profiles2.h"
#include "nvtd/media2/streaming.h"

namespace nvtd {
namespace {

constexpr Service kMedia2 = Service::kMedia2;
constexpr AccessClass kRead = AccessClass::kReadMedia;
constexpr AccessClass kSet = AccessClass::kActuate;
constexpr CallForm kWhole = CallForm::kRequest;
constexpr CallForm kPart = CallForm::kBodyPart;

static_assert(kMedia2MaximumProfiles == kProfileSlots + 2,
              "Media2's profile limit is the fixed profiles and the store's slots");

HandlerOutcome handle_media2_get_service_capabilities(const Request&, Reply& reply) {
  send_media2(reply, "<tr2:GetServiceCapabilitiesResponse>%s</tr2:GetServiceCapabilitiesResponse>",
              media2_service_capabilities().c_str());
  return HandlerOutcome::kAnswered;
}

}  // namespace

OperationSlice media2_operations() {
  return {
      {"GetVideoEncoderInstances", kMedia2, kRead, kWhole,
       handle_media2_get_video_encoder_instances},
      {"GetOSDs", kMedia2, kRead, kWhole, handle_media2_get_osds},
      {"GetOSDOptions", kMedia2, kRead, kWhole, handle_media2_get_osd_options},
      {"AddConfiguration", kMedia2, kSet, kPart, handle_add_configuration2},
      {"RemoveConfiguration", kMedia2, kSet, kPart, handle_remove_configuration2},
      {"GetServiceCapabilities", kMedia2, AccessClass::kPreAuth, kWhole,
       handle_media2_get_service_capabilities},
      {"GetProfiles", kMedia2, kRead, kPart, handle_get_profiles2},
      {"CreateProfile", kMedia2, kSet, kPart, handle_create_profile2},
      {"DeleteProfile", kMedia2, kSet, kPart, handle_delete_profile2},
      {"GetVideoSourceConfigurations", kMedia2, kRead, kWhole,
       handle_media2_get_video_source_configs},
      {"GetVideoEncoderConfigurations", kMedia2, kRead, kWhole,
       handle_media2_get_video_encoder_configs},
      {"GetAudioSourceConfigurations", kMedia2, kRead, kWhole,
       handle_media2_get_audio_source_configs},
      {"GetAudioEncoderConfigurations", kMedia2, kRead, kWhole,
       handle_media2_get_audio_encoder_configs},
      {"GetMetadataConfigurations", kMedia2, kRead, kWhole, handle_media2_get_metadata_configs},
      {"GetVideoSourceConfigurationOptions", kMedia2, kRead, kWhole,
       handle_media2_video_source_options},
      {"GetVideoEncoderConfigurationOptions", kMedia2, kRead, kWhole,
       handle_media2_video_encoder_options},
      {"GetAudioSourceConfigurationOptions", kMedia2, kRead, kWhole,
       handle_media2_audio_source_options},
      {"GetAudioEncoderConfigurationOptions", kMedia2, kRead, kWhole,
       handle_media2_audio_encoder_options},
      {"GetMetadataConfigurationOptions", kMedia2, kRead, kWhole, handle_media2_metadata_options},
      {"SetVideoSourceConfiguration", kMedia2, kSet, kWhole, handle_media2_set_video_source_config},
      {"SetVideoEncoderConfiguration", kMedia2, kSet, kWhole,
       handle_media2_set_video_encoder_config},
      {"SetAudioEncoderConfiguration", kMedia2, kSet, kWhole,
       handle_media2_set_audio_encoder_config},
      {"GetStreamUri", kMedia2, kRead, kWhole, handle_media2_get_stream_uri},
      {"GetSnapshotUri", kMedia2, kRead, kWhole, handle_media2_get_snapshot_uri},
      {"SetSynchronizationPoint", kMedia2, kSet, kWhole, handle_media2_set_synchronization_point},
  };
}

}  // namespace nvtd
