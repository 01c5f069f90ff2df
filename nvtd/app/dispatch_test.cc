#include "nvtd/app/dispatch.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "nvtd/app/wiring.h"
#include "nvtd/auth/user_table.h"
#include "nvtd/auth/users_file.h"
#include "nvtd/core/config_test_util.h"
#include "nvtd/core/process_state.h"
#include "nvtd/core/request_hooks.h"
#include "nvtd/soap/envelope.h"

namespace nvtd {
namespace {

int fills = 0;
int releases = 0;
void count_fill() {
  ++fills;
}
void count_release() {
  ++releases;
}

class DispatchTest : public ::testing::Test {
 protected:
  ScopedConfig scoped_config;
  void SetUp() override {
    // No users file: every guarded operation fails.
    UsersFilePath = "/nonexistent/nvtd/users";
    UsersFileFallbackPath = "/nonexistent/nvtd/.users";
    fills = releases = 0;
    set_request_hooks(count_fill, count_release);
  }
  void TearDown() override {
    set_request_hooks(nullptr, nullptr);
    UsersFilePath = "/etc/nvtd/users";
    UsersFileFallbackPath = "/etc/nvtd/.users";
  }
  DispatchOutcome run(const std::string& body, std::string* out) {
    request_.body = body;
    Reply reply(-1, request_.mode);
    DispatchOutcome outcome = dispatch_request(table_, request_, reply);
    *out = reply.text();
    return outcome;
  }
  OperationTable table_ = make_operation_table();
  Request request_;
  static bool has(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
  }
};

TEST_F(DispatchTest, NoActionAndNoBody) {
  std::string out;
  // With authentication on an empty request is how curl --digest asks for the challenge
  // before it sends its body.
  EXPECT_EQ(run("", &out), DispatchOutcome::kAuthFailed);
  EXPECT_TRUE(has(out, "Status: 401 Unauthorized\r\nWWW-Authenticate: Digest "));
  scoped_config.set(&Config::no_auth, true);
  EXPECT_EQ(run("", &out), DispatchOutcome::kNoAction);
  EXPECT_EQ(out, "Content-Type: text/plain\r\n\r\nno action!\n");
  EXPECT_EQ(fills, 0);
}

TEST_F(DispatchTest, OpenOperationsNeedNoHeaderAndNoCache) {
  std::string out;
  for (const char* op : {"GetCapabilities", "GetHostname", "GetServices", "GetServiceCapabilities",
                         "GetSystemDateAndTime"}) {
    EXPECT_EQ(run(std::string("<s:Body><tds:") + op + "/></s:Body>", &out),
              DispatchOutcome::kOpenOperation)
        << op;
    EXPECT_FALSE(has(out, "NotAuthorized") || has(out, "FailedAuthentication")) << op;
  }
  EXPECT_EQ(fills + releases, 0);
}

TEST_F(DispatchTest, GuardedOperationWithoutCredentialsGetsTheDigestChallenge) {
  std::string out;
  EXPECT_EQ(run("<s:Body><tds:GetDeviceInformation/></s:Body>", &out),
            DispatchOutcome::kAuthFailed);
  EXPECT_TRUE(has(out, "Status: 401 Unauthorized\r\nWWW-Authenticate: Digest "));
  EXPECT_TRUE(has(out, "ter:NotAuthorized"));
  EXPECT_EQ(fills + releases, 0);
  // An unknown operation is checked first, too.
  EXPECT_EQ(run("<s:Body><tds:Frobnicate/></s:Body>", &out), DispatchOutcome::kAuthFailed);
}

TEST_F(DispatchTest, NoAuthRunsTheHandlerInsideTheSectionCache) {
  scoped_config.set(&Config::no_auth, true);
  std::string out;
  EXPECT_EQ(run("<s:Body><tds:GetUsers/></s:Body>", &out), DispatchOutcome::kHandled);
  EXPECT_TRUE(has(out, "<tds:GetUsersResponse>"));
  EXPECT_EQ(fills, 1);
  EXPECT_EQ(releases, 1);
}

TEST_F(DispatchTest, UnknownOperationGets400InvalidThing) {
  scoped_config.set(&Config::no_auth, true);
  request_.mode = RunMode::kServer;
  std::string out;
  EXPECT_EQ(run("<s:Body><tds:Frobnicate/></s:Body>", &out), DispatchOutcome::kHandled);
  EXPECT_EQ(out.rfind("HTTP/1.0 400 Bad Request\r\nContent-Length: ", 0), 0u);
  EXPECT_TRUE(has(out, "ter:InvalidThing") && has(out, "Unsupported Command"));
  EXPECT_EQ(releases, 1);
}

TEST_F(DispatchTest, SoapActionAndContentTypeDecideOverTheBody) {
  scoped_config.set(&Config::no_auth, true);
  std::string out;
  request_.soap_action = "\"http://www.onvif.org/ver10/device/wsdl/GetUsers\"";
  EXPECT_EQ(run("<s:Body><tds:Frobnicate/></s:Body>", &out), DispatchOutcome::kHandled);
  EXPECT_TRUE(has(out, "<tds:GetUsersResponse>"));
  request_.soap_action.reset();
  request_.content_type = "application/soap+xml; action=\"x/wsdl/GetUsers\"";
  EXPECT_EQ(run("<s:Body><tds:Frobnicate/></s:Body>", &out), DispatchOutcome::kHandled);
  EXPECT_TRUE(has(out, "<tds:GetUsersResponse>"));
  // The action parameter names an open operation: no check at all.
  scoped_config.set(&Config::no_auth, false);
  request_.content_type = "application/soap+xml; action=\"x/wsdl/GetHostname\"";
  EXPECT_EQ(run("<s:Body><tds:GetUsers/></s:Body>", &out), DispatchOutcome::kOpenOperation);
}

TEST_F(DispatchTest, BodyPartOperationWithoutBodyWritesNothing) {
  scoped_config.set(&Config::no_auth, true);
  std::string out;
  EXPECT_EQ(run("<tds:CreateUsers><tt:Username>x</tt:Username></tds:CreateUsers>", &out),
            DispatchOutcome::kHandled);
  EXPECT_EQ(out, "");
  EXPECT_EQ(releases, 1);
  EXPECT_TRUE(list_accounts().empty());
}

TEST_F(DispatchTest, ActionElementIsUsed) {
  scoped_config.set(&Config::no_auth, true);
  std::string out;
  EXPECT_EQ(run("<s:Header><wsa:Action>http://www.onvif.org/ver10/device/wsdl/GetUsers"
                "</wsa:Action></s:Header><s:Body><tds:Frobnicate/></s:Body>",
                &out),
            DispatchOutcome::kHandled);
  EXPECT_TRUE(has(out, "<tds:GetUsersResponse>"));
}

// The namespace, from the action or the Body's first child, decides the service; the address
// only lets a request without one reach Media2. No handler of another service answers.
TEST_F(DispatchTest, TheNamespaceDecidesTheServiceThatAnswers) {
  scoped_config.set(&Config::no_auth, true);
  const char* const unsupported = "Unsupported Command";
  struct Case {
    const char* uri;
    const char* soap_action;
    std::string body;
    const char* answer;
  } cases[] = {
      {"/onvif/media2_service", nullptr, "<tr2:GetProfiles xmlns:tr2=\"" NS_TR2 "\"/>",
       "<tr2:GetProfilesResponse "},
      {"/onvif/media2_service", nullptr, "<tr2:GetOSDs xmlns:tr2=\"" NS_TR2 "\"/>",
       "<tr2:GetOSDsResponse"},
      {"/onvif/media2_service", nullptr, "<tr2:GetUsers xmlns:tr2=\"" NS_TR2 "\"/>",
       unsupported},
      {"/onvif/device_service", nullptr, "<trt:GetUsers xmlns:trt=\"" NS_TRT "\"/>", unsupported},
      {"/onvif/media_service", nullptr, "<tds:GetUsers xmlns:tds=\"" NS_TDS "\"/>",
       "<tds:GetUsersResponse>"},
      {"/onvif/media2_service", nullptr, "<tds:GetUsers/>", "<tds:GetUsersResponse>"},
      {"/onvif/media_service", NS_TDS "/GetUsers", "<trt:Frobnicate xmlns:trt=\"" NS_TRT "\"/>",
       "<tds:GetUsersResponse>"},
      {"/onvif/device_service", nullptr, "<tev:GetServiceCapabilities xmlns:tev=\"" NS_TEV "\"/>",
       "<tev:GetServiceCapabilitiesResponse>"},
      {"/onvif/events_service", nullptr, "<GetServiceCapabilities xmlns=\"" NS_TIMG "\"/>",
       "<timg:GetServiceCapabilitiesResponse>"},
      {"/onvif/media_service", NS_TDS "/GetServiceCapabilities", "",
       "<tds:GetServiceCapabilitiesResponse>"},
      {"/onvif/ptz_service", nullptr, "<GetServiceCapabilities xmlns=\"" NS_TPTZ "\"/>",
       unsupported},
  };
  for (const Case& c : cases) {
    request_.uri = c.uri;
    request_.soap_action = c.soap_action ? std::optional<std::string>(c.soap_action) : std::nullopt;
    std::string out;
    run("<s:Envelope xmlns:s=\"" NS_SOAP_ENV "\"><s:Body>" + c.body + "</s:Body></s:Envelope>",
        &out);
    EXPECT_TRUE(has(out, c.answer)) << c.body << "\n" << out;
  }
}

bool settings_failed = false;
bool report_settings_failed() {
  return settings_failed;
}
// A handler that answers from "settings" and, when asked to, sends its answer at once.
bool flush_first = false;
HandlerOutcome answer_from_settings(const Request&, Reply& reply) {
  reply.append("<Model>from settings</Model>");
  if (flush_first) reply.flush();
  return HandlerOutcome::kAnswered;
}

// An answer resting on settings that could not be got is replaced by the receiver fault,
// unless it has gone out already; with the settings got, the handler's answer stands.
TEST_F(DispatchTest, AnAnswerOnFailedSettingsBecomesTheReceiverFault) {
  const OperationTable table({{{"GetThing", Service::kDevice, AccessClass::kReadSystem,
                                CallForm::kRequest, answer_from_settings}}});
  set_settings_failed_check(report_settings_failed);
  scoped_config.set(&Config::no_auth, true);
  struct Case {
    bool failed, flush_first, fault;
  } cases[] = {{false, false, false}, {true, false, true}, {true, true, false}};
  for (const Case& c : cases) {
    settings_failed = c.failed;
    flush_first = c.flush_first;
    int pipe_fds[2];
    ASSERT_EQ(::pipe(pipe_fds), 0);
    std::string out;
    {
      Reply reply(pipe_fds[1], RunMode::kServer);
      request_.body = "<s:Body><x:GetThing/></s:Body>";
      EXPECT_EQ(dispatch_request(table, request_, reply), DispatchOutcome::kHandled);
    }
    ::close(pipe_fds[1]);
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
    ::close(pipe_fds[0]);
    EXPECT_EQ(has(out, "HTTP/1.0 500 Internal Server Error\r\n"), c.fault) << out;
    EXPECT_EQ(has(out, "<SOAP-ENV:Value>SOAP-ENV:Receiver</SOAP-ENV:Value>"), c.fault);
    EXPECT_EQ(has(out, "from settings"), !c.fault);
  }
  EXPECT_EQ(fills, 3);
  EXPECT_EQ(releases, 3);
  set_settings_failed_check(nullptr);
  flush_first = false;
}

}  // namespace
}  // namespace nvtd
