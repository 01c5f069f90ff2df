// The motion decision over the 12 x 8 auto-exposure tiles of each frame: tiles relative to the
// frame's median luma, a background and a noise level per tile, a whole-scene guard, quiet
// windows, steps that hold still taken as background, groups of adjacent tiles followed from
// sample to sample, and the on/off delays. Pure: no clock.
#pragma once

#include <array>
#include <cstdint>

namespace motiond {

constexpr int kColumns = 12, kRows = 8, kTiles = kColumns * kRows;
using Tiles = std::array<uint16_t, kTiles>;  // the AE tiles' luma fields, row-major
using Cells = std::array<bool, kTiles>;      // which tiles may count (ActiveCells)

struct Settings {
  int sensitivity = 50;        // 0 (only strong change) to 100 (the faintest)
  int min_count = 3;           // adjacent active tiles that make motion (MinCount)
  int on_delay_ms = 200;       // motion must last this long before the state turns true
  int off_delay_ms = 2000;     // and be gone this long before it turns false
  int scene_quiet_ms = 1000;   // quiet after the whole scene changed
  int switch_quiet_ms = 4000;  // quiet after an announced day/night switch
  Cells cells = all_cells();

  static Cells all_cells() {
    Cells c;
    c.fill(true);
    return c;
  }
};

struct Detector {
  std::array<float, kTiles> background{};
  std::array<float, kTiles> noise{};         // mean deviation from the background
  std::array<int32_t, kTiles> moving_ms{};   // how long each tile has stood out
  std::array<float, kTiles> still_value{};   // each tile's value when it last changed
  std::array<int64_t, kTiles> changed_ms{};  // and when that was
  std::array<int8_t, kTiles> last_sign{};    // -1/+1: the tile stood out in the last sample
  Cells last_group{};                        // the last sample's followed group
  int followed = 0;                          // samples the group has been followed
  int gap = 0;                               // samples it has been missing
  bool group_moving = false;                 // and whether it moved in the last one
  bool learnt = false;
  float last_median = 0;
  int64_t quiet_until_ms = 0;
  int64_t raw_since_ms = -1;   // start of the present run of samples with motion
  int64_t calm_since_ms = -1;  // start of the present run without
  bool motion = false;
};

// What one sample found; motion is the decided state.
struct Step {
  bool motion = false;
  bool changed = false;
  int active = 0;       // active tiles
  int largest = 0;      // the largest group of adjacent tiles that stand out (with evidence)
  bool moving = false;  // that group follows the last sample's and changed since it began
  bool front = false;   // it reaches across the picture: a front of light or shadow
  int absorbed = 0;     // tiles taken as background because they stopped changing
  bool quiet = false;   // learning only: the scene changed whole, or a switch was announced
};

// Takes one frame, sampled at now_ms, interval_ms after the last; day_night_switch tells that
// the day/night mode was announced to change since the last sample.
Step detect(Detector* d, const Settings& s, const Tiles& tiles, int64_t now_ms, int interval_ms,
            bool day_night_switch);

// The largest group of 4-adjacent set cells.
int largest_group(const Cells& active);

// A tile's threshold (relative to the median) for its noise level at a sensitivity.
float threshold(float noise, int sensitivity);

}  // namespace motiond
