// The control queues "/sndq" and "/sndqr" and the request loop.
#include "soundtap/control_queue.h"

#include <fcntl.h>
#include <unistd.h>

#include <vector>

#include "soundtap/audio_stream.h"
#include "soundtap/consumer_fifo.h"
#include "soundtap/log.h"
#include "soundtap/request.h"

namespace soundtap {

int OpenControlQueues(ControlQueues* queues) {
  struct mq_attr attr = {};
  attr.mq_maxmsg = kQueueMessages;
  attr.mq_msgsize = kQueueMessageBytes;
  queues->request = mq_open(kRequestQueue, O_RDWR | O_CREAT | O_NONBLOCK, 0600, &attr);
  if (queues->request == static_cast<mqd_t>(-1)) return -1;
  queues->reply = mq_open(kReplyQueue, O_WRONLY | O_CREAT | O_NONBLOCK, 0600, &attr);
  if (queues->reply == static_cast<mqd_t>(-1)) return -1;
  return 0;
}

void HandleRequest(const std::string& text, const ControlQueues& queues, const Settings& settings) {
  log_message("%s: read [%s]\n", "CheckReqFifo", text.c_str());
  const std::vector<std::string> tokens = TokenizeRequest(text);
  for (size_t i = 0; i < tokens.size(); ++i) {
    log_message("token[%d] = [%s]\n", static_cast<int>(i), tokens[i].c_str());
  }
  const Request request = ClassifyRequest(tokens);
  if (request.kind == RequestKind::kGetInfo) {
    const std::string reply = FormatInfoReply(settings);
    if (mq_send(queues.reply, reply.c_str(), reply.size() + 1, 0) != 0) {
      log_message("soundtap:: error responding to getinfo");
    }
  } else if (request.kind == RequestKind::kStartAudio) {
    RegisterConsumer(request.path, settings);
  }
}

void CheckReqFifo(const ControlQueues& queues, const Settings& settings) {
  while (!Quit) {
    struct mq_attr attr = {};
    if (mq_getattr(queues.request, &attr) != 0) {
      log_message("error getting mq attr!\n");
    } else if (attr.mq_curmsgs > 0) {
      const long n = attr.mq_curmsgs;
      std::vector<char> buffer(static_cast<size_t>(attr.mq_msgsize) + 1);
      log_message("read %d msgs, size = %d\n", static_cast<int>(n),
                  static_cast<int>(attr.mq_msgsize));
      for (long i = 0; i < n; ++i) {
        const ssize_t len = mq_receive(queues.request, buffer.data(),
                                       static_cast<size_t>(attr.mq_msgsize), nullptr);
        if (len < 0) break;  // taken by someone else meanwhile: nothing to handle
        buffer[static_cast<size_t>(len)] = '\0';
        HandleRequest(std::string(buffer.data()), queues, settings);
      }
    }
    sleep(1);
  }
}

}  // namespace soundtap
