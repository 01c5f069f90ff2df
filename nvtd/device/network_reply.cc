// The empty response and the text replies, through the core writers.
#include "nvtd/device/network_reply.h"

#include <cstdarg>

#include "nvtd/soap/writers.h"

namespace nvtd {

void send_empty_device_response(Reply& reply, const char* name) {
  send_body(reply,
            "<SOAP-ENV:Body><tds:%sResponse></tds:%sResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>",
            name, name);
}

void send_text_reply(Reply& reply, const char* format, ...) {
  out_printf(reply, "Content-Type: %s\r\n\r\n", "text/plain");
  va_list args;
  va_start(args, format);
  std::string message = format_bounded(kResponseBufferSize, format, args);
  va_end(args);
  out_printf(reply, "%s", message.c_str());
}

}  // namespace nvtd
