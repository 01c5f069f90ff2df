// Imaging requests as clients send them: the token, partial settings and focus moves, each
// read into what changes or refused as a whole.
#include "nvtd/imaging/imaging_requests.h"

#include <gtest/gtest.h>

#include <string>

namespace nvtd {
namespace {

std::string settings(const std::string& inner, const std::string& token = "HD") {
  return "<s:Body><timg:SetImagingSettings><timg:VideoSourceToken>" + token +
         "</timg:VideoSourceToken><timg:ImagingSettings>" + inner +
         "</timg:ImagingSettings></timg:SetImagingSettings></s:Body>";
}

std::string move(const std::string& inner, const std::string& token = "HD") {
  return "<s:Body><timg:Move><timg:VideoSourceToken>" + token +
         "</timg:VideoSourceToken><timg:Focus>" + inner + "</timg:Focus></timg:Move></s:Body>";
}

TEST(ImagingRequests, SettingsAreReadOrRefusedAsAWhole) {
  using M = IrCutMode;
  const RequestCheck ok = RequestCheck::kOk, bad = RequestCheck::kSettingsInvalid;
  struct Case {
    std::string body;
    RequestCheck expected;
    std::optional<M> ir_cut;
    std::optional<bool> autofocus;
  } cases[] = {
      {settings("<tt:IrCutFilter>OFF</tt:IrCutFilter>"), ok, M::kOff, {}},
      {settings("<tt:IrCutFilter> ON </tt:IrCutFilter>"), ok, M::kOn, {}},
      {settings("<IrCutFilter>AUTO</IrCutFilter>"), ok, M::kAuto, {}},
      {settings("<tt:Focus><tt:AutoFocusMode>AUTO</tt:AutoFocusMode></tt:Focus>"), ok, {}, true},
      {settings("<tt:Focus><tt:AutoFocusMode>MANUAL</tt:AutoFocusMode></tt:Focus>"
                "<tt:IrCutFilter>ON</tt:IrCutFilter>"),
       ok, M::kOn, false},
      {settings(""), ok, {}, {}},
      {settings("<tt:IrCutFilter>on</tt:IrCutFilter>"), bad, {}, {}},
      {settings("<tt:IrCutFilter>NIGHT</tt:IrCutFilter>"), bad, {}, {}},
      {settings("<tt:IrCutFilter/>"), bad, {}, {}},
      {settings("<tt:IrCutFilter>ON</tt:IrCutFilter><tt:IrCutFilter>OFF</tt:IrCutFilter>"),
       bad,
       {},
       {}},
      {settings("<tt:Brightness>50</tt:Brightness>"), bad, {}, {}},
      {settings("<tt:IrCutFilter>OFF</tt:IrCutFilter><tt:Brightness>50</tt:Brightness>"),
       bad,
       {},
       {}},
      {settings("<tt:Exposure><tt:Mode>AUTO</tt:Mode></tt:Exposure>"), bad, {}, {}},
      {settings("<tt:WhiteBalance><tt:Mode>AUTO</tt:Mode></tt:WhiteBalance>"), bad, {}, {}},
      {settings("<tt:Focus><tt:AutoFocusMode>AUTO</tt:AutoFocusMode>"
                "<tt:NearLimit>1</tt:NearLimit></tt:Focus>"),
       bad,
       {},
       {}},
      {settings("<tt:Focus><tt:DefaultSpeed>1</tt:DefaultSpeed></tt:Focus>"), bad, {}, {}},
      {settings("<tt:Focus><tt:AutoFocusMode>ON</tt:AutoFocusMode></tt:Focus>"), bad, {}, {}},
      {"<timg:SetImagingSettings><timg:VideoSourceToken>HD</timg:VideoSourceToken>"
       "</timg:SetImagingSettings>",
       bad,
       {},
       {}},
      {settings("<tt:IrCutFilter>OFF</tt:IrCutFilter>", "SD"), RequestCheck::kNoSource, {}, {}},
      {settings("<tt:IrCutFilter>OFF</tt:IrCutFilter>", ""), RequestCheck::kNoSource, {}, {}},
  };
  for (const Case& c : cases) {
    SettingsChange change;
    change.ir_cut = IrCutMode::kOn;  // must be left alone on a refusal
    RequestCheck got = read_settings_change(c.body, &change);
    EXPECT_EQ(got, c.expected) << c.body;
    if (got != ok) {
      EXPECT_EQ(change.ir_cut, IrCutMode::kOn) << c.body;
      continue;
    }
    EXPECT_EQ(change.ir_cut, c.ir_cut) << c.body;
    EXPECT_EQ(change.autofocus, c.autofocus) << c.body;
  }
}

TEST(ImagingRequests, FocusMovesKeepToTheirRanges) {
  using K = FocusMoveRequest::Kind;
  const RequestCheck ok = RequestCheck::kOk, bad = RequestCheck::kSettingsInvalid;
  struct Case {
    std::string body;
    RequestCheck expected;
    K kind;
    int steps;
    double speed;
  } cases[] = {
      {move("<tt:Relative><tt:Distance>40</tt:Distance></tt:Relative>"), ok, K::kRelative, 40, 0},
      {move("<tt:Relative><tt:Distance>-12.6</tt:Distance><tt:Speed>0.5</tt:Speed>"
            "</tt:Relative>"),
       ok, K::kRelative, -13, 0},
      {move("<tt:Relative><tt:Distance>2000</tt:Distance></tt:Relative>"), ok, K::kRelative, 2000,
       0},
      {move("<tt:Relative><tt:Distance>2000.6</tt:Distance></tt:Relative>"), bad, K::kRelative, 0,
       0},
      {move("<tt:Relative><tt:Distance>-1e9</tt:Distance></tt:Relative>"), bad, K::kRelative, 0, 0},
      {move("<tt:Relative><tt:Distance>NaN</tt:Distance></tt:Relative>"), bad, K::kRelative, 0, 0},
      {move("<tt:Relative><tt:Distance>12x</tt:Distance></tt:Relative>"), bad, K::kRelative, 0, 0},
      {move("<tt:Relative><tt:Distance>10</tt:Distance><tt:Speed>0</tt:Speed></tt:Relative>"), bad,
       K::kRelative, 0, 0},
      {move("<tt:Relative><tt:Distance>10</tt:Distance><tt:Speed>1.5</tt:Speed></tt:Relative>"),
       bad, K::kRelative, 0, 0},
      {move("<tt:Relative><tt:Speed>1</tt:Speed></tt:Relative>"), bad, K::kRelative, 0, 0},
      {move("<tt:Continuous><tt:Speed>-0.25</tt:Speed></tt:Continuous>"), ok, K::kContinuous, 0,
       -0.25},
      {move("<tt:Continuous><tt:Speed>1</tt:Speed></tt:Continuous>"), ok, K::kContinuous, 0, 1},
      {move("<tt:Continuous><tt:Speed>0</tt:Speed></tt:Continuous>"), bad, K::kContinuous, 0, 0},
      {move("<tt:Continuous><tt:Speed>-1.01</tt:Speed></tt:Continuous>"), bad, K::kContinuous, 0,
       0},
      {move("<tt:Absolute><tt:Position>10</tt:Position></tt:Absolute>"), bad, K::kRelative, 0, 0},
      {move("<tt:Relative><tt:Distance>1</tt:Distance></tt:Relative>"
            "<tt:Continuous><tt:Speed>1</tt:Speed></tt:Continuous>"),
       bad, K::kRelative, 0, 0},
      {move(""), bad, K::kRelative, 0, 0},
      {move("<tt:Relative><tt:Distance>1</tt:Distance></tt:Relative>", "HD2"),
       RequestCheck::kNoSource, K::kRelative, 0, 0},
  };
  for (const Case& c : cases) {
    FocusMoveRequest request;
    RequestCheck got = read_focus_move(c.body, &request);
    EXPECT_EQ(got, c.expected) << c.body;
    if (got != ok) continue;
    EXPECT_EQ(request.kind, c.kind) << c.body;
    EXPECT_EQ(request.steps, c.steps) << c.body;
    EXPECT_DOUBLE_EQ(request.speed, c.speed) << c.body;
  }
}

TEST(ImagingRequests, ChildNamesSkipNestedAndSelfClosingElements) {
  EXPECT_EQ(child_names("<a:X><Y>1</Y></a:X> <Z/><?pi?><!-- c --><b:W k='v'>t</b:W>"),
            (std::vector<std::string>{"X", "Z", "W"}));
  EXPECT_TRUE(child_names("text only").empty());
}

TEST(ImagingRequests, StateValuesAndModes) {
  for (IrCutMode mode : {IrCutMode::kOn, IrCutMode::kOff, IrCutMode::kAuto}) {
    EXPECT_EQ(ir_cut_from_state(ir_cut_state_value(mode)), mode);
  }
  EXPECT_EQ(ir_cut_from_state("garbage"), IrCutMode::kAuto);
  EXPECT_STREQ(ir_cut_name(IrCutMode::kOff), "OFF");
}

}  // namespace
}  // namespace nvtd
