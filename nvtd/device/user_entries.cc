// Walks repeated elements by their start and matching end tags ("</User>" or "</p:User>"), so
// a value is read inside its own entry and never cut, and decodes XML character references in
// passwords (the digest a client computes is over the decoded password).
#include "nvtd/device/user_entries.h"

#include <cstdint>
#include <cstdlib>
#include <optional>

#include "nvtd/soap/element_reader.h"

namespace nvtd {
namespace {

// Where the end tag of an element with local name `name` starts, at or after `from`, or npos.
std::size_t end_tag_at(std::string_view text, std::size_t from, std::string_view name) {
  for (std::size_t pos = text.find("</", from); pos != std::string_view::npos;
       pos = text.find("</", pos + 2)) {
    std::size_t close = text.find('>', pos);
    if (close == std::string_view::npos) return close;
    std::string_view tag = text.substr(pos + 2, close - pos - 2);
    std::size_t colon = tag.rfind(':');
    if ((colon == std::string_view::npos ? tag : tag.substr(colon + 1)) == name) return pos;
  }
  return std::string_view::npos;
}

// The contents of the elements with local name `name`, in order; an element without its end
// tag ends the walk, a self-closing one has empty content.
std::vector<std::string_view> contents(std::string_view text, std::string_view name) {
  std::vector<std::string_view> found;
  std::size_t pos = 0;
  ElementSpan span;
  while (pos < text.size() && find_element(text.substr(pos), name, &span)) {
    std::size_t begin = pos + span.value_begin;
    if (text[begin - 2] == '/') {  // "<User ... />"
      found.push_back(std::string_view());
      pos = begin;
      continue;
    }
    std::size_t end = end_tag_at(text, begin, name);
    if (end == std::string_view::npos) break;
    found.push_back(text.substr(begin, end - begin));
    pos = end + 2;
  }
  return found;
}

void append_utf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

// One reference's text between "&" and ";" as the character it stands for.
std::optional<std::string> reference(std::string_view ref) {
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
  for (const auto& [entity, c] : kNamed) {
    if (ref == entity) return std::string(1, c);
  }
  if (ref.size() < 2 || ref[0] != '#' || ref.size() > 10) return std::nullopt;
  bool hex = ref[1] == 'x';
  std::string digits(ref.substr(hex ? 2 : 1));
  if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") !=
                            std::string::npos) {
    return std::nullopt;
  }
  unsigned long c = std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10);
  if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
  std::string out;
  append_utf8(out, std::uint32_t(c));
  return out;
}

std::optional<std::string> decoded(std::string_view raw) {
  std::string out;
  for (std::size_t pos = 0; pos < raw.size();) {
    std::size_t amp = raw.find_first_of("&<", pos);
    if (amp == std::string_view::npos) amp = raw.size();
    out.append(raw.substr(pos, amp - pos));
    if (amp == raw.size()) break;
    std::size_t semi = raw.find(';', amp);
    if (raw[amp] == '<' || semi == std::string_view::npos) return std::nullopt;
    std::optional<std::string> c = reference(raw.substr(amp + 1, semi - amp - 1));
    if (!c) return std::nullopt;
    out += *c;
    pos = semi + 1;
  }
  return out;
}

// The one value of element `name` in an entry, or nullopt when the entry has none.
std::optional<std::string_view> value(std::string_view entry, std::string_view name) {
  std::vector<std::string_view> found = contents(entry, name);
  if (found.empty()) return std::nullopt;
  return found.front();
}

}  // namespace

AccountRefusal read_user_entries(std::string_view body, std::vector<AccountEntry>* entries) {
  entries->clear();
  for (std::string_view entry : contents(body, "User")) {
    auto name = value(entry, "Username");
    auto level = value(entry, "UserLevel");
    auto password = value(entry, "Password");
    if (!name || !level) return AccountRefusal::kValueInvalid;
    AccountEntry out{std::string(*name), std::nullopt, std::string(*level)};
    if (password) {
      out.password = decoded(*password);
      if (!out.password) return AccountRefusal::kValueInvalid;
    }
    entries->push_back(std::move(out));
  }
  return AccountRefusal::kNone;
}

std::vector<std::string> read_user_names(std::string_view body) {
  std::vector<std::string> names;
  for (std::string_view name : contents(body, "Username")) names.emplace_back(name);
  return names;
}

}  // namespace nvtd
