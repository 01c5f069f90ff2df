// Escaping of echoed request values and file texts.
#include "nvtd/soap/xml_text.h"

#include <gtest/gtest.h>

namespace nvtd {
namespace {

TEST(XmlSafe, EscapesMarkupAndKeepsTheRequestsOwnReferences) {
  EXPECT_EQ(xml_safe("stream1"), "stream1");
  EXPECT_EQ(xml_safe("uuid:1234-abcd"), "uuid:1234-abcd");
  EXPECT_EQ(xml_safe("<+04>-4"), "&lt;+04&gt;-4");
  EXPECT_EQ(xml_safe("a\"b<c>'d"), "a&quot;b&lt;c&gt;&apos;d");
  EXPECT_EQ(xml_safe("x&amp;y&#65;&#x42;"), "x&amp;y&#65;&#x42;");
  EXPECT_EQ(xml_safe("a&amp;b&#60;c&#x3C;d"), "a&amp;b&#60;c&#x3C;d");
}

TEST(XmlSafe, EscapesAnAmpersandThatStartsNoUsableReference) {
  // A reference cut by the 31-character read, a bare one, empty ones, an unknown name (no DTD
  // declares it) and a character XML does not allow.
  EXPECT_EQ(xml_safe("tail&am"), "tail&amp;am");
  EXPECT_EQ(xml_safe("a & b &am"), "a &amp; b &amp;am");
  EXPECT_EQ(xml_safe("&#;&#x;&;"), "&amp;#;&amp;#x;&amp;;");
  EXPECT_EQ(xml_safe("&nbsp;"), "&amp;nbsp;");
  EXPECT_EQ(xml_safe("&#0;"), "&amp;#0;");
}

TEST(XmlSafe, ReplacesControlCharactersXmlDoesNotAllow) {
  EXPECT_EQ(xml_safe(std::string("a\0b\x01", 4)), "a?b?");
  EXPECT_EQ(xml_safe(std::string("a\x01\tb\x7f", 5)), "a?\tb\x7f");
  EXPECT_EQ(xml_safe("tab\there\r\n"), "tab\there\r\n");
}

}  // namespace
}  // namespace nvtd
