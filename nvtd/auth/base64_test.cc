#include "nvtd/auth/base64.h"

#include <gtest/gtest.h>

namespace nvtd {
namespace {

TEST(Base64, EncodesTheStandardVectorsWithPadding) {
  EXPECT_EQ(base64_encode(""), "");
  EXPECT_EQ(base64_encode("f"), "Zg==");
  EXPECT_EQ(base64_encode("fo"), "Zm8=");
  EXPECT_EQ(base64_encode("foo"), "Zm9v");
  EXPECT_EQ(base64_encode("foobar"), "Zm9vYmFy");
  EXPECT_EQ(base64_encode(std::string("\xff\xfe\x00", 3)), "//4A");
}

TEST(Base64, EncodeRefusesAShortBuffer) {
  char out[8];
  const unsigned char in[] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(base64_encode(out, 8, in, 6), -1);  // 8 characters need 9 bytes with the NUL
  char fits[9];
  EXPECT_EQ(base64_encode(fits, 9, in, 6), 8);
  EXPECT_STREQ(fits, "AQIDBAUG");
}

TEST(Base64, DecodeCountsWholeBytesOfTheCharactersGiven) {
  unsigned char out[16];
  EXPECT_EQ(base64_decode(out, sizeof out, "Zm9v", 4), 3);
  EXPECT_EQ(base64_decode(out, sizeof out, "Zm8=", 4), 2);  // stops at "="
  EXPECT_EQ(base64_decode(out, sizeof out, "Zm", 2), 1);
  EXPECT_EQ(out[0], 'f');
  EXPECT_EQ(base64_decode(out, sizeof out, "Z", 1), 0);
  EXPECT_EQ(base64_decode(out, sizeof out, "Zm9vYmFy", 5), 3);  // up to n characters only
}

TEST(Base64, DecodeStopsAtTheFirstCharacterOutsideTheAlphabet) {
  EXPECT_EQ(base64_decode("Zm9v YmFy"), "foo");
  EXPECT_EQ(base64_decode("Zm9v\nYmFy"), "foo");
  EXPECT_EQ(base64_decode("*Zm9v"), "");
}

TEST(Base64, StrictDecodeTakesTheOneCanonicalSpellingOnly) {
  struct Case {
    const char* text;
    const char* bytes;  // nullptr: refused
  };
  const Case cases[] = {
      {"Zm9v", "foo"},    {"Zm8=", "fo"},      {"Zg==", "f"},      {"", ""},
      {"Zm9v=", nullptr}, {"Zm9v==", nullptr}, {"Zm8", nullptr},   {"Zm8==", nullptr},
      {"Zg=", nullptr},   {"Zh==", nullptr},   {"Zm9=", nullptr},  {"Z===", nullptr},
      {"Zm9v!", nullptr}, {"Zm9v A", nullptr}, {" Zm9v", nullptr}, {"Zm9v~1", nullptr},
      {"Zm=v", nullptr},  {"Zm9v\n", nullptr}, {"Zm-_", nullptr},
  };
  for (const Case& c : cases) {
    std::optional<std::string> got = base64_decode_strict(c.text);
    EXPECT_EQ(got.has_value(), c.bytes != nullptr) << c.text;
    EXPECT_EQ(got.value_or("-"), c.bytes ? c.bytes : "-") << c.text;
  }
}

TEST(Base64, DecodeNeverWritesPastItsBuffer) {
  unsigned char out[3];
  EXPECT_EQ(base64_decode(out, sizeof out, "Zm9vYmFy", 8), 2);  // two bytes and the NUL
  EXPECT_EQ(out[2], 0);
}

TEST(Base64, RoundTripsEveryByteValue) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += char(i);
  EXPECT_EQ(base64_decode(base64_encode(all)), all);
}

}  // namespace
}  // namespace nvtd
