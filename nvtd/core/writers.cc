// Response writers: status lines, headers, envelope opening and formatted templates.
#include "nvtd/core/writers.h"

#include <errno.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "nvtd/core/envelope.h"
#include "nvtd/core/process_state.h"

namespace nvtd {
namespace {

enum class StatusRule { kIfServer, kIfFlagAndServer };
enum class Framing { kBodyTemplate, kCompleteEnvelope };

void write_out(std::string_view data) {
  write_all(OutputFd, data);
}

// The headers and the response, each header line its own write.
void send_formatted(int status, StatusRule rule, Framing framing, const std::string& text) {
  bool status_lines = Server && (rule == StatusRule::kIfServer || status != 0);
  if (status_lines) write_out(kStatusOk);
  size_t length = text.size();
  if (framing == Framing::kBodyTemplate) length += kEnvelopeOpeningLength;
  char line[64];
  int n = snprintf(line, sizeof line, "Content-Length: %zu\r\n", length);
  write_out(std::string_view(line, size_t(n)));
  write_out("Content-Type: application/soap+xml; charset=utf-8\r\n");
  write_out("Connection: close\r\n\r\n");
  if (framing == Framing::kBodyTemplate) {
    write_out(std::string_view(EnvelopeOpening, kEnvelopeOpeningLength));
  }
  write_out(text);
}

void write_text_plain_header() {
  write_out("Content-Type: text/plain\r\n\r\n");
}

}  // namespace

void write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    data.remove_prefix(size_t(n));
  }
}

std::string format_bounded(size_t buffer_size, const char* format, va_list args) {
  std::vector<char> buffer(buffer_size);
  int n = vsnprintf(buffer.data(), buffer.size(), format, args);
  if (n < 0) return std::string();
  size_t length = size_t(n) < buffer_size ? size_t(n) : buffer_size - 1;
  return std::string(buffer.data(), length);
}

void out_printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = format_bounded(kResponseBufferSize, format, args);
  va_end(args);
  write_out(text);
}

void send_body(int status, const char* body_template, ...) {
  va_list args;
  va_start(args, body_template);
  std::string text = format_bounded(kResponseBufferSize, body_template, args);
  va_end(args);
  send_formatted(status, StatusRule::kIfServer, Framing::kBodyTemplate, text);
}

void send_fault(int status, const char* body_template, ...) {
  va_list args;
  va_start(args, body_template);
  std::string text = format_bounded(kResponseBufferSize, body_template, args);
  va_end(args);
  send_formatted(status, StatusRule::kIfFlagAndServer, Framing::kBodyTemplate, text);
}

void send_envelope(int status, const char* envelope_template, ...) {
  va_list args;
  va_start(args, envelope_template);
  std::string text = format_bounded(kResponseBufferSize, envelope_template, args);
  va_end(args);
  send_formatted(status, StatusRule::kIfServer, Framing::kCompleteEnvelope, text);
}

void send_envelope_fault(int status, const char* envelope_template, ...) {
  va_list args;
  va_start(args, envelope_template);
  std::string text = format_bounded(kResponseBufferSize, envelope_template, args);
  va_end(args);
  send_formatted(status, StatusRule::kIfFlagAndServer, Framing::kCompleteEnvelope, text);
}

void send_text(const char* message) {
  if (Persist) {
    printf("%s\n", message);
    return;
  }
  write_text_plain_header();
  write_out(message);
  write_out("\n");
}

void send_plain_error(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = format_bounded(kPlainErrorBufferSize, format, args);
  va_end(args);
  write_text_plain_header();
  write_out(text);
}

}  // namespace nvtd
