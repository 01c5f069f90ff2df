// Request handlers of the event service: subscriptions (push and pull point), PullMessages,
// Unsubscribe, Renew, the event SetSynchronizationPoint and GetEventProperties. They read the
// current request (RequestBody) and answer on OutputFd.
#pragma once

namespace nvtd {

int handle_create_pull_point_subscription();
int handle_subscribe();
// connection_fd: the accepted socket (-1 outside server mode). Returns 0 when the
// connection now belongs to a puller slot (the loop must neither close nor touch it);
// outside server mode the parked request has no connection and -1 is returned.
int handle_pull_messages(int connection_fd);
int handle_unsubscribe();
int handle_renew();
// Body part form: body points at "Body" of the request, length bytes to its end.
int handle_event_set_synchronization_point(const char* body, int length);
int handle_get_event_properties();

}  // namespace nvtd
