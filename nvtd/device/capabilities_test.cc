#include "nvtd/device/capabilities.h"

#include <gtest/gtest.h>

#include <string>

#include "nvtd/core/config_test_util.h"
#include "nvtd/core/process_state.h"
#include "nvtd/device/services.h"

namespace nvtd {
namespace {

int count(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + 1)) ++n;
  return n;
}

TEST(CapabilityCategory, FollowsTheCategoryTable) {
  using C = CapabilityCategory;
  const struct {
    std::optional<std::string> value;
    C expected;
  } cases[] = {
      {std::nullopt, C::kAll},
      {"", C::kAll},
      {"All", C::kAll},
      {"Device", C::kDevice},
      {"Media", C::kMedia},
      {"Events", C::kEvents},
      {"Analytics", C::kNoSuchService},
      {"PTZ", C::kNoSuchService},
      {"Imaging", C::kImaging},
      {"all", C::kMismatch},
      {"DEVICE", C::kMismatch},
      {"All ", C::kMismatch},
      {"Device Media", C::kMismatch},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(choose_capability_category(c.value), c.expected) << c.value.value_or("(absent)");
  }
}

TEST(CapabilityBlocks, FullReplyHasTheFiveBlocksInOrderWithThePort) {
  ScopedConfig scoped_config;
  scoped_config.set(&Config::http_port, 8080);
  std::string all = capability_blocks(CapabilityCategory::kAll, "10.0.0.7");
  std::size_t device = all.find("<tt:Device>");
  std::size_t events = all.find("<tt:Events>");
  std::size_t imaging = all.find("<tt:Imaging>");
  std::size_t media = all.find("<tt:Media>");
  std::size_t io = all.find("<tt:DeviceIO>");
  ASSERT_NE(device, std::string::npos);
  EXPECT_LT(device, events);
  EXPECT_LT(events, imaging);
  EXPECT_LT(imaging, media);
  EXPECT_LT(media, io);
  EXPECT_EQ(count(all, "<tt:XAddr>"), 5);
  EXPECT_EQ(count(all, "<tt:XAddr>http://10.0.0.7:8080/onvif/"), 5);
  EXPECT_NE(all.find("http://10.0.0.7:8080/onvif/imaging_service"), std::string::npos);
  EXPECT_NE(all.find("http://10.0.0.7:8080/onvif/deviceio_service"), std::string::npos);
  EXPECT_EQ(count(all, "<tt:SupportedVersions>"), 3);
}

TEST(CapabilityBlocks, SingleCategoriesHaveOnlyTheirBlock) {
  std::string device = capability_blocks(CapabilityCategory::kDevice, "a");
  EXPECT_EQ(count(device, "<tt:XAddr>"), 1);
  EXPECT_NE(device.find("http://a:80/onvif/device_service"), std::string::npos);
  std::string media = capability_blocks(CapabilityCategory::kMedia, "a");
  EXPECT_EQ(count(media, "<tt:XAddr>"), 1);
  EXPECT_NE(media.find("<tt:Media>"), std::string::npos);
  std::string events = capability_blocks(CapabilityCategory::kEvents, "a");
  EXPECT_EQ(count(events, "<tt:XAddr>"), 1);
  EXPECT_NE(events.find("<tt:Events>"), std::string::npos);
  EXPECT_EQ(events.find("<tt:DeviceIO>"), std::string::npos);
}

TEST(CapabilityBlocks, AudioSourcesFollowTheHardwareAndRelaysTheCount) {
  HwAudio = true;
  RelayCount = 0;
  EXPECT_NE(capability_blocks(CapabilityCategory::kAll, "a").find("<tt:AudioSources>1<"),
            std::string::npos);
  HwAudio = false;
  RelayCount = 2;
  std::string all = capability_blocks(CapabilityCategory::kAll, "a");
  EXPECT_NE(all.find("<tt:AudioSources>0<"), std::string::npos);
  EXPECT_EQ(count(all, "<tt:RelayOutputs>2</tt:RelayOutputs>"), 2);
  HwAudio = true;
  RelayCount = 0;
}

TEST(ServiceList, LongFormAddsOneCapabilitiesElementPerService) {
  std::string shorter = service_list("a", false);
  std::string longer = service_list("a", true);
  EXPECT_EQ(count(shorter, "<tds:Service>"), 6);
  EXPECT_EQ(count(shorter, "Capabilities"), 0);
  EXPECT_EQ(count(longer, "<tds:Service>"), 6);
  EXPECT_EQ(count(longer, "<tds:Capabilities>"), 7);  // six wrappers and the device's own
  EXPECT_NE(longer.find("<tds:Namespace>http://www.onvif.org/ver20/imaging/wsdl</tds:Namespace>"
                        "<tds:XAddr>http://a:80/onvif/imaging_service</tds:XAddr>"
                        "<tds:Capabilities><timg:Capabilities "),
            std::string::npos);
  EXPECT_NE(longer.find("<tev:Capabilities "), std::string::npos);
  EXPECT_NE(longer.find("<trt:Capabilities>"), std::string::npos);
  EXPECT_NE(longer.find("<tmd:Capabilities RelayOutputs=\"0\""), std::string::npos);
  // Capabilities sit between XAddr and Version.
  std::size_t xaddr = longer.find("</tds:XAddr>");
  EXPECT_LT(xaddr, longer.find("<tds:Capabilities>"));
  EXPECT_LT(longer.find("<tds:Capabilities>"), longer.find("<tds:Version>"));
  EXPECT_NE(shorter.find("<tt:Major>1</tt:Major><tt:Minor>5</tt:Minor>"), std::string::npos);
  EXPECT_NE(longer.find("<tds:Namespace>http://www.onvif.org/ver20/media/wsdl</tds:Namespace>"
                        "<tds:XAddr>http://a:80/onvif/media2_service</tds:XAddr>"
                        "<tds:Capabilities><tr2:Capabilities xmlns:tr2="),
            std::string::npos);
}

// Media2's profile capabilities: the audio configurations only on a camera with audio.
TEST(ServiceList, Media2CapabilitiesFollowTheHardware) {
  HwAudio = false;
  EXPECT_NE(media2_service_capabilities().find(
                "MaximumNumberOfProfiles=\"7\" ConfigurationsSupported=\"VideoSource "
                "VideoEncoder Metadata\""),
            std::string::npos);
  HwAudio = true;
  EXPECT_EQ(service_for_uri("/onvif/media2_service"), Service::kMedia2);
  EXPECT_EQ(service_for_uri("/onvif/event_service"), Service::kDevice);
}

}  // namespace
}  // namespace nvtd
