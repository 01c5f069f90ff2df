// The events room's operations, in the order their names are searched.
#include "nvtd/events/event_operations.h"

#include "nvtd/events/event_handlers.h"

namespace nvtd {

OperationSlice event_operations() {
  return {
      {"CreatePullPointSubscriptionRequest", AccessClass::kReadMedia, CallForm::kRequest,
       handle_create_pull_point_subscription},
      {"PullMessagesRequest", AccessClass::kReadMedia, CallForm::kConnection, handle_pull_messages},
      {"SubscribeRequest", AccessClass::kReadMedia, CallForm::kRequest, handle_subscribe},
      {"UnsubscribeRequest", AccessClass::kReadMedia, CallForm::kRequest, handle_unsubscribe},
      {"RenewRequest", AccessClass::kReadMedia, CallForm::kRequest, handle_renew},
      {"GetEventProperties", AccessClass::kReadMedia, CallForm::kRequest,
       handle_get_event_properties},
      {"SetSynchronizationPointRequest", AccessClass::kReadMedia, CallForm::kBodyPart,
       handle_event_set_synchronization_point},
      // The same operations under the bare names many clients send.
      {"CreatePullPointSubscription", AccessClass::kReadMedia, CallForm::kRequest,
       handle_create_pull_point_subscription, NameMatch::kWholeWord},
      {"PullMessages", AccessClass::kReadMedia, CallForm::kConnection, handle_pull_messages,
       NameMatch::kWholeWord},
      {"Unsubscribe", AccessClass::kReadMedia, CallForm::kRequest, handle_unsubscribe,
       NameMatch::kWholeWord},
      {"Subscribe", AccessClass::kReadMedia, CallForm::kRequest, handle_subscribe,
       NameMatch::kWholeWord},
      {"Renew", AccessClass::kReadMedia, CallForm::kRequest, handle_renew, NameMatch::kWholeWord},
  };
}

}  // namespace nvtd
