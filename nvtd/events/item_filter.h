// The message-content filter of a subscription: ONVIF's ItemFilter dialect, a small XPath
// subset that tests the tt:SimpleItem and tt:ElementItem items of a message by name and value:
//   Expression := 'boolean' '(' Path ')' | Expression 'and' Expression
//               | Expression 'or' Expression | '(' Expression ')' | 'not' '(' Expression ')'
//   Path       := '//' [prefix ':'] ('SimpleItem' | 'ElementItem') '[' Test ']'
//   Test       := ('@Name' | '@Value') '=' literal | Test 'and' Test | Test 'or' Test
//               | '(' Test ')' | 'not' '(' Test ')'
// "and" binds tighter than "or", both from the left; a literal is quoted with " or '. The
// prefix must be bound to the ONVIF schema namespace where the request declares it. The text
// is read once into a flat program (no recursion when a message is tested) within fixed
// bounds of length, nesting and steps; anything else is refused.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace nvtd {

constexpr char kItemFilterDialect[] =
    "http://www.onvif.org/ver10/tev/messageContentFilter/ItemFilter";

// The longest expression read, the deepest nesting of brackets, and the most steps.
constexpr std::size_t kItemFilterMaxLength = 1024;
constexpr int kItemFilterMaxDepth = 8;
constexpr std::size_t kItemFilterMaxSteps = 64;

// One tt:SimpleItem of a message (the messages of this camera carry no ElementItem).
struct MessageItem {
  std::string name;
  std::string value;
};

enum class ItemFilterRead { kOk, kUnknownDialect, kInvalidExpression };

class ItemFilter {
 public:
  // Without a filter every message passes.
  ItemFilter() = default;

  // Reads an expression of the dialect; request_body is where its prefix is declared. On any
  // result but kOk *filter is left as it was.
  static ItemFilterRead read(const std::string& dialect, const std::string& expression,
                             const std::string& request_body, ItemFilter* filter);

  // Whether a message with these items passes.
  bool matches(const std::vector<MessageItem>& items) const;
  bool empty() const { return steps_.empty(); }

  enum class Op : unsigned char {
    kName,        // the item's Name equals text
    kValue,       // the item's Value equals text
    kAnd,         // the last two results
    kOr,          // the last two results
    kNot,         // the last result
    kAnySimple,   // any SimpleItem passes the test up to step `end`
    kAnyElement,  // any ElementItem passes it (none do here)
  };
  struct Step {
    Op op = Op::kAnd;
    std::string text;     // kName, kValue
    std::size_t end = 0;  // kAnySimple, kAnyElement: the index just past the test
  };

 private:
  std::vector<Step> steps_;  // postfix, a test's steps following its kAny step
};

}  // namespace nvtd
