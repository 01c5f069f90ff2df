// Fuzz target: the dispatcher with authentication on, against a fixed users file in a private
// temporary directory. The input is split into the SOAPAction value and the body.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "nvtd/core/dispatch.h"
#include "nvtd/core/http_io.h"
#include "nvtd/core/process_state.h"
#include "nvtd/core/useradd.h"
#include "nvtd/core/users_file.h"

namespace {

void setup() {
  static bool done = false;
  if (done) return;
  done = true;
  char dir[] = "/tmp/nvtd_dispatch_fuzz.XXXXXX";
  if (mkdtemp(dir) == nullptr) abort();
  nvtd::UsersFilePath = std::string(dir) + "/users";
  nvtd::UsersFileFallbackPath = std::string(dir) + "/.users";
  std::string error;
  std::ofstream(nvtd::UsersFilePath)
      << nvtd::make_useradd_line("admin", "secret", "administrator", &error).value_or("") << "\n"
      << "clear:user:pw:\n"
      << "bare:user:\n";
  // Responses are written and thrown away.
  nvtd::OutputFd = open("/dev/null", O_WRONLY | O_CLOEXEC);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  setup();
  std::string input(reinterpret_cast<const char*>(data), size);
  // Up to the first newline: the SOAPAction header (when the input has one).
  std::size_t nl = input.find('\n');
  if (nl != std::string::npos && nl < 200 && input.find('\0') > nl) {
    setenv("HTTP_SOAPACTION", input.substr(0, nl).c_str(), 1);
    input.erase(0, nl + 1);
  } else {
    unsetenv("HTTP_SOAPACTION");
  }
  nvtd::RequestBody = input;
  nvtd::ContentLength = static_cast<int32_t>(input.size());
  nvtd::dispatch_request(-1);
  nvtd::RequestBody.clear();
  nvtd::RequestBody.shrink_to_fit();
  return 0;
}
