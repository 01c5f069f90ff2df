// The namespace of a request's operation: the Body's first child's, resolved only against the
// declarations in scope, or the service an action URI begins with.
#include "nvtd/soap/operation_namespace.h"

#include <gtest/gtest.h>

#include "nvtd/soap/envelope.h"

namespace nvtd {
namespace {

TEST(OperationNamespace, TheBodysFirstChildResolvedInScope) {
  const std::pair<const char*, const char*> cases[] = {
      {"<?xml version=\"1.0\"?><!-- a > b --><s:Envelope xmlns:t='A'><s:Header><x>1</x>"
       "</s:Header><s:Body><!-- c --> <t:Op><t:In/></t:Op></s:Body></s:Envelope>",
       "A"},
      {"<e xmlns=\"A\"><Body xmlns:t=\"B\">\n<t:Op/><Op/></Body></e>", "B"},
      {"<e xmlns:t=\"A\"><Body><t:Op xmlns:t=\"C\"/></Body></e>", "C"},
      // Not in scope: a sibling's declaration, a longer prefix, an attribute ending in xmlns.
      {"<e><Header><h xmlns:p=\"H\"/></Header><Body><p:Op/></Body></e>", ""},
      {"<e xmlns:tr22=\"A\"><Body><tr2:Op/></Body></e>", ""},
      {"<e axmlns:t=\"A\"><Body><t:Op/></Body></e>", ""},
      {"<e xmlns:t=\"A><Body><t:Op/></Body></e>", ""},
      {"<e xmlns:t=\"A\"><Body/><t:Op/></e>", ""},
  };
  for (const auto& [body, uri] : cases) EXPECT_EQ(body_operation_namespace(body), uri) << body;
}

TEST(OperationNamespace, ServicesOfNamespacesAndActions) {
  using S = std::optional<Service>;
  for (const auto& [uri, service] : {std::pair<std::string_view, S>{NS_TMD, Service::kDeviceIo},
                                     {NS_TR2, Service::kMedia2},
                                     {NS_WSNT, Service::kEvents},
                                     {NS_TPTZ, Service::kUnserved},
                                     {NS_TT, S()}}) {
    EXPECT_EQ(service_of_namespace(uri), service) << uri;
  }
  for (const auto& [action, service] :
       {std::pair<std::string_view, S>{"\"" NS_TR2 "/GetProfiles\"", Service::kMedia2},
        {"text/xml; action=\"" NS_TEV "/EventPortType/GetEventPropertiesRequest\"",
         Service::kEvents},
        {NS_TPTZ "/Stop", Service::kUnserved},
        {"http://www.onvif.org/ver10/deviceio/wsdl/GetRelayOutputs", Service::kDeviceIo},
        {"http://www.onvif.org/ver10/media/wsdlGetProfile", S()}}) {
    EXPECT_EQ(service_of_action(action), service) << action;
  }
}

TEST(OperationNamespace, TheActionDecidesBeforeTheBodyAndTheAddressOnlyForMedia2) {
  Request request;
  request.body = "<e xmlns:trt=\"" NS_TRT "\"><Body><trt:GetProfiles/></Body></e>";
  EXPECT_EQ(request_service(request), Service::kMedia);
  request.content_type = "application/soap+xml; action=\"" NS_TDS "/GetUsers\"";
  EXPECT_EQ(request_service(request), Service::kDevice);
  request.soap_action = "\"urn:unknown/GetUsers\"";  // an unknown action leaves it to the body
  EXPECT_EQ(request_service(request), Service::kMedia);
  request.body = "<Body><trt:GetProfiles/></Body>";
  request.uri = "/onvif/media2_service";
  EXPECT_EQ(search_scope(request).service, std::nullopt);
  EXPECT_TRUE(search_scope(request).media2_address);
}

}  // namespace
}  // namespace nvtd
