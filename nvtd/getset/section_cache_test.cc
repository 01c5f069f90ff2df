// The request's section cache against a loopback settings server: a prefetch sends its
// gets before waiting for any reply, no section is got twice in one request, and a server
// that is down, cuts the exchange or hangs marks the request failed within its budget.

#include "nvtd/getset/section_cache.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <fstream>
#include <set>

#include "common/unique_fd.h"
#include "nvtd/getset/exchange_bounds.h"
#include "nvtd/getset/test_server.h"

namespace nvtd {
namespace {

using testing::loopback_address;
using testing::Script;
using testing::TestServer;

TEST(SectionCache, APrefetchWaitsForItsSectionsTogetherAndGetsEachOnce) {
  const std::string encoder = loopback_address();
  SettingsSetup setup;
  setup.encoder_file = ::testing::TempDir() + "section_cache_encoder_" + encoder;
  setup.mainboard_file = setup.encoder_file;
  setup.connect_timeout_s = 1;
  setup.reply_timeout_s = 5;
  std::ofstream(setup.encoder_file, std::ios::trunc) << encoder << "\n";
  const SettingsSetup saved = settings_setup();
  set_settings_setup(setup);

  Script script;
  script.section_text = "s0_N = 30\n";
  script.gather_ms = 300;  // a get that waits for its reply before the next one is sent
                           // shows as one connection at a time
  TestServer server(encoder, 20000, script);
  section_cache_fill();
  section_cache_prefetch(
      {SectionId::kEncode, SectionId::kStream0, SectionId::kStream1, SectionId::kEncode});
  EXPECT_EQ(server.most_at_once(), 3);
  EXPECT_EQ(section_cache_fetched(), 3);
  ASSERT_NE(stream_section(1), nullptr);
  EXPECT_EQ(stream_section(1)->GetIntValue("s0_N"), 30);
  section_cache_prefetch({SectionId::kStream0, SectionId::kEncode});  // got already
  EXPECT_EQ(server.connections(), 3);
  std::multiset<std::string> got;
  for (const auto& e : server.journal()->All()) got.insert(e.section);
  EXPECT_EQ(got, (std::multiset<std::string>{"ENCODE", "STREAM0", "STREAM1"}));
  section_cache_release();
  EXPECT_EQ(section(SectionId::kEncode), nullptr);
  set_settings_setup(saved);
}

// A server that takes connections into its backlog and never answers: a stopped process.
UniqueFd hung_listener(const std::string& address, int port) {
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(static_cast<uint16_t>(port));
  ::inet_pton(AF_INET, address.c_str(), &at.sin_addr);
  if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
      ::listen(fd.get(), 16) != 0) {
    return UniqueFd();
  }
  return fd;
}

enum class ServerState { kAnswers, kAbsent, kClosesAtOnce, kHung };

TEST(SectionCache, AnUnreachableOrHungServerFailsTheRequestWithinItsBudget) {
  const struct {
    ServerState state;
    bool failed;
  } cases[] = {{ServerState::kAnswers, false},
               {ServerState::kAbsent, true},
               {ServerState::kClosesAtOnce, true},
               {ServerState::kHung, true}};
  const SettingsSetup saved = settings_setup();
  for (const auto& c : cases) {
    const std::string encoder = loopback_address();
    SettingsSetup setup;
    setup.encoder_file = ::testing::TempDir() + "section_cache_state_" + encoder;
    setup.mainboard_file = setup.encoder_file;
    setup.reply_timeout_s = 30;  // only the request's budget bounds the wait
    for (auto& board : setup.peer_boards) board = loopback_address();  // nobody there
    std::ofstream(setup.encoder_file, std::ios::trunc) << encoder << "\n";
    set_settings_setup(setup);
    Script script;
    script.section_text = "model = \"X\"\n";
    script.close_at_once = c.state == ServerState::kClosesAtOnce;
    std::unique_ptr<TestServer> server;
    UniqueFd hung;
    if (c.state == ServerState::kHung) {
      hung = hung_listener(encoder, 20004);
      ASSERT_TRUE(hung.valid());
    } else if (c.state != ServerState::kAbsent) {
      server = std::make_unique<TestServer>(encoder, 20004, script);
    }
    for (int request = 0; request < 2; ++request) {
      section_cache_fill();
      start_exchange_budget(600);
      const auto start = std::chrono::steady_clock::now();
      ASSERT_NE(section(SectionId::kInfo), nullptr);
      section(SectionId::kCam);  // same server: a second get in the same request
      EXPECT_EQ(section_cache_failed(), c.failed) << int(c.state);
      // The first request of a hung server waits out its budget; the next one fails at once.
      const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
      EXPECT_LT(took, request == 0 ? 1500 : 200) << int(c.state) << " request " << request;
      section_cache_release();
      EXPECT_FALSE(section_cache_failed());
    }
    // A set that does not reach the server's answer fails the request as well.
    section_cache_fill();
    start_exchange_budget(600);
    SettingsClient(setup).SetIntValue("INFO", "k", 1, true);
    EXPECT_EQ(section_cache_failed(), c.failed) << int(c.state) << " set";
    section_cache_release();
  }
  set_settings_setup(saved);
}

}  // namespace
}  // namespace nvtd
