// The namespace a request names its operation in, and so the service that answers it: from
// the action URI when it begins with a service namespace, else from the Body's first child
// element, whose prefix is resolved against the namespace declarations in scope.
#pragma once

#include <optional>
#include <string_view>

#include "nvtd/core/operation.h"
#include "nvtd/core/operation_table.h"
#include "nvtd/core/request.h"

namespace nvtd {

// The service of a namespace URI: one of the camera's services (WS-BaseNotification's
// namespaces are the events service's), kUnserved for any other ONVIF service namespace
// ("http://www.onvif.org/.../wsdl"), nullopt for anything else.
std::optional<Service> service_of_namespace(std::string_view name_space);

// The service whose namespace, followed by "/", begins the first URI in an action text (the
// SOAPAction value, a content type's action parameter or the Action element's text): kUnserved
// for another ONVIF URI with "/wsdl/" in it, nullopt for anything else.
std::optional<Service> service_of_action(std::string_view action);

// The namespace URI of the first child element of the (first) Body element, its prefix
// resolved in its own start tag, then the Body's, then the document element's; empty when
// there is no such element or its prefix is not declared there. A view into `body`.
std::string_view body_operation_namespace(std::string_view body);

// The service of the request's namespace: its action's when known, else its Body's first
// child's; nullopt when neither names one.
std::optional<Service> request_service(const Request& request);

// Where dispatch searches the request's operation: in its namespace's service, or when that is
// not known, as the request's address ("media2_service" in it) allows.
SearchScope search_scope(const Request& request);

}  // namespace nvtd
