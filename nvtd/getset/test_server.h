// A tiny settings server for unit tests: one thread on a loopback address, scripted
// replies (optionally dribbled out a byte at a time) and a journal of what it was sent.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nvtd::testing {

struct Exchange {
  std::string address;
  uint32_t command = 0;
  std::string section;
  std::string text;
};

// Exchanges seen by one or more servers, in the order they completed.
class Journal {
 public:
  void Add(Exchange e);
  std::vector<Exchange> All();

 private:
  std::mutex mu_;
  std::vector<Exchange> all_;
};

struct Script {
  uint32_t status = 0;           // first reply's status
  uint32_t second_status = 0;    // status after a set's text
  std::string section_text;      // text of a get
  uint32_t announced_extra = 0;  // announce this many more bytes than are sent
  bool pieces = false;           // send replies one byte at a time
  int piece_delay_us = 200;      // the pause after each byte sent in pieces
  bool close_at_once = false;    // close without reading or replying
  int gather_ms = 0;     // before answering, take further connections until none comes this long
  int slow_read_ms = 0;  // a small receive buffer, and this pause before reading a set's text
};

// A distinct 127.x.y.z address per call, so parallel tests do not share ports.
std::string loopback_address();

class TestServer {
 public:
  TestServer(std::string address, int port, Script script,
             std::shared_ptr<Journal> journal = std::make_shared<Journal>());
  ~TestServer();
  const std::shared_ptr<Journal>& journal() const { return journal_; }
  int connections() const { return connections_; }
  // The most connections open at once (taken together under gather_ms, else 1).
  int most_at_once() const { return most_at_once_; }

 private:
  void Serve(int listener);
  void Handle(int fd);

  std::string address_;
  Script script_;
  std::shared_ptr<Journal> journal_;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::atomic<int> most_at_once_{0};
  std::thread thread_;
};

}  // namespace nvtd::testing
