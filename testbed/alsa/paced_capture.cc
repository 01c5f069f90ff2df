// A capture device paced by the clock, as ALSA's external I/O plugin "pacedcap": frames
// arrive at the sample rate, and a reader that falls a whole buffer behind gets an overrun,
// as from a real sound card. Options narrow what the device offers, so the parameter
// steps of a client can be driven into their refusals:
//   pcm.default { type pacedcap  rate 8000  periods 1  buffer_bytes 4096 }
// Samples are a counter: the n-th frame delivered holds n mod 65536 in every channel.
#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>
#include <errno.h>
#include <poll.h>
#include <string.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>

namespace {

struct PacedCapture {
  snd_pcm_ioplug_t io = {};
  int timer_fd = -1;
  long long start_ns = 0;
  snd_pcm_uframes_t produced = 0;  // frames handed to the reader since start
  unsigned sample = 0;             // the counter written into the next frame
};

PacedCapture* Of(snd_pcm_ioplug_t* io) {
  return static_cast<PacedCapture*>(io->private_data);
}

long long NowNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

// Frames the clock has produced since start.
snd_pcm_uframes_t Elapsed(const PacedCapture& p) {
  return snd_pcm_uframes_t((NowNs() - p.start_ns) * (long long)p.io.rate / 1000000000LL);
}

int Start(snd_pcm_ioplug_t* io) {
  PacedCapture* p = Of(io);
  p->start_ns = NowNs();
  p->produced = 0;
  itimerspec tick = {{0, 5000000}, {0, 5000000}};  // the reader is woken every 5 ms
  return timerfd_settime(p->timer_fd, 0, &tick, nullptr) < 0 ? -errno : 0;
}

int Stop(snd_pcm_ioplug_t* io) {
  itimerspec off = {};
  timerfd_settime(Of(io)->timer_fd, 0, &off, nullptr);
  return 0;
}

// The hardware position in the buffer; -EPIPE once the reader is a whole buffer behind.
snd_pcm_sframes_t Pointer(snd_pcm_ioplug_t* io) {
  PacedCapture* p = Of(io);
  const snd_pcm_uframes_t elapsed = Elapsed(*p);
  // A full buffer not taken is an overrun, as the stop threshold of a card says.
  if (elapsed - p->produced >= io->buffer_size) return -EPIPE;
  return snd_pcm_sframes_t(elapsed % io->buffer_size);
}

snd_pcm_sframes_t Transfer(snd_pcm_ioplug_t* io, const snd_pcm_channel_area_t* areas,
                           snd_pcm_uframes_t offset, snd_pcm_uframes_t size) {
  PacedCapture* p = Of(io);
  for (snd_pcm_uframes_t f = 0; f < size; ++f, ++p->sample) {
    for (unsigned c = 0; c < io->channels; ++c) {
      const snd_pcm_channel_area_t& a = areas[c];
      char* at = static_cast<char*>(a.addr) + (a.first + (offset + f) * a.step) / 8;
      const uint16_t value = uint16_t(p->sample);
      memcpy(at, &value, sizeof value);
    }
  }
  p->produced += size;
  return snd_pcm_sframes_t(size);
}

int Prepare(snd_pcm_ioplug_t* io) {
  Of(io)->produced = 0;
  return Stop(io);
}

int PollRevents(snd_pcm_ioplug_t* io, struct pollfd* pfd, unsigned nfds, unsigned short* revents) {
  uint64_t ticks;
  if (nfds == 1 && read(pfd[0].fd, &ticks, sizeof ticks) < 0 && errno != EAGAIN) return -errno;
  *revents = io->state == SND_PCM_STATE_RUNNING ? POLLIN : 0;
  return 0;
}

int Close(snd_pcm_ioplug_t* io) {
  PacedCapture* p = Of(io);
  close(p->timer_fd);
  delete p;
  return 0;
}

const snd_pcm_ioplug_callback_t kCallbacks = [] {
  snd_pcm_ioplug_callback_t c = {};
  c.start = Start;
  c.stop = Stop;
  c.pointer = Pointer;
  c.transfer = Transfer;
  c.close = Close;
  c.prepare = Prepare;
  c.poll_revents = PollRevents;
  return c;
}();

// Reads an integer option; false when it is there but not an integer.
bool IntOption(snd_config_t* n, long* value) {
  return snd_config_get_integer(n, value) >= 0;
}

int Constrain(snd_pcm_ioplug_t* io, long rate, long periods, long buffer_bytes) {
  static const unsigned kAccess[] = {SND_PCM_ACCESS_RW_INTERLEAVED};
  static const unsigned kFormats[] = {SND_PCM_FORMAT_S16_LE};
  int err = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_ACCESS, 1, kAccess);
  if (err >= 0) err = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_FORMAT, 1, kFormats);
  if (err >= 0) err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_CHANNELS, 1, 2);
  if (err >= 0) {
    err = rate > 0 ? snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_RATE, rate, rate)
                   : snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_RATE, 8000, 48000);
  }
  if (err >= 0)
    err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 128, 16384);
  if (err >= 0) {  // at most 8192 mono frames: 170 ms at 48 kHz
    err = buffer_bytes > 0
              ? snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_BUFFER_BYTES, buffer_bytes,
                                                buffer_bytes)
              : snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_BUFFER_BYTES, 256, 16384);
  }
  if (err >= 0) {
    err = periods > 0
              ? snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIODS, periods, periods)
              : snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIODS, 2, 64);
  }
  return err;
}

}  // namespace

extern "C" {

SND_PCM_PLUGIN_DEFINE_FUNC(pacedcap) {
  (void)root;  // the device takes no references to other definitions
  long rate = 0, periods = 0, buffer_bytes = 0;
  snd_config_iterator_t i, next;
  snd_config_for_each(i, next, conf) {
    snd_config_t* n = snd_config_iterator_entry(i);
    const char* id;
    if (snd_config_get_id(n, &id) < 0) continue;
    if (!strcmp(id, "comment") || !strcmp(id, "type") || !strcmp(id, "hint")) continue;
    if (!strcmp(id, "rate") && IntOption(n, &rate)) continue;
    if (!strcmp(id, "periods") && IntOption(n, &periods)) continue;
    if (!strcmp(id, "buffer_bytes") && IntOption(n, &buffer_bytes)) continue;
    SNDERR("Unknown field %s", id);
    return -EINVAL;
  }
  if (stream != SND_PCM_STREAM_CAPTURE) return -EINVAL;

  PacedCapture* p = new PacedCapture;
  p->timer_fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (p->timer_fd < 0) {
    delete p;
    return -errno;
  }
  p->io.version = SND_PCM_IOPLUG_VERSION;
  p->io.name = "clock-paced capture";
  p->io.callback = &kCallbacks;
  p->io.private_data = p;
  p->io.poll_fd = p->timer_fd;
  p->io.poll_events = POLLIN;
  int err = snd_pcm_ioplug_create(&p->io, name, stream, mode);
  if (err < 0) {
    close(p->timer_fd);
    delete p;
    return err;
  }
  err = Constrain(&p->io, rate, periods, buffer_bytes);
  if (err < 0) {
    snd_pcm_ioplug_delete(&p->io);  // calls Close
    return err;
  }
  *pcmp = p->io.pcm;
  return 0;
}

SND_PCM_PLUGIN_SYMBOL(pacedcap)

}  // extern "C"
