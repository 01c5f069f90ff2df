// Metadata configuration listings (use count 2, and 3 for the single configuration) and the
// session-timeout check of SetMetadataConfiguration.
#include "nvtd/media/metadata_configs.h"

#include <string_view>

#include "nvtd/events/event_service.h"
#include "nvtd/media/config_elements.h"
#include "nvtd/media/media_replies.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/faults.h"
#include "nvtd/soap/writers.h"

namespace nvtd {

HandlerOutcome handle_get_metadata_config_options(const Request&, Reply& reply) {
  send_body(reply,
            "<SOAP-ENV:Body><trt:GetMetadataConfigurationOptionsResponse><trt:Options>%s"
            "</trt:Options></trt:GetMetadataConfigurationOptionsResponse>%s",
            kMetadataOptions, kBodyEnd);
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_metadata_configs(const Request&, Reply& reply) {
  send_media_body(reply, "<trt:GetMetadataConfigurationsResponse>" +
                             metadata_configuration("trt:Configurations", 2) +
                             "</trt:GetMetadataConfigurationsResponse>");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_metadata_config(const Request&, Reply& reply) {
  send_media_body(reply, "<trt:GetMetadataConfigurationResponse>" +
                             metadata_configuration("trt:Configuration", 3) +
                             "</trt:GetMetadataConfigurationResponse>");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_compatible_metadata_configs(const Request&, Reply& reply) {
  send_media_body(reply, "<trt:GetCompatibleMetadataConfigurationsResponse>" +
                             metadata_configuration("trt:Configurations", 2) +
                             "</trt:GetCompatibleMetadataConfigurationsResponse>");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_set_metadata_config(const Request& request, Reply& reply) {
  auto timeout = element_text(request.body_part(), "SessionTimeout", 32);
  if (timeout && timeout->compare(0, 2, "PT") != 0) {
    send_catalogue_fault(reply, Fault::kSessionTimeoutMismatch);  // a 200 fault
    return HandlerOutcome::kAnswered;
  }
  event_configuration_changed("T-MetadataConf-00", "Metadata");
  send_empty_media_response(reply, "SetMetadataConfigurationResponse");
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
