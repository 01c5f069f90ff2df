// Standard Base64 (RFC 4648 alphabet, "=" padding), as used for password digests, nonces and
// the enciphered secrets of the users file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace nvtd {

// Size of the Base64 text of count bytes, without the terminating NUL.
constexpr size_t base64_encoded_size(size_t count) {
  return (count + 2) / 3 * 4;
}

// Writes the Base64 text of count bytes and a terminating NUL into out (out_size bytes).
// Returns the text length, or -1 (and writes nothing) when out is too small.
int base64_encode(char* out, size_t out_size, const unsigned char* in, size_t count);

// Decodes up to count characters of in, stopping at the first character outside the
// alphabet ("=" included). Writes the whole bytes produced and a NUL after them into out
// (out_size bytes; a short out cuts the result). Returns the number of bytes produced:
// 1 character gives 0, 2 give 1, 3 give 2, 4 give 3.
int base64_decode(unsigned char* out, size_t out_size, const char* in, size_t count);

std::string base64_encode(std::string_view bytes);
std::string base64_decode(std::string_view text);

// The bytes of exactly one canonical spelling: alphabet characters in groups of four, "="
// only as the last one or two characters of the last group, unused bits zero, nothing else
// (no blanks). nullopt for any other text, so that no two texts give the same bytes.
std::optional<std::string> base64_decode_strict(std::string_view text);

}  // namespace nvtd
