// The event operations as many clients name them: the namespace and the bare operation
// ("http://www.onvif.org/ver10/events/wsdl/PullMessages", "http://docs.oasis-open.org/
// wsn/b-2/Subscribe") instead of the WSDL action names ending in "Request".
#pragma once

#include <string_view>

namespace nvtd {

// The action-table name ("PullMessagesRequest", ...) of the event operation that the text
// names with its bare name, or nullptr. A bare name counts only as a whole word, so
// "Subscribe" is not found in "Unsubscribe" nor in "SubscribeRequest".
const char* event_operation_for(std::string_view action_text);

}  // namespace nvtd
