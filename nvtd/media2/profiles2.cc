// Media2 profiles. A request names configurations by type (tr2:ConfigurationEnumeration) and
// token; the types this camera has are the five below, each with its fixed configuration
// tokens. A change must not leave an encoder without its source or metadata without video.
// Request values are echoed through xml_safe.
#include "nvtd/media2/profiles2.h"

#include <string>
#include <string_view>

#include "nvtd/core/process_state.h"
#include "nvtd/media/config_elements.h"
#include "nvtd/media/profile_store.h"
#include "nvtd/media/stream_settings.h"
#include "nvtd/media2/media2_replies.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/envelope.h"
#include "nvtd/soap/format_text.h"
#include "nvtd/soap/writers.h"
#include "nvtd/soap/xml_text.h"

namespace nvtd {
namespace {

// Bit i of a type set is kTypes[i].
enum TypeBit : unsigned { kVs = 1, kAs = 2, kVe = 4, kAe = 8, kMd = 16, kAllTypes = 31 };

struct ConfigType {
  const char* name;
  const char* token;  // the configuration's token (video encoders: also "T-VEConf-stream2")
  int (*attach)(std::string_view, const std::string&);
  int (*detach)(std::string_view);
};

// In the order of a tr2:ConfigurationSet.
constexpr ConfigType kTypes[] = {
    {"VideoSource", "T-VSConf-00", profile_attach_video_source, profile_detach_video_source},
    {"AudioSource", "T-ASConf-00", profile_attach_audio_source, profile_detach_audio_source},
    {"VideoEncoder", "T-VEConf-stream1", profile_attach_video_encoder,
     profile_detach_video_encoder},
    {"AudioEncoder", "T-AEConf-00", profile_attach_audio_encoder, profile_detach_audio_encoder},
    {"Metadata", "T-MetadataConf-00", profile_attach_metadata, profile_detach_metadata},
};
constexpr int kTypeCount = 5;

// The types a profile holds, and its video encoder's token.
struct Held {
  unsigned types = 0;
  std::string_view encoder;
};

Held held_by(const Media2Profile& p) {
  Held held;
  if (p.fixed_stream != 0) {
    held.types = kVs | kVe | kMd | (p.fixed_stream == 1 && HwAudio ? kAs | kAe : 0);
    held.encoder = p.fixed_stream == 1 ? "T-VEConf-stream1" : "T-VEConf-stream2";
    return held;
  }
  const std::optional<std::string>* tokens[] = {
      &p.slot->video_source_token, &p.slot->audio_source_token, &p.slot->video_encoder_token,
      &p.slot->audio_encoder_token, &p.slot->metadata_token};
  for (int i = 0; i < kTypeCount; ++i) held.types |= *tokens[i] ? 1u << i : 0;
  if (p.slot->video_encoder_token) held.encoder = *p.slot->video_encoder_token;
  return held;
}

std::string configuration(unsigned bit, std::string_view encoder) {
  switch (bit) {
    case kVs:
      return video_source_configuration("tr2:VideoSource", vsc_use_count + 2, stream_width(1),
                                        stream_height(1), BoundsOrder::kWidthFirst);
    case kAs:
      return audio_source_configuration("tr2:AudioSource", asc_use_count + 2);
    case kVe: {
      int s = encoder.find("T-VEConf-stream2") != std::string_view::npos ? 2 : 1;
      return video_encoder2_configuration(
          "tr2:VideoEncoder", video_encoder_view(xml_safe(encoder), s, venc_use_count(s) + 2));
    }
    case kAe:
      return audio_encoder2_configuration("tr2:AudioEncoder", aec_use_count + 2);
  }
  return metadata_configuration("tr2:Metadata", 2);
}

void append_profile(std::string& out, const Media2Profile& p, unsigned types) {
  static const char* const kFixed[] = {"", "stream1", "stream2"};
  bool fixed = p.fixed_stream != 0;
  std::string token = fixed ? kFixed[p.fixed_stream] : xml_safe(p.slot->token);
  out +=
      format_text("<tr2:Profiles token=\"%s\" fixed=\"%s\"><tr2:Name>%s</tr2:Name>", token.c_str(),
                  fixed ? "true" : "false", fixed ? token.c_str() : xml_safe(p.slot->name).c_str());
  if (types != 0) {
    Held held = held_by(p);
    out += "<tr2:Configurations>";
    for (unsigned bit = 1; bit < kAllTypes; bit <<= 1) {
      if (types & held.types & bit) out += configuration(bit, held.encoder);
    }
    out += "</tr2:Configurations>";
  }
  out += "</tr2:Profiles>";
}

// The value of the next element `name` in *rest, which then starts after it.
bool next_value(std::string_view* rest, std::string_view name, std::string_view* value) {
  ElementSpan span;
  if (!find_element(*rest, name, &span)) return false;
  *value = rest->substr(span.value_begin, span.value_end - span.value_begin);
  rest->remove_prefix(span.end_match + name.size());
  return true;
}

// "All" is every type; a type this camera lacks is none.
unsigned type_bits(std::string_view name) {
  if (name == "All") return kAllTypes;
  for (int i = 0; i < kTypeCount; ++i) {
    if (name == kTypes[i].name) return 1u << i;
  }
  return 0;
}

std::string_view element_in(std::string_view text, std::string_view name) {
  std::string_view value;
  return next_value(&text, name, &value) ? value : std::string_view();
}

// The configurations a CreateProfile or AddConfiguration names (tokens into the request);
// "All" entries are passed over.
struct References {
  unsigned types = 0;
  std::string_view tokens[kTypeCount];
};

// The dependent configurations held without what they depend on.
unsigned orphans(unsigned held) {
  unsigned out = 0;
  if ((held & kVe) && !(held & kVs)) out |= kVe;
  if ((held & kAe) && !(held & kAs)) out |= kAe;
  if ((held & kMd) && !(held & kVs)) out |= kMd;
  return out;
}

// Reads the references of a request for a profile holding `held`: kNoConfig for a type or
// token this camera does not have, kConfigurationConflict when adding them would leave a
// dependent configuration alone that was not; else kCount.
Fault read_references(std::string_view rest, unsigned held, References* refs) {
  std::string_view entry;
  while (next_value(&rest, "Configuration", &entry)) {
    std::string_view type = element_in(entry, "Type"), token = element_in(entry, "Token");
    if (type == "All") continue;
    unsigned bit = type_bits(type);
    if (bit == 0 || ((bit & (kAs | kAe)) && !HwAudio)) return Fault::kNoConfig;
    int i = __builtin_ctz(bit);
    if (token != kTypes[i].token && !(bit == kVe && token == "T-VEConf-stream2"))
      return Fault::kNoConfig;
    refs->types |= bit;
    refs->tokens[i] = token;
  }
  return orphans(held | refs->types) & ~orphans(held) ? Fault::kConfigurationConflict
                                                      : Fault::kCount;
}

void attach_all(const std::string& profile, const References& refs) {
  for (int i = 0; i < kTypeCount; ++i) {
    if (refs.types & 1u << i) kTypes[i].attach(profile, std::string(refs.tokens[i]));
  }
}

// The profile the request's element names.
Media2Profile profile_named(const Request& request, const char* element) {
  return find_media2_profile(body_value(request, element).value_or(""));
}

// The listing goes out whole: seven profiles with every configuration and escaped names may
// pass a response buffer.
void send_profiles(Reply& reply, const std::string& content) {
  send_body_text(reply, "<SOAP-ENV:Body><tr2:GetProfilesResponse xmlns:tr2=\"" NS_TR2 "\">" +
                            content +
                            "</tr2:GetProfilesResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>");
}

}  // namespace

HandlerOutcome handle_get_profiles2(const Request& request, Reply& reply) {
  std::string_view rest = request.body_part(), type;
  unsigned types = 0;
  while (next_value(&rest, "Type", &type)) types |= type_bits(type);
  if (types != 0) prefetch_stream_settings({1, 2}, HwAudio);
  std::string content;
  if (auto token = body_value(request, "Token")) {
    Media2Profile profile = find_media2_profile(*token);
    if (!profile.found) return media2_fault(reply, Fault::kNoProfile);
    append_profile(content, profile, types);
  } else {
    for (int stream = 1; stream <= 2; ++stream)
      append_profile(content, Media2Profile{true, stream, nullptr}, types);
    const profile_slot* slot = nullptr;
    for (int pos = profile_next(0, &slot); pos >= 0; pos = profile_next(pos, &slot))
      append_profile(content, Media2Profile{true, 0, slot}, types);
  }
  send_profiles(reply, content);
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_create_profile2(const Request& request, Reply& reply) {
  auto name = body_value(request, "Name");
  if (!name) return media2_fault(reply, Fault::kConfigModify);
  References refs;
  Fault refused = read_references(request.body_part(), 0, &refs);
  if (refused == Fault::kCount && profile_count() >= kProfileSlots) refused = Fault::kMaxProfiles;
  if (refused != Fault::kCount) return media2_fault(reply, refused);
  char token[] = "profile_1";  // one no profile has: at most five are stored
  while (profile_exists(token) && token[8] <= '0' + kProfileSlots) ++token[8];
  profile_create(*name, token);
  attach_all(token, refs);
  send_media2(reply,
              "<tr2:CreateProfileResponse><tr2:Token>%s</tr2:Token></tr2:CreateProfileResponse>",
              token);
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_delete_profile2(const Request& request, Reply& reply) {
  Media2Profile profile = profile_named(request, "Token");
  if (profile.fixed_stream != 0) return media2_fault(reply, Fault::kDeletionOfFixedProfile);
  if (!profile.found) return media2_fault(reply, Fault::kNoProfile);
  profile_delete(std::string(profile.slot->token));
  send_media2_empty(reply, "DeleteProfileResponse");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_add_configuration2(const Request& request, Reply& reply) {
  Media2Profile profile = profile_named(request, "ProfileToken");
  if (!profile.found) return media2_fault(reply, Fault::kNoProfile);
  Held held = held_by(profile);
  References refs;
  Fault refused = read_references(request.body_part(), held.types, &refs);
  auto name = body_value(request, "Name");
  // A fixed profile's name and configurations are its stream's: only what it holds may be
  // added again.
  if (profile.fixed_stream != 0 && (name || (refs.types & ~held.types) ||
                                    ((refs.types & kVe) && refs.tokens[2] != held.encoder)))
    refused = Fault::kConfigurationConflict;
  if (refused != Fault::kCount) return media2_fault(reply, refused);
  if (profile.fixed_stream == 0) {
    std::string token = profile.slot->token;
    if (name) profile_rename(token, *name);
    attach_all(token, refs);
  }
  send_media2_empty(reply, "AddConfigurationResponse");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_remove_configuration2(const Request& request, Reply& reply) {
  Media2Profile profile = profile_named(request, "ProfileToken");
  if (!profile.found) return media2_fault(reply, Fault::kNoProfile);
  Held held = held_by(profile);
  unsigned types = 0;  // tokens are passed over; types it does not hold are no error
  std::string_view rest = request.body_part(), entry;
  while (next_value(&rest, "Configuration", &entry)) types |= type_bits(element_in(entry, "Type"));
  types &= held.types;
  if (profile.fixed_stream != 0 ? types != 0
                                : (orphans(held.types & ~types) & ~orphans(held.types)) != 0)
    return media2_fault(reply, Fault::kConfigurationConflict);
  for (int i = 0; i < kTypeCount; ++i) {
    if (types & 1u << i) kTypes[i].detach(profile.slot->token);
  }
  send_media2_empty(reply, "RemoveConfigurationResponse");
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
