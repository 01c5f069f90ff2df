// What the event handlers read from a request beyond single values: the account that sent it,
// the termination time it asks for, its topic filter and its message-content filter.
#pragma once

#include <ctime>
#include <optional>
#include <string>

#include "nvtd/core/request.h"
#include "nvtd/events/event_faults.h"
#include "nvtd/events/item_filter.h"
#include "nvtd/events/subscription_table.h"

namespace nvtd {

// The account of an authenticated request (its UsernameToken's user and level in the users
// file); without authentication every request acts as an administrator.
EventAccount request_account(const Request& request);

// The subscription length a request asks for in element `name` (a duration or an absolute
// time), cut to kMaxTerminationSeconds; fallback when the element is missing. nullopt when
// the text is not a time or not in the future.
std::optional<int> requested_seconds(const Request& request, const char* name, std::time_t now,
                                     int fallback);

// The topics of the request's TopicExpression filter (all topics without one), or the fault.
struct TopicFilter {
  TopicMask topics = kAllTopics;
  std::optional<EventFault> fault;
};
TopicFilter request_topic_filter(const Request& request);

// The request's MessageContent filter (every message passes without one), or the fault: an
// unknown dialect or an expression outside what ItemFilter reads.
struct ContentFilter {
  ItemFilter items;
  std::optional<EventFault> fault;
};
ContentFilter request_content_filter(const Request& request);

}  // namespace nvtd
