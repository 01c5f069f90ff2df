// Response writers: status lines, headers, envelope opening and formatted templates.
#include "nvtd/soap/writers.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "nvtd/soap/envelope.h"

namespace nvtd {
namespace {

enum class StatusRule { kIfServer, kIfFlagAndServer };
enum class Framing { kBodyTemplate, kCompleteEnvelope };

// The headers and the response, appended to the reply whole.
void send_formatted(Reply& reply, int status, StatusRule rule, Framing framing,
                    std::string_view text) {
  bool status_lines =
      reply.mode() == RunMode::kServer && (rule == StatusRule::kIfServer || status != 0);
  if (status_lines) reply.append(kStatusOk);
  size_t length = text.size();
  if (framing == Framing::kBodyTemplate) length += kEnvelopeOpeningLength;
  char line[64];
  int n = snprintf(line, sizeof line, "Content-Length: %zu\r\n", length);
  reply.append(std::string_view(line, size_t(n)));
  reply.append("Content-Type: application/soap+xml; charset=utf-8\r\n");
  reply.append("Connection: close\r\n\r\n");
  if (framing == Framing::kBodyTemplate) {
    reply.append(std::string_view(EnvelopeOpening, kEnvelopeOpeningLength));
  }
  reply.append(text);
}

void append_text_plain_header(Reply& reply) {
  reply.append("Content-Type: text/plain\r\n\r\n");
}

std::string format_response(const char* format, va_list args) {
  return format_bounded(kResponseBufferSize, format, args);
}

}  // namespace

std::string format_bounded(size_t buffer_size, const char* format, va_list args) {
  std::vector<char> buffer(buffer_size);
  int n = vsnprintf(buffer.data(), buffer.size(), format, args);
  if (n < 0) return std::string();
  size_t length = size_t(n) < buffer_size ? size_t(n) : buffer_size - 1;
  return std::string(buffer.data(), length);
}

void out_printf(Reply& reply, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = format_response(format, args);
  va_end(args);
  reply.append(text);
}

void send_body(Reply& reply, const char* body_template, ...) {
  va_list args;
  va_start(args, body_template);
  std::string text = format_response(body_template, args);
  va_end(args);
  send_formatted(reply, 0, StatusRule::kIfServer, Framing::kBodyTemplate, text);
}

void send_body_text(Reply& reply, std::string_view body) {
  send_formatted(reply, 0, StatusRule::kIfServer, Framing::kBodyTemplate, body);
}

void send_fault(Reply& reply, int status, const char* body_template, ...) {
  va_list args;
  va_start(args, body_template);
  std::string text = format_response(body_template, args);
  va_end(args);
  send_formatted(reply, status, StatusRule::kIfFlagAndServer, Framing::kBodyTemplate, text);
}

void send_envelope(Reply& reply, const char* envelope_template, ...) {
  va_list args;
  va_start(args, envelope_template);
  std::string text = format_response(envelope_template, args);
  va_end(args);
  send_formatted(reply, 0, StatusRule::kIfServer, Framing::kCompleteEnvelope, text);
}

void send_envelope_fault(Reply& reply, int status, const char* envelope_template, ...) {
  va_list args;
  va_start(args, envelope_template);
  std::string text = format_response(envelope_template, args);
  va_end(args);
  send_formatted(reply, status, StatusRule::kIfFlagAndServer, Framing::kCompleteEnvelope, text);
}

void send_text(Reply& reply, const char* message) {
  if (reply.mode() == RunMode::kRelay) {
    printf("%s\n", message);
    return;
  }
  append_text_plain_header(reply);
  reply.append(message);
  reply.append("\n");
}

void send_plain_error(Reply& reply, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = format_bounded(kPlainErrorBufferSize, format, args);
  va_end(args);
  append_text_plain_header(reply);
  reply.append(text);
}

}  // namespace nvtd
