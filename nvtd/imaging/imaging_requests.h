// What an imaging request asks for, read and checked before anything changes: the video
// source token, a partial SetImagingSettings (IR-cut filter mode, autofocus) and a focus Move.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nvtd {

// The one video source the media service lists.
inline constexpr char kVideoSourceToken[] = "HD";

// Relative moves, in motor steps (far positive), and Continuous speeds (a fraction of the
// motor's full rate, far positive).
inline constexpr int kMaxRelativeSteps = 2000;
inline constexpr double kMaxSpeed = 1.0;

enum class IrCutMode { kOn, kOff, kAuto };  // ON: filter in (day), OFF: filter out (night)
enum class RequestCheck { kOk, kNoSource, kSettingsInvalid };

struct SettingsChange {
  std::optional<IrCutMode> ir_cut;
  std::optional<bool> autofocus;  // AutoFocusMode AUTO (true) or MANUAL (false)
};

struct FocusMoveRequest {
  enum class Kind { kRelative, kContinuous } kind = Kind::kRelative;
  int steps = 0;       // Relative: the distance rounded to whole steps
  double speed = 0.0;  // Continuous: -1 to 1, not 0
};

// The local names of the elements directly inside an element's character data, in order.
std::vector<std::string> child_names(std::string_view inner);

// kOk when the body's VideoSourceToken is the camera's video source, kNoSource otherwise.
RequestCheck check_video_source(std::string_view body);

// A SetImagingSettings body: its token, then ImagingSettings holding only IrCutFilter and a
// Focus with only AutoFocusMode, each with a value of its type.
RequestCheck read_settings_change(std::string_view body, SettingsChange* change);

// A Move body: its token, then a Focus with one Relative (Distance within the steps, optional
// Speed above 0 up to 1) or Continuous (Speed from -1 to 1, not 0) move. Absolute is refused:
// the lens reports no position.
RequestCheck read_focus_move(std::string_view body, FocusMoveRequest* move);

const char* ir_cut_name(IrCutMode mode);         // "ON", "OFF", "AUTO"
const char* ir_cut_state_value(IrCutMode mode);  // "day", "night", "auto"
// The mode a state value stands for; anything but "day" and "night" is AUTO.
IrCutMode ir_cut_from_state(const std::string& value);

}  // namespace nvtd
