// The image-server sender on a private queue (its own key file), removed after each test.
#include "imagelib/img_queue.h"

#include <gtest/gtest.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <numeric>
#include <vector>

namespace {

class ImgQueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char path[] = "/tmp/img_queue_test.XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    path_ = path;
    imagelib::set_img_queue_path(path_);
    queue_ = msgget(ftok(path_.c_str(), imagelib::kImgQueueProjectId), IPC_CREAT | 0644);
    ASSERT_GE(queue_, 0);
  }
  void TearDown() override {
    msgctl(queue_, IPC_RMID, nullptr);
    unlink(path_.c_str());
    imagelib::set_img_queue_path("/tmp/img_queue");
  }
  // Receives one message without waiting; returns its text size or -1.
  ssize_t receive(ImgMessage* message) {
    return msgrcv(queue_, message, kImgMessageTextSize, 0, IPC_NOWAIT);
  }
  std::string path_;
  int queue_ = -1;
};

TEST_F(ImgQueueTest, MonochromeQueuesCommand43) {
  EXPECT_EQ(set_monochrome(1), 0);
  ImgMessage message{};
  EXPECT_EQ(receive(&message), 508);
  EXPECT_EQ(message.type, 1);
  EXPECT_EQ(message.command, 43);
  EXPECT_EQ(message.arguments[0], 1);
  EXPECT_EQ(set_monochrome(0), 0);
  EXPECT_EQ(receive(&message), 508);
  EXPECT_EQ(message.arguments[0], 0);
  EXPECT_EQ(receive(&message), -1);
}

TEST_F(ImgQueueTest, ArgumentCountIsBoundedToTheMessage) {
  std::vector<int32_t> many(300);
  std::iota(many.begin(), many.end(), 1000);
  EXPECT_EQ(img_command_send(7, many.data(), 300), 0);
  ImgMessage message{};
  ASSERT_EQ(receive(&message), 508);
  EXPECT_EQ(message.command, 7);
  EXPECT_EQ(message.arguments[125], 1125);
  EXPECT_EQ(img_command_send(8, many.data(), -5), 0);  // a negative count sends none
  ASSERT_EQ(receive(&message), 508);
  EXPECT_EQ(message.arguments[0], 0);
}

TEST_F(ImgQueueTest, FullQueueFailsAtOnce) {
  int sent = 0;
  ImgMessage filler{};
  filler.type = 1;
  while (sent < 100000 && msgsnd(queue_, &filler, kImgMessageTextSize, IPC_NOWAIT) == 0) ++sent;
  ASSERT_EQ(errno, EAGAIN);
  testing::internal::CaptureStderr();
  EXPECT_EQ(set_monochrome(1), -1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.rfind("snd queue: ", 0), 0u) << err;
}

TEST_F(ImgQueueTest, MissingKeyFileFailsTheSend) {
  imagelib::set_img_queue_path(path_ + ".absent");
  testing::internal::CaptureStderr();
  EXPECT_EQ(set_monochrome(1), -1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("img_queue: "), std::string::npos) << err;
  EXPECT_NE(err.find("snd queue: "), std::string::npos) << err;
}

}  // namespace
