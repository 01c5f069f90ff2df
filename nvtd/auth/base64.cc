// Base64 encoding, the lenient decoder that stops at the first non-alphabet character, and
// the strict one that takes only the canonical spelling.
#include "nvtd/auth/base64.h"

namespace nvtd {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sextet(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

int base64_encode(char* out, size_t out_size, const unsigned char* in, size_t count) {
  size_t needed = base64_encoded_size(count);
  if (out == nullptr || out_size < needed + 1) return -1;
  size_t o = 0;
  for (size_t i = 0; i < count; i += 3) {
    unsigned v = unsigned(in[i]) << 16;
    if (i + 1 < count) v |= unsigned(in[i + 1]) << 8;
    if (i + 2 < count) v |= in[i + 2];
    out[o++] = kAlphabet[(v >> 18) & 63];
    out[o++] = kAlphabet[(v >> 12) & 63];
    out[o++] = i + 1 < count ? kAlphabet[(v >> 6) & 63] : '=';
    out[o++] = i + 2 < count ? kAlphabet[v & 63] : '=';
  }
  out[o] = '\0';
  return static_cast<int>(o);
}

int base64_decode(unsigned char* out, size_t out_size, const char* in, size_t count) {
  if (out == nullptr || out_size == 0) return 0;
  size_t produced = 0;
  unsigned bits = 0;
  int nbits = 0;
  for (size_t i = 0; i < count; ++i) {
    int v = sextet(in[i]);
    if (v < 0) break;
    bits = (bits << 6) | unsigned(v);
    nbits += 6;
    if (nbits >= 8) {
      nbits -= 8;
      if (produced + 1 >= out_size) break;  // keep room for the NUL
      out[produced++] = static_cast<unsigned char>((bits >> nbits) & 0xff);
    }
  }
  out[produced] = '\0';
  return static_cast<int>(produced);
}

std::string base64_encode(std::string_view bytes) {
  std::string text(base64_encoded_size(bytes.size()) + 1, '\0');
  int n = base64_encode(text.data(), text.size(),
                        reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  text.resize(n < 0 ? 0 : size_t(n));
  return text;
}

std::string base64_decode(std::string_view text) {
  std::string bytes(text.size() * 3 / 4 + 2, '\0');
  int n = base64_decode(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), text.data(),
                        text.size());
  bytes.resize(size_t(n));
  return bytes;
}

std::optional<std::string> base64_decode_strict(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  size_t padding = 0;
  while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') {
    ++padding;
  }
  std::string bytes;
  bytes.reserve(text.size() / 4 * 3);
  unsigned bits = 0;
  int nbits = 0;
  for (size_t i = 0; i < text.size() - padding; ++i) {
    int v = sextet(text[i]);
    if (v < 0) return std::nullopt;
    bits = (bits << 6) | unsigned(v);
    nbits += 6;
    if (nbits >= 8) {
      nbits -= 8;
      bytes.push_back(static_cast<char>((bits >> nbits) & 0xff));
    }
  }
  // What is left over are the unused low bits of the last character: zero in the one
  // spelling an encoder writes.
  if ((bits & ((1u << nbits) - 1)) != 0) return std::nullopt;
  return bytes;
}

}  // namespace nvtd
