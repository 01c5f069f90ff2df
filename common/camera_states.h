// The camera state directory's contract: where it is, the states it holds and the values each
// takes. nvtd, irswitchd and motiond write and read these files; every one of them spells the
// names and values from here (reading and writing is in common/state_file.h).
#pragma once

namespace camera_state {

// The directory, made by the first writer (root-owned, 0755).
inline constexpr char kDirectory[] = "/run/camera-state";

// "ircut-mode": the filter mode nvtd's imaging service asks for; irswitchd holds that side.
inline constexpr char kIrCutMode[] = "ircut-mode";
inline constexpr char kModeAuto[] = "auto";  // the brightness chooses (also a missing file)
inline constexpr char kModeDay[] = "day";
inline constexpr char kModeNight[] = "night";

// "daynight": the side irswitchd switched to, written before the filter moves, so that motiond
// knows the picture is about to change. Its values are kModeDay and kModeNight.
inline constexpr char kDayNight[] = "daynight";

// "motion": motiond's decision; nvtd's motion topics follow it. motiond writes kTrue or kFalse;
// nvtd also takes "1", "on" and "yes" as raised.
inline constexpr char kMotion[] = "motion";
inline constexpr char kTrue[] = "true";
inline constexpr char kFalse[] = "false";

// The tamper states: motiond's decisions (kTrue or kFalse, as "motion"); nvtd's tamper topics
// of the video source follow them.
inline constexpr char kImageTooDark[] = "image-too-dark";
inline constexpr char kImageTooBright[] = "image-too-bright";
inline constexpr char kImageTooBlurry[] = "image-too-blurry";
inline constexpr char kGlobalSceneChange[] = "global-scene-change";

}  // namespace camera_state
