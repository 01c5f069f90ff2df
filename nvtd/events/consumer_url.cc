// Splits a push consumer's address (see consumer_url.h).
#include "nvtd/events/consumer_url.h"

#include <cctype>

namespace nvtd {

bool parse_consumer_address(const std::string& text, ConsumerSpec* consumer) {
  size_t start = text.find("http://");
  if (start == std::string::npos) return false;
  consumer->address = text.substr(start, 127);
  size_t at = start + 7;
  size_t host_end = at;
  while (host_end < text.size() &&
         (std::isdigit(static_cast<unsigned char>(text[host_end])) || text[host_end] == '.')) {
    ++host_end;
  }
  consumer->host = text.substr(at, host_end - at).substr(0, 31);
  at = host_end;
  consumer->port = 80;
  if (at < text.size() && text[at] == ':') {
    ++at;
    long port = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
      if (port < 100000) port = port * 10 + (text[at] - '0');
      ++at;
    }
    consumer->port = int(port);
  }
  consumer->path = text.substr(at, 63);
  consumer->pull = false;
  return true;
}

}  // namespace nvtd
