// The settings client against loopback servers: framing (also when replies arrive in
// pieces), result codes, routing of sections, and repetition to the peer boards.

#include "nvtd/getset/settings_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "nvtd/getset/cam_wait.h"
#include "nvtd/getset/settings_wire.h"
#include "nvtd/getset/test_server.h"

namespace nvtd {
namespace {

using testing::Exchange;
using testing::Journal;
using testing::loopback_address;
using testing::Script;
using testing::TestServer;

// A setup whose encoder, mainboard and peer boards are fresh loopback addresses.
struct LoopbackCamera {
  LoopbackCamera() {
    encoder = loopback_address();
    mainboard = loopback_address();
    for (auto& b : setup.peer_boards) b = loopback_address();
    setup.encoder_file = Write("encoder", encoder + "\n");
    setup.mainboard_file = Write("mainboard", mainboard);
    setup.connect_timeout_s = 1;
    setup.reply_timeout_s = 2;
  }
  std::string Write(const std::string& name, const std::string& text) {
    std::string path = ::testing::TempDir() + "getset_" + name + "_" + encoder;
    std::ofstream(path, std::ios::trunc) << text;
    return path;
  }
  std::string encoder, mainboard;
  SettingsSetup setup;
};

TEST(SectionPort, TableOfPorts) {
  EXPECT_STREQ(SectionPort("STREAM3"), "20000");
  EXPECT_STREQ(SectionPort("OSD"), "20000");
  EXPECT_STREQ(SectionPort("MOTION"), "20002");
  EXPECT_STREQ(SectionPort("WEC"), "20004");
  EXPECT_STREQ(SectionPort("EXTINFO"), "20006");
  EXPECT_EQ(SectionPort("NETWORK"), nullptr);
  EXPECT_EQ(SectionPort("image"), nullptr);  // names are case-sensitive
}

TEST(WireFormat, LittleEndianWords) {
  std::string request = encode_request(kCommandGet, 0, "CAM");
  EXPECT_EQ(request, std::string("\x64\0\0\0\0\0\0\0\x03\0\0\0CAM", 15));
  request = encode_request(kCommandSetOther, 0x01020304, "");
  EXPECT_EQ(request.substr(0, 8), std::string("\x67\0\0\0\x04\x03\x02\x01", 8));
}

TEST(GetSection, ReadsTheWholeTextWhenItArrivesByteByByte) {
  LoopbackCamera cam;
  Script script;
  script.section_text = "s0_fps = 25\ns0_type = 1\ns0_resolution = 125830000\n";
  script.pieces = true;
  TestServer server(cam.encoder, 20000, script);
  SettingsClient client(cam.setup);
  ASSERT_EQ(client.GetSection("ENCODE"), 0);
  EXPECT_EQ(client.text(), script.section_text);
  EXPECT_EQ(client.GetIntValue("s0_fps"), 25);
  EXPECT_EQ(client.GetIntValue("s1_fps"), -1);
  auto seen = server.journal()->All();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].command, kCommandGet);
  EXPECT_EQ(seen[0].section, "ENCODE");
}

TEST(GetSection, AReplyTricklingPastTheLimitFails) {
  LoopbackCamera cam;
  cam.setup.reply_timeout_s = 1;
  Script script;
  script.section_text = "s0_fps = 25\n" + std::string(60, '#') + "\n";
  script.pieces = true;
  script.piece_delay_us = 50000;  // each byte well within the limit, the whole reply not
  TestServer server(cam.encoder, 20000, script);
  SettingsClient client(cam.setup);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(client.GetSection("ENCODE"), -6);  // the head came, the text did not
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
  EXPECT_EQ(client.GetIntValue("s0_fps"), -1);
}

TEST(GetSection, TextsBeyondTheOldBufferAreKeptWholeUpToTheLimit) {
  LoopbackCamera cam;
  Script script;
  script.section_text = "pad = \"" + std::string(3000, 'p') + "\"\nlast = 7\n";
  TestServer server(cam.encoder, 20002, script);
  SettingsClient client(cam.setup);
  ASSERT_EQ(client.GetSection("IMAGE"), 0);
  EXPECT_EQ(client.GetIntValue("last"), 7);
}

TEST(GetSection, OversizedOrTruncatedTextFailsWithoutRecords) {
  LoopbackCamera cam;
  Script oversized;
  oversized.section_text = "a = 1\n";
  oversized.announced_extra = SettingsClient::kMaxTextBytes;
  {
    TestServer server(cam.encoder, 20004, oversized);
    SettingsClient client(cam.setup);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(client.GetSection("CAM"), -6);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("limit"), std::string::npos);
    EXPECT_EQ(client.GetIntValue("a"), -1);
  }
  Script truncated;
  truncated.section_text = "a = 1\n";
  truncated.announced_extra = 10;  // the server closes before the rest comes
  TestServer server(cam.encoder, 20000, truncated);
  SettingsClient client(cam.setup);
  EXPECT_EQ(client.GetSection("STREAM0"), -6);
  EXPECT_EQ(client.GetIntValue("a"), -1);
}

TEST(GetSection, NonZeroStatusGivesSuccessWithoutRecords) {
  LoopbackCamera cam;
  Script script;
  script.status = 3;
  script.section_text = "model = \"X\"\n";
  TestServer server(cam.encoder, 20004, script);
  SettingsClient client(cam.setup);
  EXPECT_EQ(client.GetSection("INFO"), 0);
  char model[24] = "unknown";
  EXPECT_EQ(client.GetValue("model", model, sizeof model), -1);
  EXPECT_STREQ(model, "unknown");
}

TEST(GetSection, FailureCodesAndMessages) {
  LoopbackCamera cam;
  SettingsClient client(cam.setup);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(client.GetSection("NOSUCH"), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "failed to map section name NOSUCH\n");

  ::testing::internal::CaptureStderr();
  EXPECT_EQ(client.GetSection("CAM"), -3);  // nothing listens on the encoder address
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("client: connect"), std::string::npos);
  EXPECT_NE(err.find("client: failed to connect\n"), std::string::npos);

  ::testing::internal::CaptureStderr();
  EXPECT_EQ(client.GetSection("CAM", ""), -2);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("getaddrinfo for /20004: "),
            std::string::npos);

  Script closing;
  closing.close_at_once = true;
  TestServer server(cam.encoder, 20004, closing);
  EXPECT_EQ(client.GetSection("CAM"), -5);
}

TEST(GetSection, ExtendedSectionsAlwaysGoToTheMainboard) {
  LoopbackCamera cam;
  Script script;
  script.section_text = "serial = \"A1\"\n";
  TestServer mainboard(cam.mainboard, 20006, script);
  TestServer encoder(cam.encoder, 20006, Script{});
  SettingsClient client(cam.setup);
  EXPECT_EQ(client.GetSection("EXTINFO", cam.encoder.c_str()), 0);
  EXPECT_EQ(client.GetSection("EXTNET"), 0);
  EXPECT_EQ(mainboard.journal()->All().size(), 2u);
  EXPECT_EQ(encoder.connections(), 0);
  EXPECT_EQ(client.mainboard_address(), cam.mainboard);
}

std::vector<std::string> Describe(const std::vector<Exchange>& seen) {
  std::vector<std::string> out;
  for (const Exchange& e : seen) {
    out.push_back(e.address + " " + std::to_string(e.command) + " " + e.section + " " + e.text);
  }
  return out;
}

TEST(SetSection, TwoLineImageSetReachesTheServerThenEachLineEachBoardInOrder) {
  LoopbackCamera cam;
  auto journal = std::make_shared<Journal>();
  TestServer local(cam.encoder, 20002, Script{}, journal);
  TestServer b1(cam.setup.peer_boards[0], 20002, Script{}, journal);
  TestServer b2(cam.setup.peer_boards[1], 20002, Script{}, journal);
  TestServer b3(cam.setup.peer_boards[2], 20002, Script{}, journal);
  SettingsClient client(cam.setup);
  EXPECT_EQ(client.SetSection("IMAGE", "brightness = 3\ncontrast = 4\n", true), 0);
  const auto& p = cam.setup.peer_boards;
  EXPECT_EQ(Describe(journal->All()),
            (std::vector<std::string>{
                cam.encoder + " 101 IMAGE brightness = 3\ncontrast = 4\n",
                p[0] + " 101 IMAGE brightness = 3", p[1] + " 101 IMAGE brightness = 3",
                p[2] + " 101 IMAGE brightness = 3", p[0] + " 101 IMAGE contrast = 4",
                p[1] + " 101 IMAGE contrast = 4", p[2] + " 101 IMAGE contrast = 4"}));
}

TEST(SetSection, UnreachableBoardStopsTheRepetition) {
  LoopbackCamera cam;
  auto journal = std::make_shared<Journal>();
  TestServer local(cam.encoder, 20000, Script{}, journal);
  TestServer b1(cam.setup.peer_boards[0], 20000, Script{}, journal);
  TestServer b3(cam.setup.peer_boards[2], 20000, Script{}, journal);
  SettingsClient client(cam.setup);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(client.SetSection("STREAM1", "s1_N = 30\ns1_cbr_avg_bps = 2000000\n", false), -1);
  ::testing::internal::GetCapturedStderr();
  auto seen = journal->All();
  ASSERT_EQ(seen.size(), 2u);  // the local server and board 1, once
  EXPECT_EQ(seen[0].command, kCommandSetOther);
  EXPECT_EQ(seen[1].text, "s1_N = 30");
  EXPECT_EQ(b3.connections(), 0);
}

TEST(SetSection, RepetitionRules) {
  EXPECT_TRUE(is_repeated("ENCODE", "s0_fps = 25"));
  EXPECT_FALSE(is_repeated("ENCODE", "s2_fps = 25"));
  EXPECT_FALSE(is_repeated("ENCODE", "s3_type = 1"));
  EXPECT_TRUE(is_repeated("CAM", "ir_mode = 1"));
  EXPECT_TRUE(is_repeated("CAM", "night_color = 0"));
  EXPECT_FALSE(is_repeated("CAM", "nvtd_discoverable = 1"));
  for (const char* s : {"IMAGE", "STREAM0", "STREAM3", "VINVOUT"}) {
    EXPECT_TRUE(is_repeated(s, "anything = 1")) << s;
  }
  for (const char* s : {"INFO", "MOTION", "EXTNET", "NETWORK", "OSD"}) {
    EXPECT_FALSE(is_repeated(s, "ir_mode = 1")) << s;
  }
}

TEST(SetSection, OnlyListedLinesAreRepeatedAndAnExplicitHostIsNot) {
  LoopbackCamera cam;
  auto journal = std::make_shared<Journal>();
  TestServer local(cam.encoder, 20000, Script{}, journal);
  TestServer b1(cam.setup.peer_boards[0], 20000, Script{}, journal);
  TestServer b2(cam.setup.peer_boards[1], 20000, Script{}, journal);
  TestServer b3(cam.setup.peer_boards[2], 20000, Script{}, journal);
  SettingsClient client(cam.setup);
  EXPECT_EQ(client.SetSection("ENCODE", "s0_fps = 25\n\ns2_fps = 5\n", true), 0);
  EXPECT_EQ(journal->All().size(), 4u);
  EXPECT_EQ(journal->All()[3].text, "s0_fps = 25");
  EXPECT_EQ(client.SetSection("OSD", "text = 1\n", true), 0);
  EXPECT_EQ(client.SetSection("ENCODE", "s0_fps = 20\n", true, cam.encoder.c_str()), 0);
  EXPECT_EQ(journal->All().size(), 6u);
}

TEST(SetSection, FailureCodes) {
  LoopbackCamera cam;
  SettingsClient client(cam.setup);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(client.SetSection("NOSUCH", "a = 1\n", true), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(client.SetSection("CAM", "a = 1\n", true), -2);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("client: failed to connect"),
            std::string::npos);
  Script refusing;
  refusing.status = 1;
  {
    TestServer server(cam.encoder, 20004, refusing);
    EXPECT_EQ(client.SetSection("CAM", "a = 1\n", true), -1);
    EXPECT_EQ(server.journal()->All().at(0).text, "");  // the text is not sent
  }
  Script second;
  second.second_status = 2;
  TestServer server(cam.encoder, 20004, second);
  EXPECT_EQ(client.SetSection("CAM", "a = 1\n", true), -1);
}

TEST(SetSection, ATextLargerThanTheSocketBuffersWaitsForTheServerUntilTheDeadline) {
  LoopbackCamera cam;
  cam.setup.reply_timeout_s = 1;
  const std::string records(3000000, 'x');  // beyond what the buffers hold
  for (int pause_ms : {200, 1500}) {
    Script slow;
    slow.slow_read_ms = pause_ms;
    TestServer server(cam.encoder, 20004, slow);
    SettingsClient client(cam.setup);
    const auto start = std::chrono::steady_clock::now();
    const int rc = client.SetSection("CAM", records, true);
    const auto took = std::chrono::steady_clock::now() - start;
    if (pause_ms < 1000) {
      EXPECT_EQ(rc, 0);
      ASSERT_EQ(server.journal()->All().size(), 1u);
      EXPECT_EQ(server.journal()->All()[0].text, records);
    } else {
      EXPECT_EQ(rc, -1);  // the whole exchange is over its second
      EXPECT_LT(took, std::chrono::milliseconds(1400));
    }
  }
}

TEST(SetValue, RecordFormsAndRefusals) {
  LoopbackCamera cam;
  TestServer server(cam.encoder, 20004, Script{});
  SettingsClient client(cam.setup);
  EXPECT_EQ(client.SetIntValue("CAM", "nvtd_discoverable", 0, true), 0);
  EXPECT_EQ(client.SetStringValue("CAM", "name", "front door", true), 0);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(client.SetStringValue("CAM", "name", "x\"\nnvtd_discoverable = 1", true), -1);
  EXPECT_EQ(client.SetStringValue("CAM", "name", std::string(190, 'n'), true), -1);
  EXPECT_EQ(client.SetIntValue("CAM", std::string(46, 'k'), 1, true), -1);
  EXPECT_EQ(client.SetIntValue("CAM", "two words", 1, true), -1);
  ::testing::internal::GetCapturedStderr();
  auto seen = server.journal()->All();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].text, "nvtd_discoverable = 0\n");
  EXPECT_EQ(seen[1].text, "name = \"front door\"\n");
}

TEST(CamWait, TriesTenTimesThenReadsTheSwitchAnyway) {
  LoopbackCamera cam;
  SettingsSetup saved = settings_setup();
  set_settings_setup(cam.setup);
  int pauses = 0;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(wait_for_cam_settings(10, [&] { ++pauses; }), -1);
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(pauses, 10);

  Script script;
  script.section_text = "nvtd_discoverable = 0\n";
  TestServer server(cam.encoder, 20004, script);
  pauses = 0;
  EXPECT_EQ(wait_for_cam_settings(10, [&] { ++pauses; }), 0);
  EXPECT_EQ(pauses, 0);
  set_settings_setup(saved);
}

}  // namespace
}  // namespace nvtd
