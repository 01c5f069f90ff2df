// Media2 profiles. A request names configurations by type (tr2:ConfigurationEnumeration) and
// token; the types this camera has are the five below, each with its fixed configuration
// tokens. A change must not leave an encoder without its source or metadata without video.
// Request values are echoed through xml_safe.
#include "nvtd/media2/profiles2.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "nvtd/core/process_state.h"
#include "nvtd/media/config_elements.h"
#include "nvtd/media/profile_store.h"
#include "nvtd/media/stream_settings.h"
#include "nvtd/media2/media2_replies.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/envelope.h"
#include "nvtd/soap/faults.h"
#include "nvtd/soap/format_text.h"
#include "nvtd/soap/writers.h"
#include "nvtd/soap/xml_text.h"

namespace nvtd {
namespace {

constexpr std::size_t kField = 65;  // tokens and names: at most 64 characters
constexpr int kMaxReferences = 16;  // configuration references read from one request

enum TypeBit : unsigned { kVs = 1, kAs = 2, kVe = 4, kAe = 8, kMd = 16, kAllTypes = 31 };

struct ConfigType {
  const char* name;
  unsigned bit;
  const char* token;  // the configuration's token (video encoders: also "T-VEConf-stream2")
  int (*attach)(std::string_view, const std::string&);
  int (*detach)(std::string_view);
};

// In the order of a tr2:ConfigurationSet.
constexpr ConfigType kTypes[] = {
    {"VideoSource", kVs, "T-VSConf-00", profile_attach_video_source, profile_detach_video_source},
    {"AudioSource", kAs, "T-ASConf-00", profile_attach_audio_source, profile_detach_audio_source},
    {"VideoEncoder", kVe, "T-VEConf-stream1", profile_attach_video_encoder,
     profile_detach_video_encoder},
    {"AudioEncoder", kAe, "T-AEConf-00", profile_attach_audio_encoder,
     profile_detach_audio_encoder},
    {"Metadata", kMd, "T-MetadataConf-00", profile_attach_metadata, profile_detach_metadata},
};
constexpr int kTypeCount = sizeof kTypes / sizeof kTypes[0];

struct ProfileView {
  std::string token, name;
  bool fixed = false;
  unsigned held = 0;    // TypeBits
  std::string encoder;  // the video encoder token, when held
};

ProfileView fixed_view(int stream) {
  ProfileView p;
  p.token = p.name = "stream" + std::to_string(stream);
  p.fixed = true;
  p.held = kVs | kVe | kMd | (stream == 1 && HwAudio ? kAs | kAe : 0);
  p.encoder = "T-VEConf-" + p.token;
  return p;
}

ProfileView created_view(const profile_slot& slot) {
  ProfileView p;
  p.token = slot.token;
  p.name = slot.name;
  const std::optional<std::string>* held[] = {&slot.video_source_token, &slot.audio_source_token,
                                              &slot.video_encoder_token, &slot.audio_encoder_token,
                                              &slot.metadata_token};
  for (int i = 0; i < kTypeCount; ++i) p.held |= *held[i] ? kTypes[i].bit : 0;
  p.encoder = slot.video_encoder_token.value_or("");
  return p;
}

// A fixed profile first, as Media1's GetProfile answers it, else a created one.
std::optional<ProfileView> find_profile(std::string_view token) {
  if (token == "stream1" || token == "stream2") return fixed_view(token.back() - '0');
  const profile_slot* slot = profile_find(token);
  if (!slot) return std::nullopt;
  return created_view(*slot);
}

std::string configuration(unsigned bit, const ProfileView& p) {
  switch (bit) {
    case kVs:
      return video_source_configuration("tr2:VideoSource", vsc_use_count + 2, stream_width(1),
                                        stream_height(1), BoundsOrder::kWidthFirst);
    case kAs:
      return audio_source_configuration("tr2:AudioSource", asc_use_count + 2);
    case kVe: {
      int s = p.encoder.find("T-VEConf-stream2") != std::string::npos ? 2 : 1;
      return video_encoder2_configuration(
          "tr2:VideoEncoder", video_encoder_view(xml_safe(p.encoder), s, venc_use_count(s) + 2));
    }
    case kAe:
      return audio_encoder2_configuration("tr2:AudioEncoder", aec_use_count + 2);
    default:
      return metadata_configuration("tr2:Metadata", 2);
  }
}

std::string media_profile(const ProfileView& p, unsigned types) {
  std::string text =
      format_text("<tr2:Profiles token=\"%s\" fixed=\"%s\"><tr2:Name>%s</tr2:Name>",
                  xml_safe(p.token).c_str(), p.fixed ? "true" : "false", xml_safe(p.name).c_str());
  if (types != 0) {
    text += "<tr2:Configurations>";
    for (const ConfigType& t : kTypes) {
      if (types & p.held & t.bit) text += configuration(t.bit, p);
    }
    text += "</tr2:Configurations>";
  }
  return text + "</tr2:Profiles>";
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\n')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\n')) text.remove_suffix(1);
  return text;
}

// The contents of the elements named `name`, in order, at most kMaxReferences.
std::vector<std::string_view> element_contents(std::string_view text, std::string_view name) {
  std::vector<std::string_view> found;
  ElementSpan span;
  while (found.size() < kMaxReferences && find_element(text, name, &span)) {
    found.push_back(text.substr(span.value_begin, span.value_end - span.value_begin));
    text.remove_prefix(span.end_match + name.size());
  }
  return found;
}

// "All" is every type; a type this camera lacks is none.
unsigned type_bits(std::string_view name) {
  name = trimmed(name);
  if (name == "All") return kAllTypes;
  for (const ConfigType& t : kTypes) {
    if (name == t.name) return t.bit;
  }
  return 0;
}

int type_index(unsigned bit) {
  int i = 0;
  while (i < kTypeCount && kTypes[i].bit != bit) ++i;
  return i;
}

bool configuration_exists(const ConfigType& type, std::string_view token) {
  if ((type.bit & (kAs | kAe)) && !HwAudio) return false;
  return token == type.token || (type.bit == kVe && token == "T-VEConf-stream2");
}

// The configurations a CreateProfile or AddConfiguration names, by type; "All" entries are
// passed over. False (with the fault) for a type or token this camera does not have.
struct References {
  unsigned types = 0;
  std::string tokens[kTypeCount];
};
bool read_references(std::string_view body, References* refs, Fault* fault) {
  for (std::string_view entry : element_contents(body, "Configuration")) {
    std::string type = element_text(entry, "Type", kField).value_or("");
    if (trimmed(type) == "All") continue;
    unsigned bit = type_bits(type);
    auto token = element_text(entry, "Token", kField);
    if (bit == 0 || !token || !configuration_exists(kTypes[type_index(bit)], trimmed(*token))) {
      *fault = Fault::kNoConfig;
      return false;
    }
    refs->types |= bit;
    refs->tokens[type_index(bit)] = std::string(trimmed(*token));
  }
  return true;
}

// The dependent configurations held without what they depend on.
unsigned orphans(unsigned held) {
  unsigned out = 0;
  if ((held & kVe) && !(held & kVs)) out |= kVe;
  if ((held & kAe) && !(held & kAs)) out |= kAe;
  if ((held & kMd) && !(held & kVs)) out |= kMd;
  return out;
}

// Whether going from one set to another leaves a dependent configuration alone that was not.
bool conflicts(unsigned before, unsigned after) {
  return (orphans(after) & ~orphans(before)) != 0;
}

void attach_all(const std::string& profile, const References& refs) {
  for (int i = 0; i < kTypeCount; ++i) {
    if (refs.types & kTypes[i].bit) kTypes[i].attach(profile, refs.tokens[i]);
  }
}

HandlerOutcome fault(Reply& reply, Fault which) {
  return media2_fault(reply, which);
}

// The listing goes out whole: seven profiles with every configuration and escaped names may
// pass a response buffer.
void send_profiles(Reply& reply, const std::string& content) {
  send_body_text(reply, "<SOAP-ENV:Body><tr2:GetProfilesResponse xmlns:tr2=\"" NS_TR2 "\">" +
                            content +
                            "</tr2:GetProfilesResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>");
}

// A token for a new profile that no profile has (at most five are stored).
std::string free_token() {
  std::string token;
  for (int n = 1; n <= kProfileSlots + 1; ++n) {
    token = "profile_" + std::to_string(n);
    if (!profile_exists(token)) break;
  }
  return token;
}

}  // namespace

HandlerOutcome handle_get_profiles2(const Request& request, Reply& reply) {
  std::string_view body = request.body_part();
  unsigned types = 0;
  for (std::string_view type : element_contents(body, "Type")) types |= type_bits(type);
  std::vector<ProfileView> profiles;
  if (auto token = element_text(body, "Token", kField)) {
    auto found = find_profile(*token);
    if (!found) return fault(reply, Fault::kNoProfile);
    profiles.push_back(*found);
  } else {
    profiles = {fixed_view(1), fixed_view(2)};
    const profile_slot* slot = nullptr;
    for (int pos = profile_next(0, &slot); pos >= 0; pos = profile_next(pos, &slot))
      profiles.push_back(created_view(*slot));
  }
  if (types != 0) prefetch_stream_settings({1, 2}, HwAudio);
  std::string content;
  for (const ProfileView& p : profiles) content += media_profile(p, types);
  send_profiles(reply, content);
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_create_profile2(const Request& request, Reply& reply) {
  std::string_view body = request.body_part();
  auto name = element_text(body, "Name", kField);
  if (!name) return fault(reply, Fault::kConfigModify);
  References refs;
  Fault refused;
  if (!read_references(body, &refs, &refused)) return fault(reply, refused);
  if (profile_count() >= kProfileSlots) return fault(reply, Fault::kMaxProfiles);
  if (conflicts(0, refs.types)) return fault(reply, Fault::kConfigurationConflict);
  std::string token = free_token();
  trace("create profile %s\n", token.c_str());
  profile_create(*name, token);
  attach_all(token, refs);
  send_media2(reply, "<tr2:CreateProfileResponse><tr2:Token>" + token +
                         "</tr2:Token></tr2:CreateProfileResponse>");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_delete_profile2(const Request& request, Reply& reply) {
  auto token = element_text(request.body_part(), "Token", kField);
  if (!token) return fault(reply, Fault::kNoProfile);
  if (*token == "stream1" || *token == "stream2")
    return fault(reply, Fault::kDeletionOfFixedProfile);
  trace("delete profile %s\n", token->c_str());
  if (profile_delete(*token) < 0) return fault(reply, Fault::kNoProfile);
  send_media2_empty(reply, "DeleteProfileResponse");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_add_configuration2(const Request& request, Reply& reply) {
  std::string_view body = request.body_part();
  auto profile = find_profile(element_text(body, "ProfileToken", kField).value_or(""));
  if (!profile) return fault(reply, Fault::kNoProfile);
  References refs;
  Fault refused;
  if (!read_references(body, &refs, &refused)) return fault(reply, refused);
  auto name = element_text(body, "Name", kField);
  if (profile->fixed) {
    // Its configurations are its stream's: only what it holds already may be added again.
    bool same = (refs.types & ~profile->held) == 0 && (!name || *name == profile->name) &&
                (!(refs.types & kVe) || refs.tokens[type_index(kVe)] == profile->encoder);
    if (!same) return fault(reply, Fault::kConfigurationConflict);
  } else {
    if (conflicts(profile->held, profile->held | refs.types))
      return fault(reply, Fault::kConfigurationConflict);
    if (name) profile_rename(profile->token, *name);
    attach_all(profile->token, refs);
  }
  send_media2_empty(reply, "AddConfigurationResponse");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_remove_configuration2(const Request& request, Reply& reply) {
  std::string_view body = request.body_part();
  auto profile = find_profile(element_text(body, "ProfileToken", kField).value_or(""));
  if (!profile) return fault(reply, Fault::kNoProfile);
  unsigned types = 0;  // tokens are passed over; types it does not hold are no error
  for (std::string_view entry : element_contents(body, "Configuration"))
    types |= type_bits(element_text(entry, "Type", kField).value_or(""));
  types &= profile->held;
  if (profile->fixed ? types != 0 : conflicts(profile->held, profile->held & ~types))
    return fault(reply, Fault::kConfigurationConflict);
  for (const ConfigType& t : kTypes) {
    if (types & t.bit) t.detach(profile->token);
  }
  send_media2_empty(reply, "RemoveConfigurationResponse");
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
