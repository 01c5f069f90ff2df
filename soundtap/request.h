// The text requests consumers send on "/sndq": splitting into tokens, telling "getinfo"
// from "start audio PATH", and the text of the info reply.
#ifndef SOUNDTAP_REQUEST_H_
#define SOUNDTAP_REQUEST_H_

#include <string>
#include <vector>

#include "soundtap/options.h"

namespace soundtap {

constexpr size_t kMaxTokens = 10;

// Splits at space characters (runs count as one; tabs are not separators) and keeps at
// most the first kMaxTokens tokens.
std::vector<std::string> tokenize_request(const std::string& text);

enum class RequestKind { kIgnored, kGetInfo, kStartAudio };

struct Request {
  RequestKind kind = RequestKind::kIgnored;
  std::string path;  // the FIFO of a "start audio PATH" request
};

// "getinfo"; "start" "audio" PATH; anything else (including a short "start") is ignored.
Request classify_request(const std::vector<std::string>& tokens);

// "sample %d bitrate %d encode %s".
std::string format_info_reply(const Settings& settings);

}  // namespace soundtap

#endif  // SOUNDTAP_REQUEST_H_
