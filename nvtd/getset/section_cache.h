// The section cache: nine settings clients (INFO, IMAGE, ENCODE, STREAM0..STREAM3,
// NETWORK, CAM) filled for each authenticated request and released after its handler.
// Handlers read settings from them; nothing may keep a client past the release.
#pragma once

#include "nvtd/getset/settings_client.h"

namespace nvtd {

enum class SectionId {
  kInfo,
  kImage,
  kEncode,
  kStream0,
  kStream1,
  kStream2,
  kStream3,
  kNetwork,
  kCam,
};
constexpr int kCachedSections = 9;

// The section name of an id ("INFO" ... "CAM").
const char* section_name(SectionId id);

// Creates the nine clients and gets their sections in the order above. Results are
// ignored: a section that could not be got holds no records.
void section_cache_fill();
void section_cache_release();
bool section_cache_filled();

// The cached client of a section; nullptr outside fill ... release.
SettingsClient* section(SectionId id);
// STREAM0..STREAM3 by stream index 0..3; nullptr for another index.
SettingsClient* stream_section(int index);

}  // namespace nvtd
