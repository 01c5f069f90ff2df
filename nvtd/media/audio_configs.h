// The audio operations of the media service: the audio source, its configuration and
// options, the audio encoder configuration and options, and their Set operations, which
// check the request against the fixed configuration and write nothing.
#pragma once

namespace nvtd {

int handle_get_audio_sources();
int handle_get_audio_source_configs();
int handle_get_compatible_audio_source_configs();
int handle_get_audio_source_config(const char* text, int length);          // body part
int handle_get_audio_source_config_options(const char* text, int length);  // body part
int handle_set_audio_source_config(const char* text, int length);          // body part
int handle_get_audio_encoder_configs();
int handle_get_compatible_audio_encoder_configs();
int handle_get_audio_encoder_config();
int handle_get_audio_encoder_config_options();
int handle_set_audio_encoder_config();

}  // namespace nvtd
