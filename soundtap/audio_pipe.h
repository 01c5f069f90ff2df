// AudioPipe: the one capture stream of the sound card ("default"), mono at the process
// rate, read in fixed chunks with overrun recovery; in AAC mode each chunk is encoded.
// Its messages go to standard output and standard error, not to the daemon's log.
#ifndef SOUNDTAP_AUDIO_PIPE_H_
#define SOUNDTAP_AUDIO_PIPE_H_

#include <alsa/asoundlib.h>

#include <cstddef>
#include <cstdint>

#include "soundtap/aacenc/aac_encoder.h"

namespace soundtap {

constexpr size_t kAudioChunkBytes = 2048;

// Returns 0, or 1 when the device cannot be opened (reads then return 0 until the next open).
int audio_pipe_open(int32_t encoding, int32_t rate, int32_t bitrate);

// Configures the stream; returns the period size in frames. Ends the process on failure.
snd_pcm_uframes_t set_params(snd_pcm_t* handle);

// Raw samples for PCM and u-law (always the full chunk), one ADTS frame for AAC; 0 when
// there is no stream or no working encoder.
int audio_pipe_read(uint8_t* buffer, size_t max_bytes);

// Closes the stream and releases the encoder memory; returns 0.
int audio_pipe_close();

// The AAC encoder used by later opens (the VisualOn one unless a test stands in).
void set_aac_encoder_api(const AacEncoderApi* api);

}  // namespace soundtap

#endif  // SOUNDTAP_AUDIO_PIPE_H_
