// Small answers shared by the device-service handlers (users, network configuration, device
// control): the empty device-service response and the plain-text replies some refusals give.
#pragma once

#include "nvtd/core/reply.h"

namespace nvtd {

// send_body of "<SOAP-ENV:Body><tds:NAMEResponse></tds:NAMEResponse>...".
void send_empty_device_response(Reply& reply, const char* name);

// A text/plain reply: the Content-Type line from "Content-Type: %s\r\n\r\n", then the
// message (no status line, no envelope). A request value is passed as an argument only.
void send_text_reply(Reply& reply, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace nvtd
