// The read-only video operations of the media service: video sources, video source and
// video encoder configurations, their options, and the guaranteed encoder instances.
// All are plain handlers (they read the request body themselves).
#pragma once

namespace nvtd {

int handle_get_video_sources();
int handle_get_video_source_configs();
int handle_get_video_source_config();
int handle_get_compatible_video_source_configs();
int handle_get_video_source_config_options();
int handle_get_video_encoder_configs();
int handle_get_video_encoder_config();
int handle_get_compatible_video_encoder_configs();
int handle_get_video_encoder_config_options();
int handle_get_guaranteed_encoders();

}  // namespace nvtd
