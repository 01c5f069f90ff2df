// Request handlers of the event service: subscriptions (push and pull point), PullMessages,
// Unsubscribe, Renew, the event SetSynchronizationPoint and GetEventProperties. They read the
// request and write their answer into the reply (PullMessages may keep the connection).
#pragma once

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

HandlerOutcome handle_create_pull_point_subscription(const Request& request, Reply& reply);
HandlerOutcome handle_subscribe(const Request& request, Reply& reply);
// connection_fd: the accepted socket or the relay reply FIFO (-1 in CGI mode). Returns 0
// when it now belongs to a puller slot (the loop must neither close nor touch it); in CGI
// mode the request is answered at once in the reply and -1 is returned.
HandlerOutcome handle_pull_messages(const Request& request, Reply& reply);
HandlerOutcome handle_unsubscribe(const Request& request, Reply& reply);
HandlerOutcome handle_renew(const Request& request, Reply& reply);
// Body part form: reads the request from its "Body" on.
HandlerOutcome handle_event_set_synchronization_point(const Request& request, Reply& reply);
HandlerOutcome handle_get_event_properties(const Request& request, Reply& reply);

}  // namespace nvtd
