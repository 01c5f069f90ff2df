// Test helper: a settings server on a fresh loopback address answering every section of
// port 20000 (ENCODE, STREAM0..3) with one text and port 20004 (CAM) with another, made the
// process's settings setup, and the request's section cache filled from it. The NETWORK
// section is built from a recording system seam, so nothing runs on the host.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "nvtd/getset/section_cache.h"
#include "nvtd/getset/server_addresses.h"
#include "nvtd/getset/test_server.h"
#include "nvtd/netconfig/fake_net_system.h"

namespace nvtd::testing {

class CachedCamera {
 public:
  CachedCamera(const std::string& stream_text, const std::string& cam_text)
      : saved_(settings_setup()), net_scope_(&net_) {
    std::string address = loopback_address();
    SettingsSetup setup;
    setup.encoder_file = ::testing::TempDir() + "media_encoder_" + address;
    std::ofstream(setup.encoder_file, std::ios::trunc) << address;
    setup.mainboard_file = setup.encoder_file;
    for (auto& peer : setup.peer_boards) peer = loopback_address();
    setup.connect_timeout_s = 1;
    setup.reply_timeout_s = 2;
    Script streams, cam;
    streams.section_text = stream_text;
    cam.section_text = cam_text;
    stream_server_ = std::make_unique<TestServer>(address, 20000, streams);
    cam_server_ = std::make_unique<TestServer>(address, 20004, cam);
    set_settings_setup(setup);
    section_cache_fill();
  }
  ~CachedCamera() {
    section_cache_release();
    set_settings_setup(saved_);
  }

  // What the server of ENCODE and STREAM0..3 was sent (gets and sets).
  std::vector<Exchange> stream_exchanges() const { return stream_server_->journal()->All(); }

 private:
  SettingsSetup saved_;
  FakeNetSystem net_;
  ScopedNetSystem net_scope_;
  std::unique_ptr<TestServer> stream_server_, cam_server_;
};

}  // namespace nvtd::testing
