// HMAC-SHA-256 (RFC 2104) and the digests authentication hashes with, each looked up once per
// process: OpenSSL's one-shot HMAC() and EVP_sha256()/EVP_md5() find the algorithm by name on
// every call, which costs several times the hashing of the short texts hashed here.
#pragma once

#include <openssl/evp.h>

#include <array>
#include <cstddef>
#include <string_view>

namespace nvtd {

// SHA-256 and MD5 as the library provides them (fetched on first use).
const EVP_MD* sha256_digest();
const EVP_MD* md5_digest();

using Sha256Mac = std::array<unsigned char, 32>;

// HMAC-SHA-256 of message under key. All zeros when the library fails.
Sha256Mac hmac_sha256(const unsigned char* key, std::size_t key_size, std::string_view message);

}  // namespace nvtd
