// Test helper: an event service bound for the handlers, with one pull point covering the two
// media topics, and what it was sent since the last look ("ProfileChanged:token" or
// "ConfigurationChanged:token:type" per message, in order).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

#include "nvtd/events/event_service.h"

namespace nvtd::testing {

class MediaEventWatch {
 public:
  MediaEventWatch() {
    char pattern[] = "/tmp/media-events-XXXXXX";
    EXPECT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    service_ = std::make_unique<EventService>(8080, dir_);
    use_event_service(service_.get());
    ConsumerSpec pull;
    pull.pull = true;
    TopicMask media = (1u << kTopicProfileChanged) | (1u << kTopicConfigurationChanged);
    index_ = service_->add_consumer(pull, admin_, media, 60).index;
  }
  ~MediaEventWatch() {
    use_event_service(nullptr);
    service_.reset();
    rmdir(dir_.c_str());
  }

  std::vector<std::string> take() {
    auto body = service_->pull_now(index_, admin_, PullRequest{1, nullptr, 100});
    std::vector<std::string> seen;
    if (!body) return seen;
    const std::string topic = ">tns1:Media/";
    for (size_t at = body->find(topic); at != std::string::npos; at = body->find(topic, at + 1)) {
      size_t name = at + topic.size();
      std::string text = body->substr(name, body->find('<', name) - name);
      for (const char* item : {"Name=\"Token\" Value=\"", "Name=\"Type\" Value=\""}) {
        size_t value = body->find(item, at);
        size_t next = body->find(topic, at + 1);
        if (value == std::string::npos || value > next) continue;
        value += std::char_traits<char>::length(item);
        text += ":" + body->substr(value, body->find('"', value) - value);
      }
      seen.push_back(text);
    }
    return seen;
  }

 private:
  EventAccount admin_{"", true};
  std::string dir_;
  std::unique_ptr<EventService> service_;
  int index_ = -1;
};

}  // namespace nvtd::testing
