// The virtual camera: lens and filter moved by expander writes, the scene script, reports.
#include <gtest/gtest.h>

#include "imagelib/stats_layout.h"
#include "testbed/vcam/config.h"
#include "testbed/vcam/expander.h"
#include "testbed/vcam/slices.h"
#include "testbed/vcam/store.h"

namespace {

using namespace vcam;

void write_all(State& state, std::initializer_list<int> values) {
  for (int v : values) expander_write(state, 1, v);
}

TEST(VcamExpander, PhasesMoveTheLensOnlyWhenConfiguredAsOutputs) {
  State state;
  write_all(state, {0x39, 0x3A, 0x36, 0x35});
  EXPECT_EQ(state.focus, 0);  // all pins are inputs after power-on
  expander_write(state, 3, 0xC0);
  write_all(state, {0x39, 0x3A, 0x36, 0x35, 0xFF});
  EXPECT_EQ(state.focus, -4);
  write_all(state, {0x35, 0x36, 0x3A, 0x39, 0xFF});  // reversing on 0x35 loses the first pulse
  EXPECT_EQ(state.focus, -1);
  write_all(state, {0x35, 0x36});
  EXPECT_EQ(state.focus, 1);
  write_all(state, {0x3A, 0x35});  // 0x3A is a far step, then opposite coils: no move
  EXPECT_EQ(state.focus, 2);
}

TEST(VcamExpander, FilterFollowsItsDrivePins) {
  State state;
  expander_write(state, 3, 0xC0);
  EXPECT_EQ(state.filter, Filter::kUnknown);
  const std::string line = expander_write(state, 1, 0x1F);
  EXPECT_EQ(state.filter, Filter::kNight);
  EXPECT_NE(line.find("reg=1 val=0x1F"), std::string::npos);
  expander_write(state, 1, 0xFF);
  EXPECT_EQ(state.filter, Filter::kNight);
  expander_write(state, 1, 0x2F);
  EXPECT_EQ(state.filter, Filter::kDay);
  expander_write(state, 1, 0x0F);  // both low: no move
  EXPECT_EQ(state.filter, Filter::kDay);
}

TEST(VcamState, RoundTrip) {
  State s;
  s.focus = -123;
  s.phase = 2;
  s.filter = Filter::kNight;
  s.clock_us = 5000000000LL;
  const State back = parse_state(format_state(s));
  EXPECT_EQ(back.focus, -123);
  EXPECT_EQ(back.phase, 2);
  EXPECT_EQ(back.filter, Filter::kNight);
  EXPECT_EQ(back.clock_us, 5000000000LL);
}

TEST(VcamScene, ScriptTimeline) {
  const auto scene = parse_scene("day 2\ndusk 1\n# comment\nnight 3 4\nflicker 2\nday 1\n");
  ASSERT_EQ(scene.size(), 5u);
  EXPECT_EQ(scene_luma(scene, 0.5, 0), 120);
  EXPECT_EQ(scene_luma(scene, 2.5, 0), 15);
  EXPECT_EQ(scene_luma(scene, 3.5, 0), 4);
  EXPECT_EQ(scene_luma(scene, 6.5, 10), 3);
  EXPECT_EQ(scene_luma(scene, 6.5, 11), 120);
  EXPECT_EQ(scene_luma(scene, 100, 0), 120);  // the last part lasts
  EXPECT_EQ(scene_luma({}, 1, 0), 120);
  const auto ramp = parse_scene("day 2 100\nobject 1 2 0 0 1 1 10\nramp 4 20\nnight 1\n");
  ASSERT_EQ(ramp.size(), 3u);
  EXPECT_EQ(scene_luma(ramp, 3, 0), 80);  // a quarter of the way from 100 to 20
  EXPECT_EQ(scene_luma(ramp, 6.5, 0), 3);
}

TEST(VcamScene, ObjectsCoverTheirTilesAsTheyMove) {
  SceneNow scene;
  scene.luma = 100;
  scene.objects = parse_objects("day 9\nobject 2 3 1.5 2 2 1 20 2\nobject 0 1 0 0 1 1 0\n");
  ASSERT_EQ(scene.objects.size(), 2u);
  scene.elapsed = 2.5;  // the first now at column 2.5, row 2; the second gone
  const AeLumas at = picture_lumas(scene);
  EXPECT_DOUBLE_EQ(at[2 * kAeColumns + 2], 60);  // half covered
  EXPECT_DOUBLE_EQ(at[2 * kAeColumns + 3], 20);
  EXPECT_DOUBLE_EQ(at[2 * kAeColumns + 4], 60);
  EXPECT_DOUBLE_EQ(at[0], 100);
  scene.elapsed = 5;  // its time is over
  EXPECT_DOUBLE_EQ(picture_lumas(scene)[2 * kAeColumns + 3], 100);
}

TEST(VcamScene, EffectsChangeThePictureWhileOn) {
  SceneNow scene;
  scene.luma = 100;
  scene.effects = parse_effects(
      "day 9\nlamp 1 2 0 0 2 8 50\nshadow 4 2 0 3 2 500\ncover 10 1\nblind 12 1\n"
      "sparkle 14 1 2 3 900\nsmear 16 1 200\nview 18 7 300\n");
  ASSERT_EQ(scene.effects.size(), 7u);
  EXPECT_TRUE(parse_scene("day 9\nlamp 1 2 0 0 2 8 50\n").size() == 1);
  struct Case {
    double at;
    int tile;
    double luma;
  } cases[] = {{1.5, 0, 150}, {1.5, 2, 100},    {3.5, 0, 100}, {5, 0, 50},
               {5, 3, 87.5},  {5, 11, 100},     {7, 11, 100},  {7, 5, 62.5},
               {10.5, 40, 0}, {12.5, 40, 1000}, {13.5, 0, 50}};
  for (const Case& c : cases) {
    scene.elapsed = c.at;
    EXPECT_DOUBLE_EQ(picture_lumas(scene)[c.tile], c.luma) << c.at << " " << c.tile;
  }
  scene.elapsed = 14.5;  // sparkles: whole streaks of 900, in some reports
  int bright = 0;
  for (int report = 0; report < 10; ++report) {
    for (double t : picture_lumas(scene, report)) bright += t == 900 ? 1 : 0;
  }
  EXPECT_EQ(bright % 3, 0);
  EXPECT_GT(bright, 30);
  EXPECT_DOUBLE_EQ(texture_at(scene.effects, 16.5).gain, 0.2);
  EXPECT_EQ(texture_at(scene.effects, 18.5).view, 7u);
  scene.elapsed = 18.5;  // the turned camera's view (right of the shadow): 0.7 to 1.3, not alike
  const AeLumas view = picture_lumas(scene);
  for (int row = 0; row < kAeRows; ++row) {
    EXPECT_GE(view[row * kAeColumns + 11], 70);
    EXPECT_LE(view[row * kAeColumns + 11], 130);
  }
  EXPECT_NE(view[11], view[23]);
}

TEST(VcamOptics, SharpnessPeaksAtTheTrueFocus) {
  Optics o = parse_optics("true_focus=500\nwidth=200\nnoise=0\n");
  const int at = tile_sharpness(o, 7, 7, 500, 0);
  EXPECT_GT(at, tile_sharpness(o, 7, 7, 450, 0));
  EXPECT_GT(tile_sharpness(o, 7, 7, 450, 0), tile_sharpness(o, 7, 7, 100, 0));
  EXPECT_EQ(tile_sharpness(o, 7, 7, 300, 0), tile_sharpness(o, 7, 7, 700, 0));
  o.flat = true;
  EXPECT_EQ(tile_sharpness(o, 7, 7, -900, 0), tile_sharpness(o, 7, 7, 900, 3));
}

TEST(VcamReport, SlicesAsTheDriverCutsThem) {
  using namespace imagelib;
  std::vector<uint8_t> cfa(kCfaAreaSize), rgb(kRgbAreaSize);
  Optics o = parse_optics("slices=3\n");
  fill_report(o, 40, 0, 0, cfa.data(), rgb.data());
  const uint8_t* slice2 = cfa.data() + 2 * kCfaSliceSize;
  EXPECT_EQ(slice2[kHdrSliceCount], 3);
  EXPECT_EQ(slice2[kHdrAeColumns], 4);
  EXPECT_EQ(slice2[kHdrAfColumns], 5);
  EXPECT_EQ(slice2[kHdrAwbColumns], 10);
  const uint8_t* ae = slice2 + kTilesOffset + 10 * 32 * kAwbTileBytes;
  EXPECT_EQ(get_le16(ae) / 64, 40);
  // The night side of the filter: darker by about night_gain, and grey (equal colour sums).
  o = parse_optics("night_gain=500\nluma_noise=0\n");
  SceneNow scene;
  scene.luma = 40;
  fill_report(o, scene, Filter::kNight, 0, 0, cfa.data(), rgb.data());
  const int night = get_le16(cfa.data() + kTilesOffset + 32 * 32 * kAwbTileBytes) / 64;
  EXPECT_TRUE(night >= 14 && night <= 26) << night;
  EXPECT_EQ(get_le16(cfa.data() + kTilesOffset), get_le16(cfa.data() + kTilesOffset + 4));
  fill_report(o, scene, Filter::kDay, 0, 0, cfa.data(), rgb.data());
  EXPECT_NE(get_le16(cfa.data() + kTilesOffset), get_le16(cfa.data() + kTilesOffset + 4));
}

}  // namespace
