// Response writers: every answer nvtd gives goes through these into the request's Reply.
// Templates are printf formats filled into a bounded buffer; the formatted text is never used
// as a format again, and every Content-Length is the length of what is actually written.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

#include "nvtd/core/reply.h"

namespace nvtd {

// A formatted response is cut to this buffer (at most 19999 characters).
inline constexpr size_t kResponseBufferSize = 20000;
// send_plain_error's buffer (at most 1999 characters).
inline constexpr size_t kPlainErrorBufferSize = 2000;

inline constexpr char kStatusOk[] = "HTTP/1.0 200 OK\r\nServer: OnVIF NVT\r\n";
inline constexpr char kStatusBadRequest[] = "HTTP/1.0 400 Bad Request\r\n";
inline constexpr char kStatusServerError[] = "HTTP/1.0 500 Internal Server Error\r\n";

// The formatted text, as is.
void out_printf(Reply& reply, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Status lines in server mode; the headers; EnvelopeOpening; the formatted body template.
void send_body(Reply& reply, const char* body_template, ...) __attribute__((format(printf, 2, 3)));
// Like send_body, with the status lines only when status is non-zero in server mode.
void send_fault(Reply& reply, int status, const char* body_template, ...)
    __attribute__((format(printf, 3, 4)));
// Like send_body with a body that is no format: appended whole, never cut.
void send_body_text(Reply& reply, std::string_view body);
// Status lines in server mode; the headers; the formatted complete-envelope template.
void send_envelope(Reply& reply, const char* envelope_template, ...)
    __attribute__((format(printf, 2, 3)));
// Like send_envelope, with the status lines only when status is non-zero in server mode.
void send_envelope_fault(Reply& reply, int status, const char* envelope_template, ...)
    __attribute__((format(printf, 3, 4)));

// In the relay mode the message goes to standard output; otherwise a text/plain response with
// the message and a newline.
void send_text(Reply& reply, const char* message);
// A text/plain response with the formatted text (at most 1999 characters).
void send_plain_error(Reply& reply, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Formats into a buffer of buffer_size bytes, cutting what does not fit.
std::string format_bounded(size_t buffer_size, const char* format, va_list args)
    __attribute__((format(printf, 2, 0)));

}  // namespace nvtd
