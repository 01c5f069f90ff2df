#include "nvtd/media/stream_uri.h"

#include <gtest/gtest.h>

#include <string>

#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"
#include "nvtd/media/profile_to_stream.h"

namespace nvtd {
namespace {

TEST(StreamUri, FormsByProtocol) {
  EXPECT_EQ(stream_uri("RTSP", "10.0.0.7", 2), "rtsp://10.0.0.7/onvif/stream2");
  EXPECT_EQ(stream_uri("UDP", "10.0.0.7", 1), "rtsp://10.0.0.7/onvif/stream1");
  EXPECT_EQ(stream_uri("HTTP", "10.0.0.7", 4), "http://10.0.0.7:82/onvif/stream4");
  EXPECT_EQ(stream_uri("rtsp", "10.0.0.7", 1), "");
  EXPECT_EQ(stream_uri("Http", "10.0.0.7", 1), "");
}

TEST(StreamOfToken, SubstringsFirstThenCreatedProfiles) {
  EXPECT_EQ(stream_of_token("stream1", false), 1);
  EXPECT_EQ(stream_of_token("T-VEConf-stream3", false), 3);
  EXPECT_EQ(stream_of_token("mystream2x", false), 2);
  EXPECT_EQ(stream_of_token("stream4stream2", false), 2);  // tested in order 1..4
  EXPECT_EQ(stream_of_token("MyProfile", true), 1);
  EXPECT_EQ(stream_of_token("MyProfile", false), -1);
  EXPECT_EQ(stream_of_token("", false), -1);
}

class StreamUriHandler : public ::testing::Test {
 protected:
  std::string call(const std::string& inner) {
    Request request = request_with_body("<s:Envelope><s:Body><trt:GetStreamUri>" + inner +
                                        "</trt:GetStreamUri></s:Body></s:Envelope>");
    OutputCapture out;
    handle_get_stream_uri(request, out.reply());
    return out.take();
  }
};

TEST_F(StreamUriHandler, RefusalsAndTheAddressPlaceholder) {
  EXPECT_EQ(call("<trt:ProfileToken>stream1</trt:ProfileToken>"),
            "Content-Type: text/plain\r\n\r\nProtocol not specified\n");
  std::string lower = call(
      "<tt:Protocol>rtsp</tt:Protocol><trt:ProfileToken>stream1"
      "</trt:ProfileToken>");
  EXPECT_EQ(lower.rfind("HTTP/1.0 400 Bad Request\r\n", 0), 0u);
  EXPECT_NE(lower.find("data type mismatch  in element 'Protocol'"), std::string::npos);
  std::string unknown = call(
      "<tt:Protocol>RTSP</tt:Protocol><trt:ProfileToken>nope"
      "</trt:ProfileToken>");
  EXPECT_EQ(unknown.rfind("HTTP/1.0 400 Bad Request\r\n", 0), 0u);
  EXPECT_NE(unknown.find("ter:NoProfile"), std::string::npos);
  // Outside a request's section cache the address is the placeholder.
  std::string ok = call(
      "<tt:Protocol>HTTP</tt:Protocol><trt:ProfileToken>stream2"
      "</trt:ProfileToken>");
  EXPECT_NE(ok.find("<tt:Uri>http://xxx.xxx.xxx.xxx:82/onvif/stream2</tt:Uri>"), std::string::npos);
}

}  // namespace
}  // namespace nvtd
