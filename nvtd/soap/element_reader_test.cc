#include "nvtd/soap/element_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace nvtd {
namespace {

std::string get(const std::string& text, const char* name, int size = 32) {
  char out[128];
  std::memset(out, 'x', sizeof out);
  const char* r = get_element_text(text.data(), static_cast<int>(text.size()), name, out, size);
  return r ? std::string(r) : std::string("<none>");
}

TEST(ElementReader, FindsNameWhateverThePrefix) {
  EXPECT_EQ(get("<tds:GetCapabilities><tds:Category>Media</tds:Category>", "Category"), "Media");
  EXPECT_EQ(get("<a:b><Category xmlns=\"x\" a='1'>All</Category></a:b>", "Category"), "All");
}

TEST(ElementReader, PassesOverLongerNamesAndSelfClosingTags) {
  EXPECT_EQ(get("<tds:CategoryList>Device</tds:CategoryList>", "Category"), "<none>");
  EXPECT_EQ(get("<tds:Category/>", "Category"), "<none>");
  EXPECT_EQ(get("<tds:Category/><x:CategoryList>a</x:CategoryList><Category>Events</Category>",
                "Category"),
            "Events");
  // A name at the very start has no character before it and does not count; nor does the
  // end tag after it, whose name follows "/".
  EXPECT_EQ(get("Category>x</Category>", "Category"), "<none>");
}

TEST(ElementReader, CutsToSizeMinusOne) {
  EXPECT_EQ(get("<Username>abcdefghijklmnop</Username>", "Username", 12), "abcdefghijk");
  EXPECT_EQ(get("<Username>abc</Username>", "Username", 1), "");
  EXPECT_EQ(get("<Username>abc</Username>", "Username", 0), "<none>");
}

TEST(ElementReader, ValueIsRawTextWithNestedMarkup) {
  EXPECT_EQ(get("<Scopes><tt:Item>a&amp;b</tt:Item></Scopes>", "Scopes", 64),
            "<tt:Item>a&amp;b</tt:Item>");
  EXPECT_EQ(get("<Name></Name>", "Name"), "");
}

TEST(ElementReader, NeverReadsPastTheLength) {
  const std::string text = "<Name>value</Name>";
  char out[32];
  // The end tag lies beyond the length given: no value.
  EXPECT_EQ(get_element_text(text.data(), 12, "Name", out, sizeof out), nullptr);
  // The start tag is not closed within the length.
  EXPECT_EQ(get_element_text(text.data(), 5, "Name", out, sizeof out), nullptr);
  // The character after the name lies beyond the length.
  EXPECT_EQ(get_element_text(text.data(), 4, "Name", out, sizeof out), nullptr);
  EXPECT_STREQ(get_element_text(text.data(), static_cast<int>(text.size()), "Name", out, 32),
               "value");
}

TEST(ElementReader, UnterminatedTruncatedAndBinaryInput) {
  EXPECT_EQ(get("<Name>value", "Name"), "<none>");
  EXPECT_EQ(get("<Name", "Name"), "<none>");
  EXPECT_EQ(get("<Name attr=\"", "Name"), "<none>");
  std::string binary("<Name>a\0b</Name>", 16);
  EXPECT_EQ(get_element_text(binary.data(), 16, "Name", nullptr, 0), nullptr);
  auto value = element_text(binary, "Name", 32);
  ASSERT_TRUE(value);
  EXPECT_EQ(*value, std::string("a\0b", 3));
}

TEST(ElementReader, EndTagWithoutAngleBracketGivesEmptyValue) {
  // The second occurrence of the name is inside the value: stepping back stops at its start.
  EXPECT_EQ(get("<Username>Username1</Username>", "Username"), "");
}

TEST(ElementReader, FindElementReportsTheEndTag) {
  ElementSpan span;
  std::string text = "<x><tt:Username>bob</tt:Username>";
  ASSERT_TRUE(find_element(text, "Username", &span));
  EXPECT_EQ(text.substr(span.value_begin, span.value_end - span.value_begin), "bob");
  EXPECT_EQ(text.substr(span.end_match), "Username>");
}

}  // namespace
}  // namespace nvtd
