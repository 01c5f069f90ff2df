// The text requests consumers send on "/sndq" and the text of the info reply.
#include "soundtap/request.h"

#include <cstdio>

namespace soundtap {

std::vector<std::string> tokenize_request(const std::string& text) {
  std::vector<std::string> tokens;
  size_t pos = 0;
  while (tokens.size() < kMaxTokens) {
    pos = text.find_first_not_of(' ', pos);
    if (pos == std::string::npos) break;
    size_t end = text.find(' ', pos);
    if (end == std::string::npos) end = text.size();
    tokens.push_back(text.substr(pos, end - pos));
    pos = end;
  }
  return tokens;
}

Request classify_request(const std::vector<std::string>& tokens) {
  Request r;
  if (tokens.empty()) return r;
  if (tokens[0] == "getinfo") {
    r.kind = RequestKind::kGetInfo;
  } else if (tokens[0] == "start" && tokens.size() >= 3 && tokens[1] == "audio") {
    r.kind = RequestKind::kStartAudio;
    r.path = tokens[2];
  }
  return r;
}

std::string format_info_reply(const Settings& settings) {
  char text[128];
  snprintf(text, sizeof(text), "sample %d bitrate %d encode %s", settings.sample_rate,
           settings.bitrate, encoding_name(settings.encoding));
  return text;
}

}  // namespace soundtap
