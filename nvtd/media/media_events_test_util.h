// Test helper: an event service bound for the handlers with a pull point on the media topics;
// take() gives what it was sent since the last look, a "Topic:Token[:Type]" text per message.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <regex>
#include <string>
#include <vector>

#include "nvtd/events/event_service.h"

namespace nvtd::testing {

class MediaEventWatch {
 public:
  MediaEventWatch() : dir_(mkdtemp(pattern_)), service_(8080, dir_) {
    use_event_service(&service_);
    index_ =
        service_
            .add_consumer(ConsumerSpec{"", 0, "", "", true}, admin_, 3u << kTopicProfileChanged, 60)
            .index;
  }
  ~MediaEventWatch() {
    use_event_service(nullptr);
    rmdir(dir_);
  }
  std::vector<std::string> take() {
    std::string body = service_.pull_now(index_, admin_, PullRequest{1, nullptr, 100}).value();
    std::regex item(
        "Media/(\\w+)</wsnt:Topic>.*?Name=\"Token\" Value=\"([^\"]*)\"/>"
        "(?:<tt:SimpleItem Name=\"Type\" Value=\"(\\w+)\")?");
    std::vector<std::string> seen;
    for (std::sregex_iterator m(body.begin(), body.end(), item), end; m != end; ++m)
      seen.push_back((*m)[1].str() + ":" + (*m)[2].str() +
                     ((*m)[3].matched ? ":" + (*m)[3].str() : ""));
    return seen;
  }

 private:
  char pattern_[32] = "/tmp/media-events-XXXXXX";
  EventAccount admin_{"", true};
  const char* dir_;
  EventService service_;
  int index_ = -1;
};

}  // namespace nvtd::testing
