// Reading and checking imaging requests without an XML parser: element values by local name,
// the children of ImagingSettings, Focus and the move kinds by a scan of their start tags.
#include "nvtd/imaging/imaging_requests.h"

#include <cmath>
#include <cstdlib>

#include "common/camera_states.h"
#include "nvtd/soap/element_reader.h"

namespace nvtd {
namespace {

// The element's character data up to its own end tag (nested elements counted, so "Focus"
// ends at "</tt:Focus>", not in "AutoFocusMode"), or nullopt when there is no such element.
std::optional<std::string_view> inner_text(std::string_view text, std::string_view name) {
  ElementSpan span;
  if (!find_element(text, name, &span)) return std::nullopt;
  int depth = 0;
  for (std::size_t at = text.find('<', span.value_begin); at != std::string_view::npos;
       at = text.find('<', at + 1)) {
    std::size_t close = text.find('>', at);
    if (close == std::string_view::npos) break;
    std::string_view tag = text.substr(at + 1, close - at - 1);
    if (tag.empty() || tag[0] == '?' || tag[0] == '!') continue;
    if (tag[0] != '/') {
      if (tag.back() != '/') ++depth;
    } else if (depth-- == 0) {
      return text.substr(span.value_begin, at - span.value_begin);
    }
  }
  return std::nullopt;
}

std::string_view trimmed(std::string_view text) {
  std::size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string_view::npos) return {};
  std::size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

// A finite xs:float value, the whole text read.
std::optional<double> float_value(std::string_view text) {
  std::string value(trimmed(text));
  if (value.empty() || value.size() > 32) return std::nullopt;
  char* end = nullptr;
  double number = std::strtod(value.c_str(), &end);
  if (end != value.c_str() + value.size() || !std::isfinite(number)) return std::nullopt;
  return number;
}

// The value of a leaf child, nullopt when the child is missing or holds markup.
std::optional<std::string_view> leaf(std::string_view inner, std::string_view name) {
  auto value = inner_text(inner, name);
  if (!value || value->find('<') != std::string_view::npos) return std::nullopt;
  return trimmed(*value);
}

bool only_children(std::string_view inner, std::initializer_list<std::string_view> allowed) {
  for (const std::string& name : child_names(inner)) {
    bool found = false;
    for (std::string_view a : allowed) found = found || name == a;
    if (!found) return false;
  }
  return true;
}

RequestCheck read_focus_setting(std::string_view focus, SettingsChange* change) {
  if (child_names(focus) != std::vector<std::string>{"AutoFocusMode"}) {
    return RequestCheck::kSettingsInvalid;
  }
  auto mode = leaf(focus, "AutoFocusMode");
  if (mode == std::string_view("AUTO")) {
    change->autofocus = true;
  } else if (mode == std::string_view("MANUAL")) {
    change->autofocus = false;
  } else {
    return RequestCheck::kSettingsInvalid;
  }
  return RequestCheck::kOk;
}

RequestCheck read_relative(std::string_view relative, FocusMoveRequest* move) {
  if (!only_children(relative, {"Distance", "Speed"})) return RequestCheck::kSettingsInvalid;
  auto distance_text = leaf(relative, "Distance");
  auto distance = distance_text ? float_value(*distance_text) : std::nullopt;
  if (!distance || std::fabs(*distance) > kMaxRelativeSteps) {
    return RequestCheck::kSettingsInvalid;
  }
  if (inner_text(relative, "Speed")) {
    auto speed_text = leaf(relative, "Speed");
    auto speed = speed_text ? float_value(*speed_text) : std::nullopt;
    if (!speed || *speed <= 0 || *speed > kMaxSpeed) return RequestCheck::kSettingsInvalid;
  }
  move->kind = FocusMoveRequest::Kind::kRelative;
  move->steps = static_cast<int>(std::lround(*distance));
  return RequestCheck::kOk;
}

RequestCheck read_continuous(std::string_view continuous, FocusMoveRequest* move) {
  if (child_names(continuous) != std::vector<std::string>{"Speed"}) {
    return RequestCheck::kSettingsInvalid;
  }
  auto speed_text = leaf(continuous, "Speed");
  auto speed = speed_text ? float_value(*speed_text) : std::nullopt;
  if (!speed || *speed == 0 || std::fabs(*speed) > kMaxSpeed) {
    return RequestCheck::kSettingsInvalid;
  }
  move->kind = FocusMoveRequest::Kind::kContinuous;
  move->speed = *speed;
  return RequestCheck::kOk;
}

}  // namespace

std::vector<std::string> child_names(std::string_view inner) {
  std::vector<std::string> names;
  int depth = 0;
  for (std::size_t at = inner.find('<'); at != std::string_view::npos;
       at = inner.find('<', at + 1)) {
    std::size_t close = inner.find('>', at);
    if (close == std::string_view::npos) break;
    std::string_view tag = inner.substr(at + 1, close - at - 1);
    if (tag.empty() || tag[0] == '?' || tag[0] == '!') continue;
    if (tag[0] == '/') {
      --depth;
      continue;
    }
    bool self_closing = tag.back() == '/';
    if (depth == 0) {
      std::string_view name = tag.substr(0, tag.find_first_of(" \t\r\n/"));
      std::size_t colon = name.find(':');
      if (colon != std::string_view::npos) name = name.substr(colon + 1);
      names.emplace_back(name);
    }
    if (!self_closing) ++depth;
  }
  return names;
}

RequestCheck check_video_source(std::string_view body) {
  auto token = leaf(body, "VideoSourceToken");
  return token == std::string_view(kVideoSourceToken) ? RequestCheck::kOk : RequestCheck::kNoSource;
}

RequestCheck read_settings_change(std::string_view body, SettingsChange* change) {
  if (check_video_source(body) != RequestCheck::kOk) return RequestCheck::kNoSource;
  auto settings = inner_text(body, "ImagingSettings");
  if (!settings || !only_children(*settings, {"IrCutFilter", "Focus"})) {
    return RequestCheck::kSettingsInvalid;
  }
  SettingsChange read;
  if (inner_text(*settings, "IrCutFilter")) {
    auto mode = leaf(*settings, "IrCutFilter");
    if (mode == std::string_view("ON")) {
      read.ir_cut = IrCutMode::kOn;
    } else if (mode == std::string_view("OFF")) {
      read.ir_cut = IrCutMode::kOff;
    } else if (mode == std::string_view("AUTO")) {
      read.ir_cut = IrCutMode::kAuto;
    } else {
      return RequestCheck::kSettingsInvalid;
    }
  }
  if (auto focus = inner_text(*settings, "Focus")) {
    if (read_focus_setting(*focus, &read) != RequestCheck::kOk) {
      return RequestCheck::kSettingsInvalid;
    }
  }
  // A child named but not read as a value (self-closing, say) is not a setting we take.
  std::size_t taken = (read.ir_cut ? 1 : 0) + (read.autofocus ? 1 : 0);
  if (taken != child_names(*settings).size()) return RequestCheck::kSettingsInvalid;
  *change = read;
  return RequestCheck::kOk;
}

RequestCheck read_focus_move(std::string_view body, FocusMoveRequest* move) {
  if (check_video_source(body) != RequestCheck::kOk) return RequestCheck::kNoSource;
  auto focus = inner_text(body, "Focus");
  if (!focus) return RequestCheck::kSettingsInvalid;
  std::vector<std::string> kinds = child_names(*focus);
  if (kinds.size() != 1) return RequestCheck::kSettingsInvalid;
  if (kinds[0] == "Relative") {
    auto relative = inner_text(*focus, "Relative");
    return relative ? read_relative(*relative, move) : RequestCheck::kSettingsInvalid;
  }
  if (kinds[0] == "Continuous") {
    auto continuous = inner_text(*focus, "Continuous");
    return continuous ? read_continuous(*continuous, move) : RequestCheck::kSettingsInvalid;
  }
  return RequestCheck::kSettingsInvalid;  // Absolute, or anything else
}

const char* ir_cut_name(IrCutMode mode) {
  switch (mode) {
    case IrCutMode::kOn:
      return "ON";
    case IrCutMode::kOff:
      return "OFF";
    case IrCutMode::kAuto:
      break;
  }
  return "AUTO";
}

const char* ir_cut_state_value(IrCutMode mode) {
  switch (mode) {
    case IrCutMode::kOn:
      return camera_state::kModeDay;
    case IrCutMode::kOff:
      return camera_state::kModeNight;
    case IrCutMode::kAuto:
      break;
  }
  return camera_state::kModeAuto;
}

IrCutMode ir_cut_from_state(const std::string& value) {
  if (value == camera_state::kModeDay) return IrCutMode::kOn;
  if (value == camera_state::kModeNight) return IrCutMode::kOff;
  return IrCutMode::kAuto;
}

}  // namespace nvtd
