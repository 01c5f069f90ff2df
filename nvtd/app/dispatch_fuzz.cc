// Fuzz target: the dispatcher with authentication on, against a fixed users file in a private
// temporary directory. The input is split into the SOAPAction value and the body; when its
// first byte is odd, a valid UsernameToken header goes before the body, so that fuzzed bodies
// also reach the handlers of guarded operations; its second bit sends the request to the
// Media2 address, whose operations a request without a namespace reaches only there. Those
// handlers reboot, reset and reconfigure the system: every command and interface request goes
// to a recorder here, and CTest runs the target inside the camera sandbox besides.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "nvtd/app/dispatch.h"
#include "nvtd/app/wiring.h"
#include "nvtd/auth/auth.h"
#include "nvtd/auth/base64.h"
#include "nvtd/auth/useradd.h"
#include "nvtd/auth/users_file.h"
#include "nvtd/core/process_state.h"
#include "nvtd/events/event_service.h"
#include "nvtd/netconfig/fake_net_system.h"

namespace {

std::string valid_header;
nvtd::testing::FakeNetSystem recorder;
nvtd::OperationTable operations;

void setup() {
  static bool done = false;
  if (done) return;
  done = true;
  char dir[] = "/tmp/nvtd_dispatch_fuzz.XXXXXX";
  if (mkdtemp(dir) == nullptr) abort();
  nvtd::UsersFilePath = std::string(dir) + "/users";
  nvtd::UsersFileFallbackPath = std::string(dir) + "/.users";
  recorder.hostname_file = std::string(dir) + "/hostname";
  recorder.resolv_file = std::string(dir) + "/resolv.conf";
  static nvtd::ScopedNetSystem no_real_commands(&recorder);
  std::string error;
  std::ofstream(nvtd::UsersFilePath)
      << nvtd::make_useradd_line("admin", "secret", "administrator", &error).value_or("") << "\n"
      << "clear:user:pw:\n"
      << "bare:user:\n";
  const std::string nonce = "0123456789abcdef", created = "2026-12-07T10:00:00Z";
  valid_header =
      "<s:Header><wsse:UsernameToken><wsse:Username>clear</wsse:Username>"
      "<wsse:Password Type=\"#PasswordDigest\">" +
      nvtd::password_digest(nonce, created, "pw") + "</wsse:Password><wsse:Nonce>" +
      nvtd::base64_encode(nonce) + "</wsse:Nonce><wsu:Created>" + created +
      "</wsu:Created></wsse:UsernameToken></s:Header>";
  operations = nvtd::make_operation_table();
  // The event handlers act on a service of their own, as nvtd's start-up gives them one.
  static nvtd::EventService events(80, std::string(dir) + "/states");
  nvtd::use_event_service(&events);
  nvtd::Config settings;
  settings.token_window = 0;  // the valid header's Created is fixed
  nvtd::set_config(settings);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  setup();
  if (size == 0) return 0;
  bool authenticated = data[0] & 1;
  std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
  // Up to the first newline: the SOAPAction header (when the input has one).
  nvtd::Request request;
  if (data[0] & 2) request.uri = "/onvif/media2_service";
  std::size_t nl = input.find('\n');
  if (nl != std::string::npos && nl < 200 && input.find('\0') > nl) {
    request.soap_action = input.substr(0, nl);
    input.erase(0, nl + 1);
  }
  request.body = authenticated ? valid_header + input : input;
  // Responses are kept in memory and thrown away.
  nvtd::Reply reply(-1, nvtd::RunMode::kCgi);
  nvtd::dispatch_request(operations, request, reply);
  recorder.commands.clear();
  recorder.traces.clear();
  recorder.sleeps = 0;
  return 0;
}
