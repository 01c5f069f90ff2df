// Push consumer addresses: what is taken, what is refused.
#include "nvtd/events/consumer_url.h"

#include <gtest/gtest.h>

namespace nvtd {
namespace {

TEST(ConsumerUrl, PlainAddressesGiveHostPortAndPath) {
  struct Case {
    const char* text;
    const char* host;
    int port;
    const char* path;
  } cases[] = {
      {"http://10.1.2.3:8080/onvif/notify", "10.1.2.3", 8080, "/onvif/notify"},
      {"http://10.1.2.3/notify", "10.1.2.3", 80, "/notify"},
      {"http://192.168.1.20:65535", "192.168.1.20", 65535, ""},
      {"\n  http://10.1.2.3:1/a/b?x=1&amp;y=%2F~z  \n", "10.1.2.3", 1, "/a/b?x=1&amp;y=%2F~z"},
      {"http://223.255.255.254/", "223.255.255.254", 80, "/"},
  };
  for (const Case& c : cases) {
    ConsumerSpec consumer;
    ASSERT_EQ(read_consumer_address(c.text, "10.99.0.2", &consumer), ConsumerAddress::kAccepted)
        << c.text;
    EXPECT_EQ(consumer.host, c.host) << c.text;
    EXPECT_EQ(consumer.port, c.port) << c.text;
    EXPECT_EQ(consumer.path, c.path) << c.text;
    EXPECT_FALSE(consumer.pull);
  }
}

TEST(ConsumerUrl, InjectionsNamesAndTheCameraItselfAreRefused) {
  const char* refused[] = {
      "http://127.0.0.1:9999/x HTTP/1.1\r\nX-Injected: yes",  // the reported attack
      "http://10.1.2.3/x HTTP/1.1\r\nX-Injected: yes",
      "http://10.1.2.3/a b",
      "http://10.1.2.3/a\tb",
      "http://10.1.2.3/a\x7f",
      "http://10.1.2.3/a\xc3\xa9",
      "http://10.1.2.3/a#frag",
      "http://10.1.2.3/a%2",
      "http://10.1.2.3/a%zz",
      "http://10.1.2.3/<x>",
      "http://10.1.2.3/\"",
      "http://10.1.2.3x/",
      "http://10.1.2.3:0/",
      "http://10.1.2.3:65536/",
      "http://10.1.2.3:123456/",
      "http://10.1.2.3:/",
      "http://10.1.2.3:80x/",
      "http://10.1.2.3?x",
      "x http://10.1.2.3/",
      "http://user@10.1.2.3/",
      "http://010.1.2.3/",
      "http://10.1.2/",
      "http://10.1.2.3.4/",
      "http://[::1]/",
      "http://localhost/",
      "http://localhost.localdomain:80/",
      "http://client.example/",
      "http://127.0.0.1/",
      "http://127.255.0.9:8080/",
      "http://0.0.0.0/",
      "http://0.1.2.3/",
      "http://224.0.0.251/",
      "http://239.255.255.250/",
      "http://240.0.0.1/",
      "http://255.255.255.255/",
      "http://10.99.0.2/notify",
      "http://10.99.0.2:8080/",
      "http://",
      "http:///x",
  };
  for (const char* text : refused) {
    ConsumerSpec consumer;
    EXPECT_EQ(read_consumer_address(text, "10.99.0.2", &consumer), ConsumerAddress::kRefused)
        << text;
  }
  ConsumerSpec consumer;
  EXPECT_EQ(read_consumer_address("https://10.1.2.3/", "", &consumer), ConsumerAddress::kNotHttp);
  EXPECT_EQ(read_consumer_address("10.1.2.3", "", &consumer), ConsumerAddress::kNotHttp);
}

TEST(ConsumerUrl, LongValuesAreCut) {
  ConsumerSpec c;
  std::string path(200, 'p');
  ASSERT_EQ(read_consumer_address("http://10.1.2.3:8080/" + path, "", &c),
            ConsumerAddress::kAccepted);
  EXPECT_EQ(c.address.size(), 127u);
  EXPECT_EQ(c.path.size(), 63u);
}

}  // namespace
}  // namespace nvtd
