// Fuzz target: the relay reader fed one request's worth of bytes from a pipe, as the
// persistent server reads them (OPEN, ENV applied to the environment, CONTENT).
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/unique_fd.h"
#include "nvtd/core/process_state.h"
#include "nvtd/transport/relay_reader.h"
#include "nvtd/transport/request_env.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  int null_fd = open("/dev/null", O_WRONLY);
  if (null_fd >= 0) dup2(null_fd, 1);  // the traces
  nvtd::Config settings;
  settings.persist = true;
  nvtd::set_config(settings);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 60000) size = 60000;  // fits a pipe, so the writes below never block
  int fds[2];
  if (pipe(fds) != 0) return 0;
  UniqueFd in(fds[0]);
  {
    UniqueFd out(fds[1]);
    fcntl(out.get(), F_SETPIPE_SZ, 65536);
    if (write(out.get(), data, size) != ssize_t(size)) return 0;
  }
  int32_t pid = 0;
  std::string env;
  if (nvtd::relay_read_open(in.get(), &pid) == 0 && nvtd::relay_read_env(in.get(), &env) == 0) {
    nvtd::Request request = nvtd::request_from_relay_environment(env);
    nvtd::Reply reply(-1, nvtd::RunMode::kRelay);
    nvtd::relay_read_content(in.get(), &request, reply);
  }
  return 0;
}
