// The Media2 room's operations, in the order their names are searched.
#include "nvtd/media2/media2_operations.h"

#include "nvtd/media2/config_set.h"
#include "nvtd/media2/configurations.h"
#include "nvtd/media2/streaming.h"

namespace nvtd {
namespace {

constexpr Service kMedia2 = Service::kMedia2;
constexpr AccessClass kRead = AccessClass::kReadMedia;
constexpr AccessClass kSet = AccessClass::kActuate;
constexpr CallForm kWhole = CallForm::kRequest;

}  // namespace

OperationSlice media2_operations() {
  return {
      {"GetVideoEncoderInstances", kMedia2, kRead, kWhole,
       handle_media2_get_video_encoder_instances},
      {"GetOSDs", kMedia2, kRead, kWhole, handle_media2_get_osds},
      {"GetOSDOptions", kMedia2, kRead, kWhole, handle_media2_get_osd_options},
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
