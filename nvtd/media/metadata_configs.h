// The metadata configuration operations: the fixed "T-MetadataConf-00" in the listings, its
// options, and SetMetadataConfiguration, which checks the session timeout and stores nothing.
#pragma once

namespace nvtd {

int handle_get_metadata_config_options();
int handle_get_metadata_configs();
int handle_get_metadata_config();
int handle_get_compatible_metadata_configs(const char* text, int length);  // body part
int handle_set_metadata_config(const char* text, int length);              // body part

}  // namespace nvtd
