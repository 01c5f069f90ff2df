#include "nvtd/transport/relay_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "nvtd/core/config_test_util.h"
#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"
#include "nvtd/transport/http_io.h"
#include "nvtd/transport/relay_protocol.h"

namespace nvtd {
namespace {

class RelayReader : public ::testing::Test {
 protected:
  ScopedConfig scoped_config;
  void SetUp() override {
    scoped_config.set(&Config::persist, true);
    ASSERT_EQ(pipe(fds_), 0);
  }
  void TearDown() override {
    close(fds_[0]);
    if (fds_[1] >= 0) close(fds_[1]);
  }
  Request req_;
  Reply reply_{-1, RunMode::kRelay};
  template <typename T>
  void put(const T& value) {
    ASSERT_EQ(write(fds_[1], &value, sizeof value), ssize_t(sizeof value));
  }
  void put_text(const std::string& s) {
    ASSERT_EQ(write(fds_[1], s.data(), s.size()), ssize_t(s.size()));
  }
  void put_header(int32_t type) { put(relay::MessageHeader{type, 12345}); }
  void end_input() {
    close(fds_[1]);
    fds_[1] = -1;
  }
  void put_chunks(std::initializer_list<std::string> chunks) {
    put_header(relay::kContent);
    for (const std::string& c : chunks) {
      put(relay::ChunkLength(c.size()));
      put_text(c);
    }
  }
  int fds_[2] = {-1, -1};
};

TEST_F(RelayReader, OpenGivesThePid) {
  put_header(relay::kOpen);
  put(relay::OpenPayload{4242});
  int32_t pid = 0;
  EXPECT_EQ(relay_read_open(fds_[0], &pid), 0);
  EXPECT_EQ(pid, 4242);
}

TEST_F(RelayReader, EnvBeforeOpenIsRefusedWithItsType) {
  put_header(relay::kEnv);
  int32_t pid = 0;
  testing::internal::CaptureStderr();
  EXPECT_EQ(relay_read_open(fds_[0], &pid), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "got unexpected fifo message 2, needed OPEN\n");
}

TEST_F(RelayReader, ShortPiecesAreErrors) {
  put_text("\x01\x00\x00");  // three bytes of a header
  end_input();
  int32_t pid = 0;
  testing::internal::CaptureStderr();
  EXPECT_EQ(relay_read_open(fds_[0], &pid), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error reading request; discarding\n");
}

TEST_F(RelayReader, ShortPidIsAnOpenError) {
  put_header(relay::kOpen);
  put_text("\x01\x02");
  end_input();
  int32_t pid = 0;
  testing::internal::CaptureStderr();
  EXPECT_EQ(relay_read_open(fds_[0], &pid), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error reading open request; discarding\n");
}

TEST_F(RelayReader, EnvTextIsReadWhole) {
  std::string text = "REQUEST_METHOD=POST\nCONTENT_LENGTH=10";
  put_header(relay::kEnv);
  put(relay::EnvCounts{2, int32_t(text.size())});
  put_text(text);
  std::string got;
  StdoutCapture traces;
  EXPECT_EQ(relay_read_env(fds_[0], &got), 0);
  EXPECT_EQ(got, text);
  EXPECT_NE(traces.take().find("reading 2 lines, 37 bytes of env\n"), std::string::npos);
}

TEST_F(RelayReader, AnAbsurdEnvSizeIsRefused) {
  put_header(relay::kEnv);
  put(relay::EnvCounts{1, -1});
  std::string got;
  StdoutCapture traces;
  testing::internal::CaptureStderr();
  EXPECT_EQ(relay_read_env(fds_[0], &got), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error reading env request; discarding\n");
}

TEST_F(RelayReader, ChunksFourZeroSixMakeTheBody) {
  req_.content_length = "10";
  put_chunks({"0123", "", "456789"});
  StdoutCapture traces;
  EXPECT_EQ(relay_read_content(fds_[0], &req_, reply_), 0);
  traces.take();
  EXPECT_EQ(req_.body, "0123456789");
  EXPECT_EQ(req_.body.size(), 10u);
}

TEST_F(RelayReader, ChunksSixAndSixAreRefusedAtTheSecond) {
  req_.content_length = "10";
  put_chunks({"012345", "678901"});
  StdoutCapture traces;
  EXPECT_EQ(relay_read_content(fds_[0], &req_, reply_), -1);
  std::string printed = traces.take();
  EXPECT_NE(printed.find("reading 6 bytes of content\nread 6\nreading header"
                         "reading 6 bytes of content\n"
                         "fifo_read_content: read length is past content length!\n"
                         "bogus content\n"),
            std::string::npos)
      << printed;
}

TEST_F(RelayReader, NegativeChunkLengthIsRefused) {
  req_.content_length = "10";
  put_header(relay::kContent);
  put(relay::ChunkLength(-4));
  StdoutCapture traces;
  EXPECT_EQ(relay_read_content(fds_[0], &req_, reply_), -1);
  traces.take();
}

TEST_F(RelayReader, ContentNeedsAGoodLength) {
  // Without authentication; with it an empty request goes on to get the Digest challenge.
  scoped_config.set(&Config::no_auth, true);
  req_.content_length.reset();
  put_header(relay::kContent);
  StdoutCapture traces;
  EXPECT_EQ(relay_read_content(fds_[0], &req_, reply_), -1);
  EXPECT_EQ(traces.take(), "need content length!bogus content\n");
}

TEST_F(RelayReader, AnEmptyRequestHasAnEmptyBodyWhileAuthenticationIsOn) {
  for (const char* length : {"0", " 00 ", static_cast<const char*>(nullptr)}) {
    req_.content_length.reset();
    if (length != nullptr) req_.content_length = length;
    req_.body = "old";
    put_header(relay::kContent);
    StdoutCapture traces;
    EXPECT_EQ(relay_read_content(fds_[0], &req_, reply_), 0);
    EXPECT_EQ(req_.body, "");
  }
}

TEST_F(RelayReader, AShortChunkHeaderIsAnError) {
  req_.content_length = "10";
  put_header(relay::kContent);
  put_text("\x04");
  end_input();
  StdoutCapture traces;
  EXPECT_EQ(relay_read_content(fds_[0], &req_, reply_), -1);
  EXPECT_NE(traces.take().find("reading headerError reading request; discardingbogus content\n"),
            std::string::npos);
}

// The server keeps a write end of its FIFO, so a forwarder that stops half-way leaves the
// reads without end-of-file: the write end stays open in these cases.
constexpr int kShortWaitMs = 50;

TEST_F(RelayReader, AnOpenWithoutItsPidIsCutShort) {
  put_header(relay::kOpen);
  int32_t pid = 0;
  testing::internal::CaptureStderr();
  EXPECT_EQ(relay_read_open(fds_[0], &pid, kShortWaitMs), kRelayCutShort);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(RelayReader, TheWaitForAnOpenHasNoBound) {
  std::thread late([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(10 * kShortWaitMs));
    put_header(relay::kOpen);
    put(relay::OpenPayload{77});
  });
  int32_t pid = 0;
  EXPECT_EQ(relay_read_open(fds_[0], &pid, kShortWaitMs), 0);
  late.join();
  EXPECT_EQ(pid, 77);
}

TEST_F(RelayReader, EnvStoppingAnywhereIsCutShort) {
  std::string text = "REQUEST_METHOD=POST\nCONTENT_LENGTH=10";
  std::string got;
  StdoutCapture traces;
  EXPECT_EQ(relay_read_env(fds_[0], &got, kShortWaitMs), kRelayCutShort);  // no header
  put_header(relay::kEnv);
  EXPECT_EQ(relay_read_env(fds_[0], &got, kShortWaitMs), kRelayCutShort);  // no counts
  put_header(relay::kEnv);
  put(relay::EnvCounts{2, int32_t(text.size())});
  put_text(text.substr(0, 12));
  EXPECT_EQ(relay_read_env(fds_[0], &got, kShortWaitMs), kRelayCutShort);  // half the text
  // Nothing is left behind: the next message is read from its beginning.
  put_header(relay::kEnv);
  put(relay::EnvCounts{2, int32_t(text.size())});
  put_text(text);
  EXPECT_EQ(relay_read_env(fds_[0], &got, kShortWaitMs), 0);
  EXPECT_EQ(got, text);
  traces.take();
}

TEST_F(RelayReader, ContentStoppingAnywhereIsCutShortWithoutAnAnswer) {
  req_.content_length = "10";
  StdoutCapture traces;
  EXPECT_EQ(relay_read_content(fds_[0], &req_, reply_, kShortWaitMs), kRelayCutShort);  // no header
  put_header(relay::kContent);
  EXPECT_EQ(relay_read_content(fds_[0], &req_, reply_, kShortWaitMs), kRelayCutShort);  // no chunk
  put_chunks({"0123"});
  EXPECT_EQ(relay_read_content(fds_[0], &req_, reply_, kShortWaitMs),
            kRelayCutShort);  // a chunk missing
  put_header(relay::kContent);
  put(relay::ChunkLength(10));
  put_text("01234");
  EXPECT_EQ(relay_read_content(fds_[0], &req_, reply_, kShortWaitMs),
            kRelayCutShort);  // half a chunk
  EXPECT_EQ(traces.take().find("bogus content"), std::string::npos);
}

TEST_F(RelayReader, ContentArrivingInPiecesWithinTheBoundIsRead) {
  req_.content_length = "10";
  put_header(relay::kContent);
  put(relay::ChunkLength(10));
  put_text("01234");
  std::thread rest([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    put_text("56789");
  });
  StdoutCapture traces;
  EXPECT_EQ(relay_read_content(fds_[0], &req_, reply_, 10 * 1000), 0);
  rest.join();
  traces.take();
  EXPECT_EQ(req_.body, "0123456789");
}

// A forwarder that dies closes its reply FIFO's read end: the wait for its next bytes ends
// then, not at the bound (an hour here), once what it wrote before is read.
TEST_F(RelayReader, AWaitEndsWhenTheForwarderIsGone) {
  int reply[2];
  ASSERT_EQ(pipe(reply), 0);
  close(reply[0]);
  put_header(relay::kEnv);
  put(relay::EnvCounts{1, 40});
  put_text("REQUEST_METHOD=POST");
  std::string got;
  StdoutCapture traces;
  EXPECT_EQ(relay_read_env(fds_[0], &got, RelayWait(3600 * 1000, reply[1])), kRelayCutShort);
  traces.take();
  close(reply[1]);
}

TEST_F(RelayReader, ADrainTakesAllThatIsWaiting) {
  put_text(std::string(10000, 'x'));
  EXPECT_EQ(relay_drain(fds_[0], kShortWaitMs), size_t(10000));
  put_header(relay::kOpen);
  put(relay::OpenPayload{78});
  int32_t pid = 0;
  EXPECT_EQ(relay_read_open(fds_[0], &pid), 0);
  EXPECT_EQ(pid, 78);
}

}  // namespace
}  // namespace nvtd
