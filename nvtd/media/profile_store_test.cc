// The created-profile store: slots, counters kept in step with attach, detach and delete,
// and the token-to-stream mapping.
#include "nvtd/media/profile_store.h"

#include <gtest/gtest.h>

#include "nvtd/media/media_events_test_util.h"
#include "nvtd/media/profile_to_stream.h"

namespace nvtd {
namespace {

class ProfileStore : public ::testing::Test {
 protected:
  void SetUp() override { profile_store_reset(); }
  void TearDown() override { profile_store_reset(); }
};

TEST_F(ProfileStore, FiveSlotsFirstFreeAndDuplicateTokensKeepTheFirstName) {
  for (int i = 0; i < kProfileSlots; ++i) {
    EXPECT_EQ(profile_create("name" + std::to_string(i), "tok" + std::to_string(i)), 0);
  }
  EXPECT_EQ(profile_count(), 5);
  EXPECT_EQ(profile_create("sixth", "tok5"), -1);
  EXPECT_EQ(profile_exists("tok5"), 0);
  EXPECT_EQ(profile_create("other", "tok2"), 0);  // exists: nothing changes
  EXPECT_EQ(profile_table[2].name, "name2");
  // A freed slot in the middle is the next one taken.
  EXPECT_EQ(profile_delete("tok1"), 0);
  EXPECT_EQ(profile_delete("tok1"), -1);
  EXPECT_EQ(profile_create("again", "new"), 0);
  EXPECT_EQ(profile_table[1].token, "new");
  EXPECT_EQ(profile_exists("TOK2"), 0);  // tokens compare case-sensitively
}

TEST_F(ProfileStore, IterationVisitsSlotsInUseInSlotOrder) {
  profile_create("a", "A");
  profile_create("b", "B");
  profile_create("c", "C");
  profile_delete("B");
  std::string seen;
  const profile_slot* slot = nullptr;
  for (int pos = profile_next(0, &slot); pos >= 0; pos = profile_next(pos, &slot)) {
    seen += slot->token;
  }
  EXPECT_EQ(seen, "AC");
  profile_store_reset();
  EXPECT_EQ(profile_next(0, &slot), -1);
}

TEST_F(ProfileStore, VideoEncoderTokensMoveTheirUseCounts) {
  profile_create("p", "p");
  EXPECT_EQ(profile_attach_video_encoder("p", "T-VEConf-stream2"), 0);
  EXPECT_EQ(venc_use_count(2), 1);
  EXPECT_EQ(profile_attach_video_encoder("p", "T-VEConf-stream1"), 0);
  EXPECT_EQ(venc_use_count(2), 0);
  EXPECT_EQ(venc_use_count(1), 1);
  // A foreign token is stored but counts nowhere; the earlier one is released.
  EXPECT_EQ(profile_attach_video_encoder("p", "T-VEConf-stream1x"), 0);
  EXPECT_EQ(venc_use_count(1), 0);
  EXPECT_EQ(*profile_table[0].video_encoder_token, "T-VEConf-stream1x");
  EXPECT_EQ(profile_attach_video_encoder("p", "T-VEConf-stream4"), 0);
  EXPECT_EQ(profile_detach_video_encoder("p"), 0);
  EXPECT_EQ(venc_use_count(4), 0);
  EXPECT_EQ(profile_detach_video_encoder("p"), -1);
  EXPECT_EQ(profile_attach_video_encoder("nobody", "T-VEConf-stream1"), -1);
  EXPECT_EQ(venc_use_count(1), 0);
}

TEST_F(ProfileStore, SourcesCountOnceAndEncodersReplace) {
  profile_create("p", "p");
  profile_create("q", "q");
  profile_attach_video_source("p", "T-VSConf-00");
  profile_attach_video_source("p", "other");
  EXPECT_EQ(vsc_use_count, 1);
  EXPECT_EQ(*profile_table[0].video_source_token, "T-VSConf-00");
  profile_attach_audio_source("p", "T-ASConf-00");
  profile_attach_audio_source("q", "T-ASConf-00");
  EXPECT_EQ(asc_use_count, 2);
  profile_attach_audio_encoder("p", "T-AEConf-00");
  profile_attach_audio_encoder("p", "T-AEConf-01");
  EXPECT_EQ(aec_use_count, 1);
  // Detach touches only its own kind.
  EXPECT_EQ(profile_detach_audio_source("p"), 0);
  EXPECT_EQ(asc_use_count, 1);
  EXPECT_EQ(vsc_use_count, 1);
  EXPECT_EQ(profile_detach_audio_source("p"), -1);
  EXPECT_EQ(asc_use_count, 1);
  EXPECT_EQ(profile_detach_video_source("stream1"), -1);
}

TEST_F(ProfileStore, DeleteReleasesEveryHeldTokenAndFreesTheSlot) {
  profile_create("p", "p");
  profile_attach_video_source("p", "v");
  profile_attach_video_encoder("p", "T-VEConf-stream3");
  profile_attach_audio_source("p", "a");
  profile_attach_audio_encoder("p", "e");
  ASSERT_EQ(profile_delete("p"), 0);
  EXPECT_EQ(vsc_use_count, 0);
  EXPECT_EQ(asc_use_count, 0);
  EXPECT_EQ(aec_use_count, 0);
  EXPECT_EQ(venc_use_count(3), 0);
  EXPECT_FALSE(profile_table[0].in_use);
  EXPECT_FALSE(profile_table[0].video_source_token.has_value());
  // A new profile in that slot starts with nothing attached.
  profile_create("n", "n");
  char vs[32] = "x", ve[32] = "y";
  EXPECT_EQ(profile_get_video_tokens("n", vs, sizeof vs, ve, sizeof ve), 0);
  EXPECT_STREQ(vs, "");
  EXPECT_STREQ(ve, "");
}

TEST_F(ProfileStore, VideoTokensAreCutToTheirBuffers) {
  profile_create("p", "p");
  profile_attach_video_source("p", "0123456789");
  profile_attach_video_encoder("p", "T-VEConf-stream2");
  char vs[5], ve[32];
  EXPECT_EQ(profile_get_video_tokens("p", vs, sizeof vs, ve, sizeof ve), 0);
  EXPECT_STREQ(vs, "0123");
  EXPECT_STREQ(ve, "T-VEConf-stream2");
  EXPECT_EQ(profile_get_video_tokens("q", vs, sizeof vs, ve, sizeof ve), -2);
}

TEST_F(ProfileStore, ProfileToStreamReadsTheRequestBodyAndAsksTheStore) {
  auto stream_of = [](const std::string& value) {
    return profile_to_stream("<s:Body><trt:ProfileToken>" + value + "</trt:ProfileToken></s:Body>",
                             "ProfileToken");
  };
  EXPECT_EQ(stream_of("stream2"), 2);
  EXPECT_EQ(stream_of("xx-T-VEConf-stream2-yy"), 2);
  EXPECT_EQ(stream_of("stream4"), 4);
  EXPECT_EQ(stream_of("stream1stream2"), 1);  // tested in order 1..4
  EXPECT_EQ(stream_of("stream5"), -1);
  profile_create("Mine", "mine");
  EXPECT_EQ(stream_of("mine"), 1);   // a created profile's exact token
  EXPECT_EQ(stream_of("Mine"), -1);  // its name is not its token
  EXPECT_EQ(stream_of("min"), -1);
  EXPECT_EQ(profile_to_stream("<s:Body><trt:ProfileToken>stream2</trt:ProfileToken></s:Body>",
                              "ConfigurationToken"),
            -1);
  // Only 31 characters are read: "stream2" beyond them is not seen.
  EXPECT_EQ(stream_of(std::string(30, 'x') + "stream2"), -1);
}

// Every change to a profile, made through either media service, tells the event subscribers
// its token; what changes nothing tells nothing.
TEST_F(ProfileStore, ChangesRaiseProfileChanged) {
  testing::MediaEventWatch watch;
  const int changes[] = {profile_create("n", "P"),                         // raises
                         profile_create("m", "P"),                         // exists: nothing
                         profile_attach_video_source("P", "T-VSConf-00"),  // raises
                         profile_attach_video_source("P", "T-VSConf-00"),  // held already: nothing
                         profile_attach_metadata("P", "T-MetadataConf-00"),
                         profile_attach_metadata("Q", "x"),
                         profile_rename("P", "o"),
                         profile_rename("P", "o"),
                         profile_detach_metadata("P"),
                         profile_detach_metadata("P"),
                         profile_delete("P"),
                         profile_delete("P")};
  EXPECT_EQ(std::vector<int>(std::begin(changes), std::end(changes)),
            (std::vector<int>{0, 0, 0, 0, 0, -1, 0, 0, 0, -1, 0, -1}));
  EXPECT_EQ(watch.take(), std::vector<std::string>(6, "ProfileChanged:P"));
}

}  // namespace
}  // namespace nvtd
