// The section cache: nine settings clients (INFO, IMAGE, ENCODE, STREAM0..STREAM3,
// NETWORK, CAM) for each authenticated request, each section got the first time the
// request reads it (or a handler prefetches it) and all dropped after its handler.
// Handlers read settings from them; nothing may keep a client past the release.
#pragma once

#include <vector>

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

// Opens the cache for a request (nothing is got yet, the request's budget for settings
// exchanges starts) and drops it after the handler.
void section_cache_fill();
void section_cache_release();
bool section_cache_filled();
// Whether an exchange with a settings server failed in this request: a section that could
// not be got (it holds no records) or a set that did not reach the server's answer. The
// request's answer would then rest on defaults, not settings.
bool section_cache_failed();
// How many sections this request has got so far.
int section_cache_fetched();

// The cached client of a section, got on first use in this request: a section that could
// not be got holds no records (and section_cache_failed() tells). nullptr outside fill ... release.
SettingsClient* section(SectionId id);
// STREAM0..STREAM3 by stream index 0..3; nullptr for another index.
SettingsClient* stream_section(int index);

// For a handler about to read several sections: gets those of ids not got yet in this
// request side by side, so that the request waits for the settings server once rather than
// once per section. Each is still got at most once per request.
void section_cache_prefetch(const std::vector<SectionId>& ids);

}  // namespace nvtd
