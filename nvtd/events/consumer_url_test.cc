// Push consumer addresses.
#include "nvtd/events/consumer_url.h"

#include <gtest/gtest.h>

namespace nvtd {
namespace {

TEST(ConsumerUrl, HostPortAndPath) {
  ConsumerSpec c;
  ASSERT_TRUE(parse_consumer_address("http://10.1.2.3:8080/onvif/notify", &c));
  EXPECT_EQ(c.host, "10.1.2.3");
  EXPECT_EQ(c.port, 8080);
  EXPECT_EQ(c.path, "/onvif/notify");
  EXPECT_EQ(c.address, "http://10.1.2.3:8080/onvif/notify");
}

TEST(ConsumerUrl, PortDefaultsTo80AndNamesGiveNoHost) {
  ConsumerSpec c;
  ASSERT_TRUE(parse_consumer_address("http://10.1.2.3/notify", &c));
  EXPECT_EQ(c.port, 80);
  EXPECT_EQ(c.path, "/notify");
  ASSERT_TRUE(parse_consumer_address("http://client.example:81/x", &c));
  EXPECT_EQ(c.host, "");
  EXPECT_EQ(c.port, 80);
  EXPECT_FALSE(parse_consumer_address("https://10.1.2.3/", &c));
}

TEST(ConsumerUrl, LongValuesAreCut) {
  ConsumerSpec c;
  std::string path(200, 'p');
  ASSERT_TRUE(parse_consumer_address("http://1111111111.2222222222.3333333333.44/" + path, &c));
  EXPECT_EQ(c.host.size(), 31u);
  EXPECT_EQ(c.address.size(), 127u);
  EXPECT_EQ(c.path.size(), 63u);
}

}  // namespace
}  // namespace nvtd
