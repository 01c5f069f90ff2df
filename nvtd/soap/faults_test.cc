#include "nvtd/soap/faults.h"

#include <gtest/gtest.h>

#include <utility>

#include "nvtd/core/config_test_util.h"
#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"
#include "nvtd/soap/envelope.h"

namespace nvtd {
namespace {

class Faults : public ::testing::Test {
 protected:
  ScopedConfig scoped_config;
};

TEST(FaultCatalogue, UnsupportedCommandBodyIsExact) {
  EXPECT_EQ(fault_body(Fault::kUnsupportedCommand),
            "<SOAP-ENV:Body><SOAP-ENV:Fault><SOAP-ENV:Code><SOAP-ENV:Value>SOAP-ENV:Receiver"
            "</SOAP-ENV:Value><SOAP-ENV:Subcode><SOAP-ENV:Value>ter:ActionNotSupported"
            "</SOAP-ENV:Value><SOAP-ENV:Subcode><SOAP-ENV:Value>ter:InvalidThing</SOAP-ENV:Value>"
            "</SOAP-ENV:Subcode></SOAP-ENV:Subcode></SOAP-ENV:Code><SOAP-ENV:Reason>"
            "<SOAP-ENV:Text xml:lang=\"en\">Unsupported Command</SOAP-ENV:Text></SOAP-ENV:Reason>"
            "<SOAP-ENV:Detail>I have no idea what to do with this.  Go away.</SOAP-ENV:Detail>"
            "</SOAP-ENV:Fault></SOAP-ENV:Body></SOAP-ENV:Envelope>");
}

TEST(FaultCatalogue, FaultsWithoutSubcodeOrReasonHaveTheShortForms) {
  std::string empty = fault_body(Fault::kSenderEmpty);
  EXPECT_NE(empty.find("<SOAP-ENV:Value>SOAP-ENV:Sender</SOAP-ENV:Value></SOAP-ENV:Code>"),
            std::string::npos);
  EXPECT_NE(empty.find("<SOAP-ENV:Reason><SOAP-ENV:Text xml:lang=\"en\"/></SOAP-ENV:Reason>"),
            std::string::npos);
  EXPECT_EQ(empty.find("Detail"), std::string::npos);
  std::string category = fault_body(Fault::kCategoryMismatch);
  EXPECT_NE(category.find("data type mismatch  in element 'Category'"), std::string::npos);
}

TEST(FaultCatalogue, EveryEntryIsWellFormedAndHasItsStatus) {
  int count400 = 0;
  for (int i = 0; i < int(Fault::kCount); ++i) {
    const FaultEntry& e = fault_entry(Fault(i));
    EXPECT_EQ(e.fault, Fault(i));
    std::string body = fault_body(Fault(i));
    EXPECT_EQ(body.rfind("<SOAP-ENV:Body><SOAP-ENV:Fault><SOAP-ENV:Code>", 0), 0u);
    std::string end = "</SOAP-ENV:Fault></SOAP-ENV:Body></SOAP-ENV:Envelope>";
    EXPECT_EQ(body.substr(body.size() - end.size()), end);
    if (e.status == 400) ++count400;
  }
  EXPECT_EQ(int(Fault::kCount), 41);
  EXPECT_EQ(count400, 30);
  EXPECT_EQ(fault_entry(Fault::kSettingsUnavailable).status, 500);
  EXPECT_EQ(fault_entry(Fault::kNoSuchService).status, 200);
  EXPECT_EQ(fault_entry(Fault::kUsernameClash).status, 200);
  EXPECT_EQ(fault_entry(Fault::kHttpUnauthorized).status, 401);
}

TEST_F(Faults, A400FaultInServerModeHasOneStatusLineFollowedByContentLength) {
  scoped_config.set(&Config::server, true);
  for (auto [fault, status] :
       {std::pair{Fault::kUnsupportedCommand, "400 Bad Request"},
        std::pair{Fault::kSettingsUnavailable, "500 Internal Server Error"}}) {
    OutputCapture cap(RunMode::kServer);
    send_catalogue_fault(cap.reply(), fault);
    std::string out = cap.take();
    EXPECT_EQ(out.rfind(std::string("HTTP/1.0 ") + status + "\r\nContent-Length: ", 0), 0u);
    EXPECT_EQ(out.find("200 OK"), std::string::npos);
    size_t blank = out.find("\r\n\r\n");
    EXPECT_EQ(out.substr(blank + 4), EnvelopeOpening + fault_body(fault));
  }
}

TEST_F(Faults, A200FaultIsSentLikeAnyResponse) {
  scoped_config.set(&Config::server, true);
  OutputCapture cap(RunMode::kServer);
  send_catalogue_fault(cap.reply(), Fault::kNoSuchService);
  EXPECT_EQ(cap.take().rfind("HTTP/1.0 200 OK\r\nServer: OnVIF NVT\r\nContent-Length: ", 0), 0u);
}

TEST_F(Faults, TheCallerMayChooseTheStatus) {
  scoped_config.set(&Config::server, true);
  OutputCapture cap(RunMode::kServer);
  send_catalogue_fault(cap.reply(), Fault::kNoProfile, 200);
  EXPECT_EQ(cap.take().rfind("HTTP/1.0 200 OK\r\n", 0), 0u);
}

TEST_F(Faults, FailedAuthenticationIsACompleteEnvelope) {
  OutputCapture cap;
  send_catalogue_fault(cap.reply(), Fault::kFailedAuthentication);
  std::string out = cap.take();
  std::string envelope = failed_authentication_envelope();
  EXPECT_EQ(out, "HTTP/1.0 400 Bad Request\r\nContent-Length: " + std::to_string(envelope.size()) +
                     "\r\nContent-Type: application/soap+xml; charset=utf-8\r\n"
                     "Connection: close\r\n\r\n" +
                     envelope);
  EXPECT_EQ(envelope.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope ", 0), 0u);
  EXPECT_NE(envelope.find("<SOAP-ENV:Header><wsa5:To SOAP-ENV:mustUnderstand=\"true\">"
                          "http://www.w3.org/2005/08/addressing/anonymous</wsa5:To>"
                          "<wsa5:Action SOAP-ENV:mustUnderstand=\"true\">"
                          "http://www.w3.org/2005/08/addressing/soap/fault</wsa5:Action>"
                          "</SOAP-ENV:Header><SOAP-ENV:Body>"),
            std::string::npos);
  EXPECT_NE(envelope.find("The security token could not be authenticated or authorized"),
            std::string::npos);
}

}  // namespace
}  // namespace nvtd
