// The namespace of a request's operation: the Body's first child's, resolved only against the
// declarations in scope, and the service an action URI begins with.
#include "nvtd/soap/operation_namespace.h"

#include <gtest/gtest.h>

#include <string>

#include "nvtd/soap/envelope.h"

namespace nvtd {
namespace {

TEST(OperationNamespace, TheBodysFirstChildResolvedInScope) {
  struct Case {
    const char* body;
    const char* name_space;
  } cases[] = {
      {"<s:Envelope xmlns:s=\"S\" xmlns:tr2=\"M2\"><s:Body><tr2:GetProfiles/></s:Body>", "M2"},
      {"<?xml version=\"1.0\"?><!-- a > b --><s:Envelope xmlns:t='A'><s:Header><x>1</x>"
       "</s:Header><s:Body><!-- c --> <t:Op><t:In/></t:Op></s:Body></s:Envelope>",
       "A"},
      {"<Envelope><Body xmlns:t = \"B\"><t:Op/></Body></Envelope>", "B"},
      {"<Envelope><Body>\n<GetDeviceInformation xmlns=\"D\"/></Body>", "D"},
      {"<e xmlns:t=\"A\"><Body><t:Op xmlns:t=\"C\"/></Body></e>", "C"},
      {"<e xmlns=\"A\" xmlns:t=\"T\"><Body><Op/></Body></e>", "A"},
      // Not in scope: a sibling's declaration, a longer prefix, an attribute ending in xmlns.
      {"<e><Header><h xmlns:p=\"H\"/></Header><Body><p:Op/></Body></e>", ""},
      {"<e xmlns:tr22=\"A\"><Body><tr2:Op/></Body></e>", ""},
      {"<e axmlns:t=\"A\"><Body><t:Op/></Body></e>", ""},
      {"<e xmlns:t=\"A\"><Body/><t:Op/></e>", ""},
      {"<e xmlns:t=\"A\"><Body></Body><t:Op/></e>", ""},
      {"<e xmlns:t=\"A\"><t:Op/></e>", ""},
      {"<e xmlns:t=\"A\"><Body><t:Op xmlns:t=\"B", ""},
      {"<e xmlns:t=\"A><Body><t:Op/></Body></e>", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(body_operation_namespace(c.body), c.name_space) << c.body;
}

TEST(OperationNamespace, ServicesOfNamespacesAndActions) {
  using S = Service;
  const std::pair<std::string_view, std::optional<Service>> namespaces[] = {
      {NS_TDS, S::kDevice},
      {NS_TMD, S::kDeviceIo},
      {NS_TRT, S::kMedia},
      {NS_TR2, S::kMedia2},
      {NS_TEV, S::kEvents},
      {NS_WSNT, S::kEvents},
      {NS_TIMG, S::kImaging},
      {NS_TPTZ, S::kUnserved},
      {NS_TIMG1, S::kUnserved},
      {NS_TT, std::nullopt},
      {"http://example/wsdl", std::nullopt},
      {NS_TRT "/", std::nullopt}};
  for (const auto& [uri, service] : namespaces)
    EXPECT_EQ(service_of_namespace(uri), service) << uri;
  const std::pair<std::string_view, std::optional<Service>> actions[] = {
      {NS_TR2 "/GetProfiles", S::kMedia2},
      {"\"" NS_TDS "/GetUsers\"", S::kDevice},
      {"application/soap+xml; charset=utf-8; action=\"" NS_TEV
       "/EventPortType/GetEventPropertiesRequest\"",
       S::kEvents},
      {NS_WSNT_BW "/SubscriptionManager/RenewRequest", S::kEvents},
      {"\n  " NS_TIMG "/Move\n", S::kImaging},
      {NS_TPTZ "/Stop", S::kUnserved},
      {NS_TDS, std::nullopt},
      {"http://www.onvif.org/ver10/media/wsdlGetProfile", std::nullopt},
      {"x/wsdl/GetUsers", std::nullopt},
      {"<tds:GetUsers xmlns:tds=\"" NS_TDS "\"/>", std::nullopt},
  };
  for (const auto& [action, service] : actions)
    EXPECT_EQ(service_of_action(action), service) << action;
}

TEST(OperationNamespace, TheActionDecidesBeforeTheBodyAndTheAddressOnlyForMedia2) {
  const std::string media_body = "<e xmlns:trt=\"" NS_TRT "\"><Body><trt:GetProfiles/></Body></e>";
  Request request;
  request.body = media_body;
  EXPECT_EQ(request_service(request), Service::kMedia);
  request.content_type = "application/soap+xml; action=\"" NS_TDS "/GetUsers\"";
  EXPECT_EQ(request_service(request), Service::kDevice);
  request.soap_action = "\"urn:unknown/GetUsers\"";  // an unknown action leaves it to the body
  EXPECT_EQ(request_service(request), Service::kMedia);
  request.body = "<Body><trt:GetProfiles/></Body>";
  EXPECT_EQ(request_service(request), std::nullopt);
  EXPECT_FALSE(search_scope(request).media2_address);
  request.uri = "/onvif/media2_service";
  EXPECT_TRUE(search_scope(request).media2_address);
  EXPECT_EQ(search_scope(request).service, std::nullopt);
}

}  // namespace
}  // namespace nvtd
