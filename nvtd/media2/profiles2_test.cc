// Media2's profile operations, called directly: the answers and faults of a sequence of
// changes over the shared store, on a camera without audio (the e2e module has one with it).
#include "nvtd/media2/profiles2.h"

#include <gtest/gtest.h>

#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"
#include "nvtd/media/profile_store.h"

namespace nvtd {
namespace {

std::string ref(const char* type, const char* token) {
  return std::string("<Configuration><Type>") + type + "</Type><Token>" + token +
         "</Token></Configuration>";
}

TEST(Profiles2, ChangesAndFaultsWithoutAudio) {
  profile_store_reset();
  HwAudio = false;
  const std::string vs = ref("VideoSource", "T-VSConf-00");
  struct Step {
    Handler handler;
    std::string body;
    const char* expected;
  } steps[] = {
      {handle_create_profile2, "<Name>a</Name>" + vs, "<tr2:Token>profile_1</tr2:Token>"},
      {handle_create_profile2, "<Name>b</Name>" + ref("AudioSource", "T-ASConf-00"),
       "ter:NoConfig"},
      {handle_create_profile2, "<Name>b</Name>" + ref("Metadata", "T-MetadataConf-00"),
       "ter:ConfigurationConflict"},
      {handle_add_configuration2,
       "<ProfileToken>profile_1</ProfileToken><Name>z</Name>" + ref("All", "x") +
           ref("Metadata", "T-MetadataConf-00"),
       "<tr2:AddConfigurationResponse>"},
      {handle_get_profiles2, "<Token>profile_1</Token><Type>All</Type>",
       "<tr2:Name>z</tr2:Name><tr2:Configurations><tr2:VideoSource token=\"T-VSConf-00\">"},
      {handle_get_profiles2, "<Type>All</Type>", "</tr2:VideoSource><tr2:VideoEncoder "},
      {handle_remove_configuration2, "<ProfileToken>stream1</ProfileToken>" + vs,
       "ter:ConfigurationConflict"},
      {handle_delete_profile2, "<Token>stream1</Token>", "ter:DeletionOfFixedProfile"},
      {handle_delete_profile2, "<Token>profile_1</Token>", "<tr2:DeleteProfileResponse>"},
      {handle_delete_profile2, "<Token>profile_1</Token>", "ter:NoProfile"},
  };
  for (const Step& step : steps) {
    OutputCapture out;
    step.handler(request_with_body("<Body>" + step.body + "</Body>"), out.reply());
    std::string text = out.take();
    EXPECT_NE(text.find(step.expected), std::string::npos) << step.body << "\n" << text;
    EXPECT_EQ(text.find("AudioSource token"), std::string::npos) << text;
  }
  HwAudio = true;
}

}  // namespace
}  // namespace nvtd
