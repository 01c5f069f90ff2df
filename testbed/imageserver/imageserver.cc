// Stand-in for the camera's image server: takes the messages of its System V queue (key from
// "/tmp/img_queue", project 6) and logs one line per command, "cmd=43 args=1,0,0,0".
//
//   imageserver [--log FILE] [--key PATH]     (defaults: /tmp/imageserver.log, /tmp/img_queue)
#include <fcntl.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "imagelib/img_queue.h"

namespace {

volatile std::sig_atomic_t stop_flag = 0;
void request_stop(int) {
  stop_flag = 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string log_path = "/tmp/imageserver.log";
  std::string key_path = "/tmp/img_queue";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--log") == 0) log_path = argv[i + 1];
    if (std::strcmp(argv[i], "--key") == 0) key_path = argv[i + 1];
  }
  const int key_fd = open(key_path.c_str(), O_CREAT | O_RDONLY, 0644);
  if (key_fd < 0) {
    perror(key_path.c_str());
    return 1;
  }
  close(key_fd);
  const int queue = msgget(ftok(key_path.c_str(), imagelib::kImgQueueProjectId), IPC_CREAT | 0644);
  if (queue < 0) {
    perror("img_queue");
    return 1;
  }
  FILE* log = std::fopen(log_path.c_str(), "a");
  if (log == nullptr) {
    perror(log_path.c_str());
    return 1;
  }
  struct sigaction action = {};
  action.sa_handler = request_stop;  // no SA_RESTART: the wait for a message ends
  for (int sig : {SIGINT, SIGTERM, SIGQUIT}) sigaction(sig, &action, nullptr);
  printf("imageserver: queue %d ready\n", queue);
  fflush(stdout);
  while (!stop_flag) {
    ImgMessage message{};
    const ssize_t size = msgrcv(queue, &message, kImgMessageTextSize, 0, 0);
    if (size < 0) {
      if (errno == EINTR) continue;
      perror("msgrcv");
      break;
    }
    std::fprintf(log, "cmd=%d args=%d,%d,%d,%d\n", message.command, message.arguments[0],
                 message.arguments[1], message.arguments[2], message.arguments[3]);
    std::fflush(log);
  }
  std::fclose(log);
  return 0;
}
