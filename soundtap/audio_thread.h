// audio_thread: waits for the first consumer, then reads one chunk at a time from the
// capture pipe and writes it to every registered consumer's FIFO.
#ifndef SOUNDTAP_AUDIO_THREAD_H_
#define SOUNDTAP_AUDIO_THREAD_H_

#include <cstddef>
#include <cstdint>

namespace soundtap {

// The thread body (pthread signature); ends when it sees the quit flag.
void* audio_thread(void* unused);

// Writes n bytes of chunk to every registered consumer and frees the slots of those that
// failed; closes capture and waits when the last one went. Takes ConsumerLock.
void distribute_chunk(const uint8_t* chunk, int n);

}  // namespace soundtap

#endif  // SOUNDTAP_AUDIO_THREAD_H_
