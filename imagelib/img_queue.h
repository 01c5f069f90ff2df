// Commands to the image server over its System V message queue (key from "/tmp/img_queue").
#pragma once

#include <cstdint>
#include <string>

constexpr int kImgCommandMonochrome = 43;
constexpr int kImgMaxArguments = 126;

// The message as queued: type 1, the command and up to 126 arguments (508 bytes of text).
struct ImgMessage {
  long type;
  int32_t command;
  int32_t arguments[kImgMaxArguments];
};
constexpr size_t kImgMessageTextSize = sizeof(int32_t) * (1 + kImgMaxArguments);
static_assert(kImgMessageTextSize == 508);

// Sends command with the first n arguments (n is bounded to 0..126) without waiting;
// returns 0, or -1 when the message can't be queued.
int img_command_send(int command, const int32_t* arguments, int n);
// Command 43: 1 makes the picture monochrome, 0 colour.
int set_monochrome(int on);

namespace imagelib {

// The file whose key names the queue; "/tmp/img_queue" unless changed (tests, stand-ins).
void set_img_queue_path(const std::string& path);
const std::string& img_queue_path();
constexpr int kImgQueueProjectId = 6;

}  // namespace imagelib
