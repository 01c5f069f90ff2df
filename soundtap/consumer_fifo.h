// A consumer's FIFO from its "start audio PATH" request to its slot: the path is looked at
// without being opened (no link followed, only a FIFO accepted), and the object so checked
// is the one later opened for writing.
#ifndef SOUNDTAP_CONSUMER_FIFO_H_
#define SOUNDTAP_CONSUMER_FIFO_H_

#include <sys/types.h>

#include <string>

#include "common/unique_fd.h"
#include "soundtap/options.h"

namespace soundtap {

struct CheckedFifo {
  std::string path;
  UniqueFd object;  // O_PATH: pins the checked FIFO, allows no reading or writing
  dev_t dev = 0;
  ino_t ino = 0;
};

// Opens path with O_PATH | O_NOFOLLOW (which neither follows a final link nor runs a
// device's open) and keeps it only when fstat shows a FIFO. A link, a device, a directory
// or a regular file is refused; every refusal is logged.
bool check_consumer_path(const std::string& path, CheckedFifo* fifo);

// One attempt to open the checked FIFO write-only and non-blocking, through /proc/self/fd
// so that a name swapped since the check changes nothing. Invalid with errno on failure
// (ENXIO: no reader yet). Never descriptor 0, which marks a free slot.
UniqueFd open_checked_fifo(const CheckedFifo& fifo);

}  // namespace soundtap

#endif  // SOUNDTAP_CONSUMER_FIFO_H_
