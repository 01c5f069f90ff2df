// The request's section cache against a loopback settings server: a prefetch sends its
// gets before waiting for any reply, and no section is got twice in one request.

#include "nvtd/getset/section_cache.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

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

}  // namespace
}  // namespace nvtd
