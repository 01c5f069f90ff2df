#include "soundtap/write_decision.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace soundtap {
namespace {

TEST(WriteDecision, FullWriteDeliversAndEndsAStall) {
  EXPECT_EQ(decide_write(2048, 0, 2048, false), WriteOutcome::kDelivered);
  EXPECT_EQ(decide_write(2048, 0, 2048, true), WriteOutcome::kUnstalled);
}

TEST(WriteDecision, FullFifoStallsOnceThenDropsSilently) {
  EXPECT_EQ(decide_write(-1, EAGAIN, 2048, false), WriteOutcome::kStalled);
  EXPECT_EQ(decide_write(-1, EAGAIN, 2048, true), WriteOutcome::kDropped);
}

TEST(WriteDecision, OtherFailuresAndShortWritesRemoveTheConsumer) {
  EXPECT_EQ(decide_write(-1, EPIPE, 2048, false), WriteOutcome::kRemove);
  EXPECT_EQ(decide_write(-1, EPIPE, 2048, true), WriteOutcome::kRemove);
  EXPECT_EQ(decide_write(-1, EBADF, 2048, false), WriteOutcome::kRemove);
  EXPECT_EQ(decide_write(100, 0, 2048, false), WriteOutcome::kRemove);
  EXPECT_EQ(decide_write(0, 0, 2048, true), WriteOutcome::kRemove);
}

}  // namespace
}  // namespace soundtap
