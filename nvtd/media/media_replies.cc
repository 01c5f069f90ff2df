// Media reply framing. Built texts are passed as values of a "%s" template, never as formats.
#include "nvtd/media/media_replies.h"

#include "nvtd/soap/writers.h"

namespace nvtd {

void send_media_envelope(Reply& reply, const std::string& content) {
  std::string text = kMediaEnvelopeStart.c_str() + content + kBodyEnd;
  send_envelope(reply, "%s", text.c_str());
}

void send_media_body(Reply& reply, const std::string& content) {
  std::string text = kBodyStart + content + kBodyEnd;
  send_body(reply, "%s", text.c_str());
}

void send_empty_media_response(Reply& reply, const char* name) {
  send_body(reply, "<SOAP-ENV:Body><trt:%s></trt:%s></SOAP-ENV:Body></SOAP-ENV:Envelope>", name,
            name);
}

HandlerOutcome handle_set_synchronization_point(const Request&, Reply& reply) {
  send_empty_media_response(reply, "SetSynchronizationPointResponse");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_audio_outputs(const Request&, Reply& reply) {
  send_empty_media_response(reply, "GetAudioOutputsResponse");
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
