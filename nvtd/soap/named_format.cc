// Reply templates filled by name (see named_format.h).
#include "nvtd/soap/named_format.h"

#include <algorithm>
#include <cstdio>

namespace nvtd {
namespace {

bool is_name_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// The name of a placeholder starting at text[at] ('{'), or empty when none starts there.
std::string_view placeholder_at(std::string_view text, std::size_t at) {
  std::size_t end = at + 1;
  while (end < text.size() && is_name_char(text[end])) ++end;
  if (end == at + 1 || end >= text.size() || text[end] != '}') return {};
  return text.substr(at + 1, end - at - 1);
}

void report_to_stderr(std::string_view text, const FilledText& filled) {
  std::string names;
  for (const std::string& name : filled.unfilled) names += " unfilled {" + name + "}";
  for (const std::string& name : filled.unused) names += " unused " + name;
  std::fprintf(stderr, "nvtd: template \"%.40s\":%s\n", std::string(text).c_str(), names.c_str());
}

NamedMismatchReporter mismatch_reporter = report_to_stderr;

}  // namespace

NamedValue::NamedValue(std::string_view name, const char* text)
    : name(name), text(text != nullptr ? text : "(null)") {}

NamedValue::NamedValue(std::string_view name, const std::string& text)
    : name(name), text(text.c_str()) {}

NamedValue::NamedValue(std::string_view name, int number)
    : name(name), text(std::to_string(number)) {}

FilledText fill_named(std::string_view text, std::initializer_list<NamedValue> values,
                      std::size_t buffer_size) {
  FilledText filled;
  std::vector<bool> used(values.size(), false);
  std::size_t start = 0;
  for (std::size_t at = text.find('{'); at != std::string_view::npos; at = text.find('{', at)) {
    std::string_view name = placeholder_at(text, at);
    if (name.empty()) {
      ++at;
      continue;
    }
    auto value = std::find_if(values.begin(), values.end(),
                              [name](const NamedValue& v) { return v.name == name; });
    if (value == values.end()) {
      filled.unfilled.emplace_back(name);
      at += name.size() + 2;
      continue;
    }
    used[std::size_t(value - values.begin())] = true;
    filled.text.append(text.substr(start, at - start));
    filled.text.append(value->text);
    at += name.size() + 2;
    start = at;
  }
  filled.text.append(text.substr(start));
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (!used[i]) filled.unused.emplace_back(values.begin()[i].name);
  }
  // The bound of a printf into a buffer of buffer_size bytes: the rest is cut.
  if (buffer_size > 0 && filled.text.size() > buffer_size - 1) filled.text.resize(buffer_size - 1);
  return filled;
}

std::string named_text(std::string_view text, std::initializer_list<NamedValue> values,
                       std::size_t buffer_size) {
  FilledText filled = fill_named(text, values, buffer_size);
  if (!filled.unfilled.empty() || !filled.unused.empty()) mismatch_reporter(text, filled);
  return std::move(filled.text);
}

NamedMismatchReporter set_named_mismatch_reporter(NamedMismatchReporter reporter) {
  NamedMismatchReporter previous = mismatch_reporter;
  mismatch_reporter = reporter;
  return previous;
}

}  // namespace nvtd
