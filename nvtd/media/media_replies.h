// Reply framing shared by the media handlers: the complete envelope some media responses
// use, the empty trt response, and the media operations that are answered with one.
#pragma once

#include <string>

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"
#include "nvtd/soap/envelope.h"

namespace nvtd {

// The complete-envelope start: XML declaration, envelope start tag with the prefixes the
// media responses use, an empty header and the Body start tag.
inline constexpr auto kMediaEnvelopeStart =
    join_text(kTtTrtEnvelopeOpening, "<SOAP-ENV:Header></SOAP-ENV:Header><SOAP-ENV:Body>");
inline constexpr char kBodyStart[] = "<SOAP-ENV:Body>";
inline constexpr char kBodyEnd[] = "</SOAP-ENV:Body></SOAP-ENV:Envelope>";

// send_envelope of kMediaEnvelopeStart, the body's content and kBodyEnd.
void send_media_envelope(Reply& reply, const std::string& content);
// send_body of "<SOAP-ENV:Body>", the content and kBodyEnd.
void send_media_body(Reply& reply, const std::string& content);
// send_body of "<SOAP-ENV:Body><trt:NAME></trt:NAME></SOAP-ENV:Body></SOAP-ENV:Envelope>".
void send_empty_media_response(Reply& reply, const char* name);

// SetSynchronizationPoint (media service, body part) and GetAudioOutputs: empty responses.
HandlerOutcome handle_set_synchronization_point(const Request& request, Reply& reply);
HandlerOutcome handle_get_audio_outputs(const Request& request, Reply& reply);

}  // namespace nvtd
