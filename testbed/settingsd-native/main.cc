// settingsd-native: a compiled stand-in for the camera's settings server, for load runs
// where the Python stand-in (testbed/settingsd) would be the slowest part. Same ports,
// wire protocol, replies and section files; get and set of whole sections only (no fault
// injection, no exchange log). One thread, non-blocking sockets, one exchange per connection.
//
//   settingsd-native [--sections DIR] [--state DIR] [--peers A,B,C] [--address A]
//
// Once it listens it writes STATE/ready. Runs only inside testbed/sandbox.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <list>
#include <string>
#include <vector>

#include "common/unique_fd.h"
#include "testbed/settingsd-native/exchange.h"
#include "testbed/settingsd-native/section_store.h"

namespace settingsd {
namespace {

constexpr int kPorts[] = {20000, 20002, 20004, 20006};
constexpr size_t kMaxConnections = 512;
constexpr int kIdleSeconds = 10;

struct Options {
  std::string sections = CAMERA_SOURCE_DIR "/testbed/settingsd/sections";
  std::string state = "/run/settingsd";
  std::vector<std::string> peers = {"1.1.1.2", "2.2.2.3", "3.3.3.4"};
  std::string address = "0.0.0.0";
};

struct Listener {
  UniqueFd fd;
  int port;
};

struct Connection {
  Connection(UniqueFd socket, SectionStore& store, const std::string& address, int port)
      : fd(std::move(socket)), exchange(store, address, port), last(std::time(nullptr)) {}
  UniqueFd fd;
  Exchange exchange;
  std::string out;
  bool done = false;
  std::time_t last;
};

std::vector<std::string> split_commas(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

bool parse(int argc, char** argv, Options* options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    const std::string value = argv[i + 1];
    if (name == "--sections") {
      options->sections = value;
    } else if (name == "--state") {
      options->state = value;
    } else if (name == "--peers") {
      options->peers = split_commas(value);
    } else if (name == "--address") {
      options->address = value;
    } else {
      return false;
    }
  }
  return argc % 2 == 1;
}

UniqueFd listen_on(const std::string& address, int port) {
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd.valid()) return fd;
  int one = 1;
  ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(static_cast<uint16_t>(port));
  if (::inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1 ||
      ::bind(fd.get(), reinterpret_cast<sockaddr*>(&where), sizeof where) < 0 ||
      ::listen(fd.get(), 128) < 0) {
    std::fprintf(stderr, "settingsd-native: %s:%d: %s\n", address.c_str(), port,
                 std::strerror(errno));
    return UniqueFd();
  }
  return fd;
}

// The local address a connection arrived on: it decides which board's copy it sees.
std::string local_address(int fd) {
  sockaddr_in local{};
  socklen_t length = sizeof local;
  char text[INET_ADDRSTRLEN] = "";
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) < 0 ||
      ::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text) == nullptr) {
    return "";
  }
  return text;
}

// Reads what arrived and sends what is due; false when the connection is finished.
bool serve(Connection& c, short events) {
  if (events & (POLLIN | POLLHUP | POLLERR)) {
    char buffer[16384];
    ssize_t n = ::recv(c.fd.get(), buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return false;
    if (n > 0 && !c.done) {
      Exchange::Step step = c.exchange.feed(buffer, size_t(n), &c.out);
      if (step == Exchange::Step::kDrop) return false;
      c.done = step == Exchange::Step::kDone;
    }
    c.last = std::time(nullptr);
  }
  while (!c.out.empty()) {
    ssize_t n = ::send(c.fd.get(), c.out.data(), c.out.size(), MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) break;
    if (n <= 0) return false;
    c.out.erase(0, size_t(n));
    c.last = std::time(nullptr);
  }
  return !(c.done && c.out.empty());
}

// A client sends its request as soon as it is connected: wait this long for it before the
// connection joins the others in the poll loop (one wait instead of another loop round).
constexpr int kPromptMs = 20;

void accept_all(const Listener& listener, SectionStore& store, std::list<Connection>* open) {
  while (open->size() < kMaxConnections) {
    UniqueFd fd(::accept4(listener.fd.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!fd.valid()) return;
    const std::string address = local_address(fd.get());
    Connection& c = open->emplace_back(std::move(fd), store, address, listener.port);
    pollfd prompt{c.fd.get(), POLLIN, 0};
    if (::poll(&prompt, 1, kPromptMs) > 0 && !serve(c, prompt.revents)) open->pop_back();
  }
}

int run(const Options& options) {
  SectionStore store(options.sections, options.state, options.peers);
  std::vector<Listener> listeners;
  for (int port : kPorts) {
    UniqueFd fd = listen_on(options.address, port);
    if (!fd.valid()) return 1;
    listeners.push_back(Listener{std::move(fd), port});
  }
  if (!(std::ofstream(options.state + "/ready") << "listening\n")) return 1;
  std::list<Connection> open;
  std::vector<pollfd> polled;
  for (;;) {
    polled.clear();
    if (open.size() < kMaxConnections) {
      for (const Listener& l : listeners) polled.push_back(pollfd{l.fd.get(), POLLIN, 0});
    }
    const size_t first = polled.size();
    for (const Connection& c : open) {
      polled.push_back(pollfd{c.fd.get(), short(c.out.empty() ? POLLIN : POLLIN | POLLOUT), 0});
    }
    if (::poll(polled.data(), polled.size(), 1000) < 0 && errno != EINTR) return 1;
    const std::time_t now = std::time(nullptr);
    size_t at = first;
    for (auto c = open.begin(); c != open.end(); ++at) {
      const bool keep =
          polled[at].revents == 0 ? now - c->last < kIdleSeconds : serve(*c, polled[at].revents);
      c = keep ? std::next(c) : open.erase(c);
    }
    for (size_t i = 0; i < first; ++i) {
      if (polled[i].revents & POLLIN) accept_all(listeners[i], store, &open);
    }
  }
}

}  // namespace
}  // namespace settingsd

int main(int argc, char** argv) {
  const char* sandbox = std::getenv("SANDBOX");
  if (sandbox == nullptr || std::strcmp(sandbox, "1") != 0) {
    std::fprintf(stderr, "settingsd-native: runs only inside testbed/sandbox\n");
    return 2;
  }
  settingsd::Options options;
  if (!settingsd::parse(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: settingsd-native [--sections DIR] [--state DIR] [--peers A,B,C] "
                 "[--address A]\n");
    return 2;
  }
  std::error_code ignored;
  std::filesystem::create_directories(options.state, ignored);
  return settingsd::run(options);
}
