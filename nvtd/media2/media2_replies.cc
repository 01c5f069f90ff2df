// Media2 reply framing, request values and profile tokens. Built texts go out as the value of
// a "%s" template, never as formats.
#include "nvtd/media2/media2_replies.h"

#include <algorithm>
#include <cstdarg>
#include <cstdlib>

#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/envelope.h"
#include "nvtd/soap/writers.h"

namespace nvtd {
namespace {

constexpr std::size_t kTokenSize = 65;  // a tt:ReferenceToken holds at most 64 characters

bool name_char(char c) {
  return c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '>' && c != '/' && c != '=';
}

}  // namespace

void send_media2(Reply& reply, const char* content_format, ...) {
  va_list args;
  va_start(args, content_format);
  std::string content = format_bounded(kResponseBufferSize, content_format, args);
  va_end(args);
  send_envelope(reply, "%s<SOAP-ENV:Body>%s</SOAP-ENV:Body></SOAP-ENV:Envelope>",
                kTtTr2EnvelopeOpening, content.c_str());
}

void send_media2_empty(Reply& reply, const char* name) {
  send_media2(reply, "<tr2:%s></tr2:%s>", name, name);
}

HandlerOutcome media2_fault(Reply& reply, Fault fault) {
  send_catalogue_fault(reply, fault);
  return HandlerOutcome::kAnswered;
}

std::optional<std::string> body_value(const Request& request, const char* name) {
  return element_text(request.body_part(), name, kTokenSize);
}

std::optional<long> body_number(const Request& request, const char* name) {
  auto value = body_value(request, name);
  if (!value) return std::nullopt;
  return strtol(value->c_str(), nullptr, 10);
}

std::optional<std::string> start_tag_attribute(std::string_view text, std::string_view element,
                                               std::string_view attribute, std::size_t size) {
  constexpr auto npos = std::string_view::npos;
  std::size_t at = text.find(element), end = at + element.size();
  while (at != npos && (at == 0 || (text[at - 1] != '<' && text[at - 1] != ':') ||
                        (end < text.size() && name_char(text[end])))) {
    at = text.find(element, at + 1);
    end = at + element.size();
  }
  if (at == npos) return std::nullopt;
  std::string_view tag = text.substr(at, text.find('>', at) - at);
  for (std::size_t a = tag.find(attribute, element.size()); a != npos;
       a = tag.find(attribute, a + 1)) {
    std::size_t quote = a + attribute.size() + 1;
    if (name_char(tag[a - 1]) || quote >= tag.size() || tag[quote - 1] != '=' ||
        (tag[quote] != '"' && tag[quote] != '\'')) {
      continue;
    }
    std::size_t close = tag.find(tag[quote], quote + 1);
    if (close == npos) break;
    return std::string(tag.substr(quote + 1, std::min(close - quote - 1, size - 1)));
  }
  return std::nullopt;
}

Media2Profile find_media2_profile(std::string_view token) {
  Media2Profile profile;
  if (token == "stream1" || token == "stream2") {
    profile.found = true;
    profile.fixed_stream = token.back() - '0';
    return profile;
  }
  const profile_slot* slot = nullptr;
  for (int pos = profile_next(0, &slot); pos >= 0; pos = profile_next(pos, &slot)) {
    if (slot->token == token) {
      profile.found = true;
      profile.slot = slot;
      break;
    }
  }
  return profile;
}

int profile_stream(const Media2Profile& profile) {
  if (profile.fixed_stream != 0) return profile.fixed_stream;
  if (!profile.slot || !profile.slot->video_source_token || !profile.slot->video_encoder_token) {
    return 0;
  }
  return *profile.slot->video_encoder_token == "T-VEConf-stream2" ? 2 : 1;
}

}  // namespace nvtd
