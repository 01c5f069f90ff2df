// What the event handlers read from a request (see event_request.h).
#include "nvtd/events/event_request.h"

#include <strings.h>

#include <algorithm>

#include "nvtd/auth/users_file.h"
#include "nvtd/core/process_state.h"
#include "nvtd/events/time_text.h"
#include "nvtd/soap/element_reader.h"

namespace nvtd {
namespace {

// The value of attribute `name` in a start tag, or "".
std::string attribute(const std::string& tag, const std::string& name) {
  for (char quote : {'"', '\''}) {
    std::string key = " " + name + "=" + quote;
    size_t at = tag.find(key);
    if (at == std::string::npos) continue;
    size_t start = at + key.size();
    size_t end = tag.find(quote, start);
    if (end != std::string::npos) return tag.substr(start, end - start);
  }
  return {};
}

// The Dialect and the raw text of the request's first element `name`; false without one.
bool filter_element(const Request& request, const char* name, std::string* dialect,
                    std::string* expression) {
  ElementSpan span{};
  if (!find_element(request.body, name, &span)) return false;
  // The start tag from its "<", or from the body's start when the name had none ahead of it.
  size_t open = request.body.rfind('<', span.value_begin == 0 ? 0 : span.value_begin - 1);
  if (open == std::string::npos) open = 0;
  *dialect = attribute(request.body.substr(open, span.value_begin - open), "Dialect");
  *expression = request.body.substr(span.value_begin, span.value_end - span.value_begin);
  return true;
}

}  // namespace

EventAccount request_account(const Request& request) {
  if (config().no_auth) return EventAccount{};
  // The same Username the dispatcher's check read and found in the users file.
  std::optional<std::string> name = element_text(request.body, "Username", 12);
  UsersLine line;
  if (!name || find_users_line(*name, &line) != 1) return EventAccount{name.value_or(""), false};
  return EventAccount{*name, strcasecmp(line.level.c_str(), "administrator") == 0};
}

std::optional<int> requested_seconds(const Request& request, const char* name, std::time_t now,
                                     int fallback) {
  std::optional<std::string> text = element_text(request.body, name, 64);
  if (!text) return fallback;
  std::time_t until = 0;
  if (parse_termination(*text, now, &until) != 0 || until <= now) return std::nullopt;
  return int(std::min<std::time_t>(until - now, kMaxTerminationSeconds));
}

TopicFilter request_topic_filter(const Request& request) {
  TopicFilter filter;
  std::string dialect, expression;
  if (!filter_element(request, "TopicExpression", &dialect, &expression)) return filter;
  FilterResult rc = parse_topic_filter(dialect, expression, request.body, &filter.topics);
  switch (rc) {
    case FilterResult::kOk:
      break;
    case FilterResult::kUnknownDialect:
      filter.fault = EventFault::kTopicExpressionDialectUnknown;
      break;
    case FilterResult::kInvalidExpression:
      filter.fault = EventFault::kInvalidTopicExpression;
      break;
    case FilterResult::kUnknownTopic:
      filter.fault = EventFault::kTopicNotSupported;
      break;
  }
  return filter;
}

ContentFilter request_content_filter(const Request& request) {
  ContentFilter filter;
  std::string dialect, expression;
  if (!filter_element(request, "MessageContent", &dialect, &expression)) return filter;
  switch (ItemFilter::read(dialect, expression, request.body, &filter.items)) {
    case ItemFilterRead::kOk:
      break;
    case ItemFilterRead::kUnknownDialect:
    case ItemFilterRead::kInvalidExpression:
      filter.fault = EventFault::kInvalidMessageContentExpression;
      break;
  }
  return filter;
}

}  // namespace nvtd
