// Media2 reply framing, request values and profile tokens. Built texts go out as the value of
// a "%s" template, never as formats.
#include "nvtd/media2/media2_replies.h"

#include <algorithm>
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

void send_media2(Reply& reply, const std::string& content) {
  send_envelope(reply, "%s<SOAP-ENV:Body>%s</SOAP-ENV:Body></SOAP-ENV:Envelope>",
                kTtTr2EnvelopeOpening, content.c_str());
}

void send_media2_empty(Reply& reply, const char* name) {
  send_envelope(reply, "%s<SOAP-ENV:Body><tr2:%s></tr2:%s></SOAP-ENV:Body></SOAP-ENV:Envelope>",
                kTtTr2EnvelopeOpening, name, name);
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
  for (std::size_t at = text.find(element); at != std::string_view::npos;
       at = text.find(element, at + 1)) {
    std::size_t end = at + element.size();
    char before = at > 0 ? text[at - 1] : ' ';
    if ((before != '<' && before != ':') || end >= text.size() || name_char(text[end])) continue;
    std::string_view tag = text.substr(end, text.find('>', end) - end);
    for (std::size_t a = tag.find(attribute); a != std::string_view::npos;
         a = tag.find(attribute, a + 1)) {
      std::size_t eq = a + attribute.size();
      if (a == 0 || name_char(tag[a - 1]) || eq + 1 >= tag.size() || tag[eq] != '=') continue;
      char quote = tag[eq + 1];
      std::size_t close = tag.find(quote, eq + 2);
      if ((quote != '"' && quote != '\'') || close == std::string_view::npos) continue;
      return std::string(tag.substr(eq + 2, std::min(close - eq - 2, size - 1)));
    }
    return std::nullopt;
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
