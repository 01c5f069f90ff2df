// discovery_loop: reads the camera's identity from the settings server, joins the
// WS-Discovery group, sends the queued Hellos at least 5 seconds apart and answers each
// datagram as answer_datagram says. A failed send or receive is reported and dropped.
#include "nvtd/discovery/discovery_thread.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>

#include "common/unique_fd.h"
#include "nvtd/core/process_state.h"
#include "nvtd/discovery/datagram_answer.h"
#include "nvtd/discovery/discovery_messages.h"
#include "nvtd/discovery/scopes.h"
#include "nvtd/getset/settings_client.h"

namespace nvtd {

std::atomic<bool> Discoverable{true};

namespace {

constexpr char kGroupAddress[] = "239.255.255.250";
constexpr uint16_t kDiscoveryPort = 3702;
constexpr std::size_t kBufferBytes = 4000;
constexpr int64_t kHelloSpacingMs = 5000;

// Controls shared with the request thread; each is one word, written whole.
std::atomic<bool> stop_flag{false};
std::atomic<int32_t> pending_hellos{0};
std::atomic<int64_t> last_hello_time{0};  // monotonic milliseconds, see Now()
std::atomic<int32_t> http_port{80};
std::atomic<bool> dump_flag{false};

// Made readable by stop_discovery_thread, so the thread sees the stop flag at once wherever it
// waits. Created before the first thread starts and kept for the process.
UniqueFd wake_fd;

// The discovery thread's own state.
DiscoveryResponder responder;
DiscoveryIdentity& identity = responder.identity;
sockaddr_in group_address{};

// A clock that setting the date does not move, so a clock set back cannot hold up Hellos.
int64_t monotonic_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Sleeps up to seconds or until stop_discovery_thread; true when the stop flag is set.
bool wait_or_stop(int seconds) {
  pollfd wake{wake_fd.get(), POLLIN, 0};
  poll(&wake, 1, seconds * 1000);
  return stop_flag;
}

std::string read_value(const SettingsClient& client, const char* key, const char* fallback,
                       std::size_t capacity) {
  std::array<char, 32> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%s", fallback);
  client.GetValue(key, buffer.data(), std::min(capacity, buffer.size()));
  return buffer.data();
}

// The camera's address, MAC address and model. False when the thread is to send nothing (stopped
// while waiting for the settings server, or parked because CAM "upnp" is 2 until the stop flag is
// seen).
bool read_identity() {
  {
    SettingsClient client;
    while (client.GetSection("NETWORK") != 0) {
      if (wait_or_stop(1)) return false;
    }
    identity.address = read_value(client, "ipaddress", "xxx.xxx.xxx.xxx", 16);
    identity.hwaddr = read_value(client, "hwaddr", "xxxxxxxxxxxx", 16);
    if (client.GetSection("CAM") == 0 && client.GetIntValue("upnp") == 2) {
      while (!wait_or_stop(10)) {
      }
      return false;
    }
  }
  SettingsClient info;
  info.GetSection("INFO");
  identity.model = read_value(info, "model", "", 24);
  identity.port = http_port.load();
  return true;
}

// IP_MULTICAST_LOOP off and IP_MULTICAST_IF on the current address; 0 or -1 (reported).
int set_send_options(int fd) {
  unsigned char loop = 0;
  if (setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop) < 0) {
    perror("Setting IP_MULTICAST_LOOP error");
    return -1;
  }
  in_addr local{};
  local.s_addr = inet_addr(identity.address.c_str());
  if (setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &local, sizeof local) < 0) {
    perror("Setting local interface error");
    return -1;
  }
  return 0;
}

// The listening socket, joined to the group on the current address.
UniqueFd open_group_socket() {
  UniqueFd fd(socket(AF_INET, SOCK_DGRAM, 0));
  if (!fd.valid()) {
    perror("Opening datagram socket error");
    return fd;
  }
  group_address = sockaddr_in{};
  group_address.sin_family = AF_INET;
  group_address.sin_addr.s_addr = inet_addr(kGroupAddress);
  group_address.sin_port = htons(kDiscoveryPort);
  if (set_send_options(fd.get()) < 0) return UniqueFd();
  int reuse = 1;
  if (setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) < 0) {
    perror("Setting SO_REUSEADDR error");
    return UniqueFd();
  }
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  any.sin_port = htons(kDiscoveryPort);
  if (bind(fd.get(), reinterpret_cast<sockaddr*>(&any), sizeof any) < 0) {
    perror("Binding datagram socket error");
    return UniqueFd();
  }
  ip_mreq membership{};
  membership.imr_multiaddr = group_address.sin_addr;
  membership.imr_interface.s_addr = inet_addr(identity.address.c_str());
  if (setsockopt(fd.get(), IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) < 0) {
    perror("Adding multicast group error");
    return UniqueFd();
  }
  return fd;
}

// One Hello from a fresh socket; a failed set-up skips it.
void send_hello() {
  last_hello_time = monotonic_ms();
  trace("enter %s\n", "SendHello");
  refresh_ip_addr();
  trace("current IP = %s\n", identity.address.c_str());
  UniqueFd fd(socket(AF_INET, SOCK_DGRAM, 0));
  if (!fd.valid()) {
    perror("Opening datagram socket error");
  } else if (set_send_options(fd.get()) == 0) {
    identity.port = http_port.load();
    std::string hello = build_hello(identity, static_cast<uint32_t>(responder.random()),
                                    responder.message_number++, announced_scopes());
    int length = static_cast<int>(hello.size());
    trace("sending %d hello bytes\n", length);
    ssize_t sent = sendto(fd.get(), hello.data(), hello.size(), 0,
                          reinterpret_cast<const sockaddr*>(&group_address), sizeof group_address);
    if (sent < length)
      trace("%s: only sent %d of %d!\n", "SendHello", static_cast<int>(sent), length);
  }
  fd.reset();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  int32_t pending = pending_hellos.load();
  while (pending > 0 && !pending_hellos.compare_exchange_weak(pending, pending - 1)) {
  }
}

// Errors after which the socket itself is unusable; any other receive error is passing.
bool socket_broken(int error) {
  return error == EBADF || error == ENOTSOCK || error == EFAULT || error == EINVAL;
}

// Before a ProbeMatches: the current address and the service port.
void refresh_for_answer(DiscoveryIdentity& answering) {
  refresh_ip_addr();
  answering.port = http_port.load();
}

// Receives one datagram and answers it. -1 only when the socket is broken.
int handle_datagram(int fd) {
  std::array<char, kBufferBytes> buffer;
  sockaddr_in source{};
  socklen_t source_length = sizeof source;
  ssize_t n = recvfrom(fd, buffer.data(), buffer.size() - 1, 0,
                       reinterpret_cast<sockaddr*>(&source), &source_length);
  if (n < 0) {
    perror("recvfrom");
    return socket_broken(errno) ? -1 : 0;
  }
  buffer[n] = '\0';
  if (dump_flag) {
    trace("got %d bytes\n", static_cast<int>(n));
    trace("%s\n", buffer.data());
  }
  std::string answer =
      answer_datagram(responder, std::string_view(buffer.data(), n), ntohl(source.sin_addr.s_addr),
                      monotonic_ms(), refresh_for_answer);
  if (answer.empty()) return 0;
  // A sender the camera cannot answer (a broadcast source, say) costs this answer only.
  if (sendto(fd, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&source),
             source_length) < 0) {
    perror("sendto");
  }
  return 0;
}

int discovery_loop() {
  if (!read_identity()) return 0;
  UniqueFd fd = open_group_socket();
  if (!fd.valid()) return -1;
  responder.message_number = 1;
  responder.limiter = SourceLimiter();
  responder.budget = AnswerBudget();
  pending_hellos = 2;
  responder.random.seed(static_cast<uint32_t>(std::time(nullptr)));
  last_hello_time = monotonic_ms();
  trace("starting discovery loop\n");
  while (!stop_flag) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(fd.get(), &readable);
    FD_SET(wake_fd.get(), &readable);
    timeval timeout{5, 0};
    int ready =
        select(std::max(fd.get(), wake_fd.get()) + 1, &readable, nullptr, nullptr, &timeout);
    if (stop_flag) break;
    if (pending_hellos > 0 && monotonic_ms() - last_hello_time >= kHelloSpacingMs) {
      send_hello();
    }
    if (ready > 0 && FD_ISSET(fd.get(), &readable) && handle_datagram(fd.get()) < 0) return -1;
  }
  return 0;
}

// The running thread; touched by the request thread only. Declared last, so that an exit
// that skipped stop_discovery_thread still stops the thread before the state above goes away.
struct ThreadHandle {
  std::thread thread;
  bool joinable() const { return thread.joinable(); }
  ~ThreadHandle();
} discovery_thread;

}  // namespace

void refresh_ip_addr() {
  identity.address = "xxx.xxx.xxx.xxx";
  SettingsClient client;
  if (client.GetSection("NETWORK") == 0) {
    identity.address = read_value(client, "ipaddress", "xxx.xxx.xxx.xxx", 16);
  }
}

int start_discovery_thread(int port, bool dump) {
  http_port = port;
  dump_flag = dump;
  if (discovery_thread.joinable()) return 0;
  if (!wake_fd.valid()) wake_fd.reset(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
  uint64_t drained;
  while (read(wake_fd.get(), &drained, sizeof drained) > 0) {
  }
  stop_flag = false;
  trace("starting discovery thread...\n");
  // The stop signals are the request loop's: blocked in the new thread, they interrupt the
  // loop's blocking read, accept or select instead of landing here.
  sigset_t stop_signals, previous;
  sigemptyset(&stop_signals);
  for (int signo : {SIGINT, SIGQUIT, SIGTERM, SIGPIPE}) sigaddset(&stop_signals, signo);
  pthread_sigmask(SIG_BLOCK, &stop_signals, &previous);
  discovery_thread.thread = std::thread(discovery_loop);
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return 0;
}

int stop_discovery_thread() {
  stop_flag = true;
  if (wake_fd.valid()) {
    uint64_t one = 1;
    if (write(wake_fd.get(), &one, sizeof one) < 0) perror("discovery wake");
  }
  if (discovery_thread.joinable()) {
    trace("waiting for discovery thread...\n");
    discovery_thread.thread.join();
  }
  return 0;
}

ThreadHandle::~ThreadHandle() {
  if (thread.joinable()) stop_discovery_thread();
}

int request_hello() {
  last_hello_time = monotonic_ms();
  pending_hellos.fetch_add(1);
  trace("pend %d hello's\n", 1);
  return 0;
}

void cancel_hellos() {
  pending_hellos = 0;
}

}  // namespace nvtd
