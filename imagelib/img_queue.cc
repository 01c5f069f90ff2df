// The image-server message sender.
#include "imagelib/img_queue.h"

#include <sys/ipc.h>
#include <sys/msg.h>

#include <algorithm>
#include <cstdio>

namespace imagelib {

namespace {
std::string& queue_path() {
  static std::string path = "/tmp/img_queue";
  return path;
}
}  // namespace

void set_img_queue_path(const std::string& path) {
  queue_path() = path;
}
const std::string& img_queue_path() {
  return queue_path();
}

}  // namespace imagelib

int img_command_send(int command, const int32_t* arguments, int n) {
  const key_t key = ftok(imagelib::img_queue_path().c_str(), imagelib::kImgQueueProjectId);
  const int queue = key == -1 ? -1 : msgget(key, IPC_CREAT | 0644);
  if (queue < 0) perror("img_queue");

  ImgMessage message{};
  message.type = 1;
  message.command = command;
  n = arguments == nullptr ? 0 : std::clamp(n, 0, kImgMaxArguments);
  std::copy(arguments, arguments + n, message.arguments);
  const int result = msgsnd(queue, &message, kImgMessageTextSize, IPC_NOWAIT);
  if (result < 0) perror("snd queue");
  return result;
}

int set_monochrome(int on) {
  const int32_t argument = on;
  return img_command_send(kImgCommandMonochrome, &argument, 1);
}
