// The unit tests' loopback settings server.

#include "nvtd/getset/test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

#include "common/unique_fd.h"
#include "nvtd/getset/settings_wire.h"

namespace nvtd::testing {

void Journal::Add(Exchange e) {
  std::lock_guard<std::mutex> lock(mu_);
  all_.push_back(std::move(e));
}

std::vector<Exchange> Journal::All() {
  std::lock_guard<std::mutex> lock(mu_);
  return all_;
}

std::string loopback_address() {
  // 127.<pid high>.<pid low>.<counter>: distinct for every test process and call.
  static int counter = 1;
  const unsigned pid = static_cast<unsigned>(::getpid());
  ++counter;
  return "127." + std::to_string((pid >> 8) & 0xff) + "." + std::to_string(pid & 0xff) + "." +
         std::to_string(counter % 250 + 2);
}

TestServer::TestServer(std::string address, int port, Script script,
                       std::shared_ptr<Journal> journal)
    : address_(std::move(address)), script_(std::move(script)), journal_(std::move(journal)) {
  int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int on = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (script_.slow_read_ms > 0) {
    int small = 4096;  // taken over by every accepted connection
    ::setsockopt(listener, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  }
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(port));
  ::inet_pton(AF_INET, address_.c_str(), &sa.sin_addr);
  if (::bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
      ::listen(listener, 8) != 0) {
    ::close(listener);
    std::abort();  // a test set-up failure, not a result
  }
  thread_ = std::thread([this, listener] { Serve(listener); });
}

TestServer::~TestServer() {
  stop_ = true;
  thread_.join();
}

void TestServer::Serve(int listener) {
  UniqueFd owned(listener);
  while (!stop_) {
    pollfd p{listener, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    std::vector<UniqueFd> batch;
    batch.emplace_back(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
    if (!batch[0].valid()) continue;
    while (script_.gather_ms > 0 && ::poll(&p, 1, script_.gather_ms) > 0) {
      UniqueFd more(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
      if (!more.valid()) break;
      batch.push_back(std::move(more));
    }
    connections_ += static_cast<int>(batch.size());
    if (static_cast<int>(batch.size()) > most_at_once_) most_at_once_ = batch.size();
    for (UniqueFd& fd : batch) {
      timeval limit{2, 0};
      ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
      if (!script_.close_at_once) Handle(fd.get());
    }
  }
}

namespace {

void send_reply(int fd, const std::string& bytes, bool pieces, int delay_us) {
  if (!pieces) {
    write_all(fd, bytes.data(), bytes.size());
    return;
  }
  for (char c : bytes) {
    if (write_all(fd, &c, 1) != 1) return;  // the client has gone
    ::usleep(static_cast<useconds_t>(delay_us));
  }
}

std::string reply(uint32_t status, uint32_t length) {
  unsigned char head[kReplyBytes];
  put_word(head, status);
  put_word(head + 4, length);
  return std::string(reinterpret_cast<char*>(head), sizeof head);
}

}  // namespace

void TestServer::Handle(int fd) {
  unsigned char head[12];
  if (!read_all(fd, head, sizeof head)) return;
  Exchange e;
  e.address = address_;
  e.command = get_word(head);
  uint32_t text_length = get_word(head + 4);
  e.section.resize(get_word(head + 8) & 0xff);
  if (!read_all(fd, e.section.data(), e.section.size())) return;
  // Journalled before the last reply, so the journal's order is the client's order.
  if (e.command == kCommandGet) {
    journal_->Add(e);
    std::string out = reply(script_.status, script_.section_text.size() + script_.announced_extra);
    if (script_.status == 0) out += script_.section_text;
    send_reply(fd, out, script_.pieces, script_.piece_delay_us);
    return;
  }
  if (script_.status != 0) {
    journal_->Add(e);
    send_reply(fd, reply(script_.status, 0), script_.pieces, script_.piece_delay_us);
    return;
  }
  send_reply(fd, reply(script_.status, 0), script_.pieces, script_.piece_delay_us);
  e.text.resize(text_length & 0x3fffff);
  std::this_thread::sleep_for(std::chrono::milliseconds(script_.slow_read_ms));
  if (!read_all(fd, e.text.data(), e.text.size())) return;
  journal_->Add(e);
  send_reply(fd, reply(script_.second_status, 0), script_.pieces, script_.piece_delay_us);
}

}  // namespace nvtd::testing
