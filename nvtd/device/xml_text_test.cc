#include "nvtd/device/xml_text.h"

#include <gtest/gtest.h>

namespace nvtd {
namespace {

TEST(XmlSafeText, EscapesMarkupAndKeepsReferences) {
  EXPECT_EQ(xml_safe_text("<+04>-4"), "&lt;+04&gt;-4");
  EXPECT_EQ(xml_safe_text("uuid:1234-abcd"), "uuid:1234-abcd");
  EXPECT_EQ(xml_safe_text("a&amp;b&#60;c&#x3C;d"), "a&amp;b&#60;c&#x3C;d");
  EXPECT_EQ(xml_safe_text("a & b &am"), "a &amp; b &amp;am");
  EXPECT_EQ(xml_safe_text("&#;&#x;&;"), "&amp;#;&amp;#x;&amp;;");
  EXPECT_EQ(xml_safe_text(std::string("a\x01\tb\x7f", 5)), "a\tb\x7f");
}

}  // namespace
}  // namespace nvtd
