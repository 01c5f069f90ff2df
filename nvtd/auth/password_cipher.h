// The users file's password cipher: RC2-CBC through OpenSSL's EVP interface, under a key
// and IV built into the program.
#pragma once

#include <openssl/types.h>

namespace nvtd {

// The cipher, fetched (and the legacy provider loaded) on the first call; nullptr when the
// library has no RC2. nvtd calls it at start-up so that no request pays for it.
const EVP_CIPHER* rc2_cbc();

// Enciphers (direction 1) or deciphers (direction 0) in_len bytes of `in` into `out`, which
// holds out_size bytes. Stores the output length in *out_len and a NUL after the output.
// Returns 0, or -1 when the library reports an error or `out` is too small (it needs
// in_len + 9 bytes: one block of padding and the NUL).
int rc2_crypt(const unsigned char* in, int in_len, unsigned char* out, int out_size, int* out_len,
              int direction);

}  // namespace nvtd
