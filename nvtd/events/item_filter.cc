// The ItemFilter message-content filter (see item_filter.h).
#include "nvtd/events/item_filter.h"

#include <cctype>
#include <string_view>

#include "nvtd/soap/envelope.h"

namespace nvtd {
namespace {

using Op = ItemFilter::Op;
using Step = ItemFilter::Step;

constexpr char kSchemaNamespace[] = NS_TT;

std::string trimmed(std::string_view text) {
  size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string_view::npos) return {};
  size_t end = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(begin, end - begin + 1));
}

// The request's text with the predefined entities read (&quot; for a quote and so on); false
// for any other reference.
bool decode_entities(std::string_view raw, std::string* text) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&quot;", '"'}, {"&apos;", '\''}, {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}};
  text->clear();
  for (size_t at = 0; at < raw.size();) {
    if (raw[at] != '&') {
      text->push_back(raw[at++]);
      continue;
    }
    bool known = false;
    for (const auto& [name, c] : kEntities) {
      if (raw.compare(at, name.size(), name) != 0) continue;
      text->push_back(c);
      at += name.size();
      known = true;
      break;
    }
    if (!known) return false;
  }
  return true;
}

// Whether a prefix is bound to the ONVIF schema namespace (an undeclared one is taken as bound).
bool prefix_is_schema(std::string_view prefix, const std::string& body) {
  for (char quote : {'"', '\''}) {
    std::string declaration = "xmlns:" + std::string(prefix) + "=" + quote;
    size_t at = body.find(declaration);
    if (at == std::string::npos) continue;
    size_t start = at + declaration.size();
    size_t end = body.find(quote, start);
    return end != std::string::npos && body.compare(start, end - start, kSchemaNamespace) == 0;
  }
  return true;
}

bool name_char(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.';
}

// A descent over the expression that writes the postfix steps; every bracket level costs one
// of kItemFilterMaxDepth, so the descent is as deep as that at most.
class Reader {
 public:
  Reader(std::string_view text, const std::string& body) : text_(text), body_(body) {}

  bool read(std::vector<Step>* steps) {
    if (!expression(0) || (skip(), at_ != text_.size())) return false;
    *steps = std::move(steps_);
    return true;
  }

 private:
  void skip() {
    while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
  }
  bool accept(std::string_view token) {
    skip();
    if (text_.compare(at_, token.size(), token) != 0) return false;
    at_ += token.size();
    return true;
  }
  // A whole word (not the start of a longer name).
  bool accept_word(std::string_view word) {
    skip();
    size_t end = at_ + word.size();
    if (text_.compare(at_, word.size(), word) != 0) return false;
    if (end < text_.size() && name_char(text_[end])) return false;
    at_ = end;
    return true;
  }
  std::string_view name() {
    size_t start = at_;
    while (at_ < text_.size() && name_char(text_[at_])) ++at_;
    return text_.substr(start, at_ - start);
  }
  bool emit(Op op, std::string text = {}) {
    if (steps_.size() >= kItemFilterMaxSteps) return false;
    steps_.push_back(Step{op, std::move(text), 0});
    return true;
  }

  // Either level of "or" and "and": the expression's (test false) or an item test's (test true).
  bool disjunction(int depth, bool test) {
    if (!conjunction(depth, test)) return false;
    while (accept_word("or")) {
      if (!conjunction(depth, test) || !emit(Op::kOr)) return false;
    }
    return true;
  }
  bool conjunction(int depth, bool test) {
    if (!(test ? comparison(depth) : factor(depth))) return false;
    while (accept_word("and")) {
      if (!(test ? comparison(depth) : factor(depth)) || !emit(Op::kAnd)) return false;
    }
    return true;
  }
  bool expression(int depth) { return disjunction(depth, false); }

  // "(" inner ")" or "not" "(" inner ")", one level deeper; false when neither starts here.
  bool bracketed(int depth, bool test, bool* matched) {
    bool negated = accept_word("not");
    *matched = negated || accept("(");
    if (!*matched) return false;
    if (negated && !accept("(")) return false;
    if (depth + 1 >= kItemFilterMaxDepth || !disjunction(depth + 1, test) || !accept(")"))
      return false;
    return !negated || emit(Op::kNot);
  }

  bool factor(int depth) {
    bool matched = false;
    bool ok = bracketed(depth, false, &matched);
    if (matched) return ok;
    if (!accept_word("boolean") || !accept("(") || !accept("//")) return false;
    std::string_view item = name();
    if (at_ < text_.size() && text_[at_] == ':') {
      if (item.empty() || !prefix_is_schema(item, body_)) return false;
      ++at_;
      item = name();
    }
    Op any = item == "SimpleItem" ? Op::kAnySimple : Op::kAnyElement;
    if ((item != "SimpleItem" && item != "ElementItem") || !emit(any)) return false;
    size_t head = steps_.size() - 1;
    if (depth + 1 >= kItemFilterMaxDepth || !accept("[") || !disjunction(depth + 1, true) ||
        !accept("]") || !accept(")"))
      return false;
    steps_[head].end = steps_.size();
    return true;
  }

  bool comparison(int depth) {
    bool matched = false;
    bool ok = bracketed(depth, true, &matched);
    if (matched) return ok;
    Op op = Op::kName;
    if (accept("@Value")) {
      op = Op::kValue;
    } else if (!accept("@Name")) {
      return false;
    }
    if (!accept("=")) return false;
    skip();
    if (at_ >= text_.size() || (text_[at_] != '"' && text_[at_] != '\'')) return false;
    size_t close = text_.find(text_[at_], at_ + 1);
    if (close == std::string_view::npos) return false;
    std::string literal(text_.substr(at_ + 1, close - at_ - 1));
    at_ = close + 1;
    return emit(op, std::move(literal));
  }

  std::string_view text_;
  const std::string& body_;
  size_t at_ = 0;
  std::vector<Step> steps_;
};

// Runs the postfix steps over a results stack. A test's steps are run by its kAny step for each
// item in turn and then skipped, so the loops never nest deeper than that.
bool run(const std::vector<Step>& steps, const std::vector<MessageItem>& items) {
  std::vector<bool> results;
  results.reserve(steps.size());
  auto combine = [&results](Op op) {
    bool right = results.back();
    results.pop_back();
    results.back() = op == Op::kAnd ? (results.back() && right) : (results.back() || right);
  };
  for (size_t i = 0; i < steps.size();) {
    const Step& step = steps[i];
    if (step.op == Op::kAnd || step.op == Op::kOr) {
      combine(step.op);
    } else if (step.op == Op::kNot) {
      results.back() = !results.back();
    } else if (step.op == Op::kAnySimple || step.op == Op::kAnyElement) {
      bool any = false;
      for (size_t k = 0; step.op == Op::kAnySimple && k < items.size() && !any; ++k) {
        std::vector<bool> test;
        for (size_t t = i + 1; t < step.end; ++t) {
          const Step& s = steps[t];
          if (s.op == Op::kName || s.op == Op::kValue) {
            test.push_back((s.op == Op::kName ? items[k].name : items[k].value) == s.text);
          } else if (s.op == Op::kNot) {
            test.back() = !test.back();
          } else {
            bool right = test.back();
            test.pop_back();
            test.back() = s.op == Op::kAnd ? (test.back() && right) : (test.back() || right);
          }
        }
        any = test.size() == 1 && test.back();
      }
      results.push_back(any);
      i = step.end;
      continue;
    }
    ++i;
  }
  return results.size() == 1 && results.back();
}

}  // namespace

ItemFilterRead ItemFilter::read(const std::string& dialect, const std::string& expression,
                                const std::string& request_body, ItemFilter* filter) {
  if (trimmed(dialect) != kItemFilterDialect) return ItemFilterRead::kUnknownDialect;
  std::string text;
  if (expression.size() > kItemFilterMaxLength || !decode_entities(expression, &text))
    return ItemFilterRead::kInvalidExpression;
  std::vector<Step> steps;
  if (!Reader(text, request_body).read(&steps)) return ItemFilterRead::kInvalidExpression;
  filter->steps_ = std::move(steps);
  return ItemFilterRead::kOk;
}

bool ItemFilter::matches(const std::vector<MessageItem>& items) const {
  return steps_.empty() || run(steps_, items);
}

}  // namespace nvtd
