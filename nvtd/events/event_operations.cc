// The events room's operations, in the order their names are searched.
#include "nvtd/events/event_operations.h"

#include "nvtd/events/event_handlers.h"

namespace nvtd {

OperationSlice event_operations() {
  return {
      {"CreatePullPointSubscriptionRequest", Service::kEvents, AccessClass::kReadMedia,
       CallForm::kRequest, handle_create_pull_point_subscription},
      {"PullMessagesRequest", Service::kEvents, AccessClass::kReadMedia, CallForm::kConnection,
       handle_pull_messages},
      {"SubscribeRequest", Service::kEvents, AccessClass::kReadMedia, CallForm::kRequest,
       handle_subscribe},
      {"UnsubscribeRequest", Service::kEvents, AccessClass::kReadMedia, CallForm::kRequest,
       handle_unsubscribe},
      {"RenewRequest", Service::kEvents, AccessClass::kReadMedia, CallForm::kRequest, handle_renew},
      {"GetEventProperties", Service::kEvents, AccessClass::kReadMedia, CallForm::kRequest,
       handle_get_event_properties},
      {"SetSynchronizationPointRequest", Service::kEvents, AccessClass::kReadMedia,
       CallForm::kBodyPart, handle_event_set_synchronization_point},
      // The same operations under the bare names many clients send.
      {"CreatePullPointSubscription", Service::kEvents, AccessClass::kReadMedia, CallForm::kRequest,
       handle_create_pull_point_subscription, NameMatch::kWholeWord},
      {"PullMessages", Service::kEvents, AccessClass::kReadMedia, CallForm::kConnection,
       handle_pull_messages, NameMatch::kWholeWord},
      {"Unsubscribe", Service::kEvents, AccessClass::kReadMedia, CallForm::kRequest,
       handle_unsubscribe, NameMatch::kWholeWord},
      {"Subscribe", Service::kEvents, AccessClass::kReadMedia, CallForm::kRequest, handle_subscribe,
       NameMatch::kWholeWord},
      {"Renew", Service::kEvents, AccessClass::kReadMedia, CallForm::kRequest, handle_renew,
       NameMatch::kWholeWord},
      {"SetSynchronizationPoint", Service::kEvents, AccessClass::kReadMedia, CallForm::kBodyPart,
       handle_event_set_synchronization_point, NameMatch::kWholeWord},
  };
}

}  // namespace nvtd
