// Media2's profile operations over the shared store: listings by token and type, the changes
// and their faults, and the same profiles seen through Media1 and the event service.
#include "nvtd/media2/profiles2.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"
#include "nvtd/media/media_events_test_util.h"
#include "nvtd/media/media_test_camera.h"
#include "nvtd/media/profile_store.h"
#include "nvtd/media/profiles.h"
#include "nvtd/media2/media2_replies.h"

namespace nvtd {
namespace {

constexpr char kStreams[] =
    "s0_type = 1\ns0_resolution = 125830200\ns0_fps = 25\n"
    "s0_cbr_avg_bps = 4000000\ns0_N = 25\ns1_type = 1\n"
    "s1_resolution = 41943520\ns1_fps = 15\ns1_cbr_avg_bps = 500000\n";
constexpr char kAudio[] = "ain_encode = 1\nain_bitrate = 64000\nain_sample_rate = 8000\n";

class Profiles2 : public ::testing::Test {
 protected:
  void SetUp() override {
    profile_store_reset();
    HwAudio = true;
  }
  void TearDown() override {
    profile_store_reset();
    HwAudio = true;
  }
  testing::CachedCamera camera_{kStreams, kAudio};
};

std::string answer(Handler handler, const std::string& content) {
  OutputCapture capture;
  handler(request_with_body("<s:Body>" + content + "</s:Body>"), capture.reply());
  return capture.take();
}

std::string ref(const char* type, const char* token) {
  return std::string("<tr2:Configuration><tr2:Type>") + type + "</tr2:Type>" +
         (token ? std::string("<tr2:Token>") + token + "</tr2:Token>" : "") +
         "</tr2:Configuration>";
}

int count(const std::string& text, const std::string& part) {
  int n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST_F(Profiles2, ListingsByTokenAndType) {
  profile_create("made", "m1");  // through Media1
  struct Case {
    std::string request;
    std::vector<std::string> present, absent;
  } cases[] = {
      {"<tr2:GetProfiles/>",
       {"<tr2:Profiles token=\"stream1\" fixed=\"true\"><tr2:Name>stream1</tr2:Name>"
        "</tr2:Profiles><tr2:Profiles token=\"stream2\"",
        "<tr2:Profiles token=\"m1\" fixed=\"false\"><tr2:Name>made</tr2:Name></tr2:Profiles>"},
       {"Configurations"}},
      {"<tr2:GetProfiles><tr2:Type>All</tr2:Type></tr2:GetProfiles>",
       {"<tr2:Configurations><tr2:VideoSource token=\"T-VSConf-00\">",
        "</tr2:VideoSource><tr2:AudioSource token=\"T-ASConf-00\">",
        "<tr2:VideoEncoder token=\"T-VEConf-stream1\" GovLength=\"25\" Profile=\"Baseline\">"
        "<tt:Name>VideoEncoderConfiguration-stream1</tt:Name><tt:UseCount>2</tt:UseCount>"
        "<tt:Encoding>H264</tt:Encoding><tt:Resolution><tt:Width>1920</tt:Width><tt:Height>"
        "1080</tt:Height></tt:Resolution><tt:RateControl><tt:FrameRateLimit>25",
        "<tt:Encoding>PCMU</tt:Encoding><tt:Multicast>",
        "</tr2:AudioEncoder><tr2:Metadata token=\"T-MetadataConf-00\">",
        "<tr2:VideoEncoder token=\"T-VEConf-stream2\"",
        "<tr2:Profiles token=\"m1\" fixed=\"false\"><tr2:Name>made</tr2:Name>"
        "<tr2:Configurations></tr2:Configurations>"},
       {}},
      {"<tr2:GetProfiles><tr2:Token>stream2</tr2:Token><tr2:Type>VideoEncoder</tr2:Type>"
       "<tr2:Type>Metadata</tr2:Type></tr2:GetProfiles>",
       {"<tr2:GetProfilesResponse xmlns:tr2=\"http://www.onvif.org/ver20/media/wsdl\">"
        "<tr2:Profiles token=\"stream2\" fixed=\"true\"><tr2:Name>stream2</tr2:Name>"
        "<tr2:Configurations><tr2:VideoEncoder token=\"T-VEConf-stream2\"",
        "<tt:Width>640</tt:Width><tt:Height>480</tt:Height>", "<tr2:Metadata "},
       {"stream1", "VideoSource", "AudioEncoder"}},
      {"<tr2:GetProfiles><tr2:Token>none</tr2:Token></tr2:GetProfiles>",
       {"ter:InvalidArgVal", "ter:NoProfile"},
       {"GetProfilesResponse"}},
  };
  for (const Case& c : cases) {
    std::string text = answer(handle_get_profiles2, c.request);
    for (const std::string& part : c.present) EXPECT_NE(text.find(part), std::string::npos) << part;
    for (const std::string& part : c.absent) EXPECT_EQ(text.find(part), std::string::npos) << part;
  }
  HwAudio = false;
  std::string text = answer(handle_get_profiles2, "<tr2:GetProfiles><tr2:Type>All</tr2:Type>");
  EXPECT_EQ(count(text, "tr2:AudioSource "), 0);
}

// Each step a request and what the answer must hold; the store carries over from step to step.
TEST_F(Profiles2, ChangesAndTheirFaults) {
  const std::string vs = ref("VideoSource", "T-VSConf-00");
  const std::string ve2 = ref("VideoEncoder", "T-VEConf-stream2");
  struct Step {
    Handler handler;
    std::string request;
    const char* expected;
  } steps[] = {
      {handle_create_profile2, "<tr2:CreateProfile><tr2:Name>cam</tr2:Name>" + vs + ve2,
       "<tr2:CreateProfileResponse><tr2:Token>profile_1</tr2:Token></tr2:CreateProfileResponse>"},
      {handle_create_profile2, "<tr2:CreateProfile><tr2:Name>x</tr2:Name>" + ve2,
       "ter:ConfigurationConflict"},
      {handle_create_profile2,
       "<tr2:CreateProfile><tr2:Name>x</tr2:Name>" + ref("VideoSource", "T-VSConf-01"),
       "ter:NoConfig"},
      {handle_create_profile2, "<tr2:CreateProfile/>", "ter:ConfigModify"},
      {handle_add_configuration2,
       "<tr2:AddConfiguration><tr2:ProfileToken>nope</tr2:ProfileToken>" + vs, "ter:NoProfile"},
      {handle_add_configuration2,
       "<tr2:AddConfiguration><tr2:ProfileToken>profile_1</tr2:ProfileToken>" +
           ref("PTZ", "T-PTZ-00"),
       "ter:NoConfig"},
      {handle_add_configuration2,
       "<tr2:AddConfiguration><tr2:ProfileToken>profile_1</tr2:ProfileToken>" +
           ref("AudioEncoder", "T-AEConf-00"),
       "ter:ConfigurationConflict"},
      {handle_add_configuration2,
       "<tr2:AddConfiguration><tr2:ProfileToken>profile_1</tr2:ProfileToken><tr2:Name>renamed"
       "</tr2:Name>" +
           ref("AudioSource", "T-ASConf-00") + ref("AudioEncoder", "T-AEConf-00") +
           ref("All", nullptr),
       "<tr2:AddConfigurationResponse></tr2:AddConfigurationResponse>"},
      {handle_add_configuration2,
       "<tr2:AddConfiguration><tr2:ProfileToken>stream1</tr2:ProfileToken>" + ve2,
       "ter:ConfigurationConflict"},
      {handle_add_configuration2,
       "<tr2:AddConfiguration><tr2:ProfileToken>stream1</tr2:ProfileToken>" +
           ref("VideoEncoder", "T-VEConf-stream1"),
       "AddConfigurationResponse"},
      {handle_remove_configuration2,
       "<tr2:RemoveConfiguration><tr2:ProfileToken>profile_1</tr2:ProfileToken>" +
           ref("VideoSource", nullptr),
       "ter:ConfigurationConflict"},
      {handle_remove_configuration2,
       "<tr2:RemoveConfiguration><tr2:ProfileToken>stream2</tr2:ProfileToken>" +
           ref("Metadata", nullptr),
       "ter:ConfigurationConflict"},
      {handle_remove_configuration2,
       "<tr2:RemoveConfiguration><tr2:ProfileToken>profile_1</tr2:ProfileToken>" +
           ref("AudioEncoder", "ignored") + ref("Metadata", nullptr),
       "RemoveConfigurationResponse"},
      {handle_delete_profile2, "<tr2:DeleteProfile><tr2:Token>stream1</tr2:Token>",
       "ter:DeletionOfFixedProfile"},
      {handle_delete_profile2, "<tr2:DeleteProfile><tr2:Token>nope</tr2:Token>", "ter:NoProfile"},
  };
  for (const Step& step : steps) {
    std::string text = answer(step.handler, step.request);
    EXPECT_NE(text.find(step.expected), std::string::npos) << step.request << "\n" << text;
  }
  const profile_slot* made = find_media2_profile("profile_1").slot;
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->name, "renamed");
  EXPECT_EQ(made->video_encoder_token.value_or(""), "T-VEConf-stream2");
  EXPECT_EQ(made->audio_source_token.value_or(""), "T-ASConf-00");
  EXPECT_FALSE(made->audio_encoder_token);
  EXPECT_EQ(profile_count(), 1);
  // Removing every type empties it; then it goes.
  answer(handle_remove_configuration2,
         "<tr2:RemoveConfiguration><tr2:ProfileToken>profile_1</tr2:ProfileToken>" +
             ref("All", nullptr));
  EXPECT_FALSE(made->video_source_token || made->video_encoder_token || made->audio_source_token);
  EXPECT_NE(answer(handle_delete_profile2, "<tr2:DeleteProfile><tr2:Token>profile_1</tr2:Token>")
                .find("<tr2:DeleteProfileResponse>"),
            std::string::npos);
  EXPECT_EQ(profile_count(), 0);
}

TEST_F(Profiles2, TheStoreLimitAndAudioOnlyWithAudioHardware) {
  for (int i = 0; i < kProfileSlots; ++i) profile_create("n", "t" + std::to_string(i));
  EXPECT_NE(answer(handle_create_profile2, "<tr2:CreateProfile><tr2:Name>x</tr2:Name>")
                .find("ter:MaxNVTProfiles"),
            std::string::npos);
  profile_delete("t0");
  HwAudio = false;
  EXPECT_NE(answer(handle_create_profile2,
                   "<tr2:CreateProfile><tr2:Name>x</tr2:Name>" + ref("AudioSource", "T-ASConf-00"))
                .find("ter:NoConfig"),
            std::string::npos);
  EXPECT_EQ(profile_count(), kProfileSlots - 1);
}

// A profile made through Media2 is the one Media1 lists, and its changes reach subscribers.
TEST_F(Profiles2, OneStoreForBothServicesAndItsEvents) {
  testing::MediaEventWatch watch;
  answer(handle_create_profile2, "<tr2:CreateProfile><tr2:Name>both</tr2:Name>" +
                                     ref("VideoSource", "T-VSConf-00") +
                                     ref("VideoEncoder", "T-VEConf-stream2"));
  EXPECT_EQ(watch.take(),
            (std::vector<std::string>{"ProfileChanged:profile_1", "ProfileChanged:profile_1",
                                      "ProfileChanged:profile_1"}));
  OutputCapture media1;
  handle_get_profiles(Request{}, media1.reply());
  std::string listed = media1.take();
  EXPECT_NE(listed.find("<trt:Profiles fixed=\"false\" token=\"profile_1\"><tt:Name>both"),
            std::string::npos);
  EXPECT_NE(listed.find("<tt:VideoEncoderConfiguration token=\"T-VEConf-stream2\">"),
            std::string::npos);
  answer(handle_remove_configuration2,
         "<tr2:RemoveConfiguration><tr2:ProfileToken>stream1</tr2:ProfileToken>" +
             ref("PTZ", nullptr));  // nothing it holds: no change, no event
  answer(handle_delete_profile2, "<tr2:DeleteProfile><tr2:Token>profile_1</tr2:Token>");
  EXPECT_EQ(watch.take(), (std::vector<std::string>{"ProfileChanged:profile_1"}));
}

}  // namespace
}  // namespace nvtd
