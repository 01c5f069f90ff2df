// The named-placeholder fill: names, mismatch reports and the buffer cut.
#include "nvtd/soap/named_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nvtd {
namespace {

using Names = std::vector<std::string>;

TEST(NamedFormat, FillsByNameReportsMismatchesAndCutsAtTheBound) {
  struct Case {
    const char* text;
    std::initializer_list<NamedValue> values;
    const char* filled;
    Names unfilled, unused;
  };
  const std::string nul_inside("ab\0cd", 5);
  const Case cases[] = {
      {"http://{address}:{port}/x={index}&{index}",
       {{"address", "10.0.0.1"}, {"port", 80}, {"index", -7}},
       "http://10.0.0.1:80/x=-7&-7",
       {},
       {}},
      // Only {lower_case_0} is a placeholder; a value is never read for placeholders.
      {"{ {} {A} {a b} %d {v}", {{"v", "{v}%s"}}, "{ {} {A} {a b} %d {v}%s", {}, {}},
      {"<{tag}>{missing}</{tag}>",
       {{"tag", "a"}, {"spare", 1}},
       "<a>{missing}</a>",
       {"missing"},
       {"spare"}},
      {"[{t}]", {{"t", nul_inside}}, "[ab]", {}, {}},
  };
  for (const Case& c : cases) {
    FilledText out = fill_named(c.text, c.values, kResponseBufferSize);
    EXPECT_EQ(out.text, c.filled) << c.text;
    EXPECT_EQ(out.unfilled, c.unfilled) << c.text;
    EXPECT_EQ(out.unused, c.unused) << c.text;
  }

  // Cut like a printf into a buffer of that many bytes: at most one character less.
  std::string value(kResponseBufferSize, 'v');
  EXPECT_EQ(named_text("<{v}>", {{"v", value}}).size(), kResponseBufferSize - 1);
  EXPECT_EQ(named_text("{v}", {{"v", value.substr(0, kResponseBufferSize - 1)}}),
            value.substr(0, kResponseBufferSize - 1));
  EXPECT_EQ(named_text("<{v}>", {{"v", "x"}}, 3), "<x");
}

}  // namespace
}  // namespace nvtd
