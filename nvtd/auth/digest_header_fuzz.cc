// Fuzz target: the Authorization parser over arbitrary bytes; what it accepts keeps its bounds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "nvtd/auth/digest_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy, so reading one byte past the given length is caught.
  const std::string value(reinterpret_cast<const char*>(data), size);
  nvtd::DigestCredentials c;
  if (nvtd::parse_digest_authorization(value, &c) != nvtd::DigestParse::kDigest) return 0;
  for (const std::string_view* field : {&c.username, &c.realm, &c.nonce, &c.uri, &c.response,
                                        &c.algorithm, &c.qop, &c.nc, &c.cnonce, &c.userhash}) {
    if (field->size() > nvtd::kMaxDigestParameter) __builtin_trap();
    // Every value lies in the credentials' own storage.
    const char* begin = c.storage.data();
    if (!field->empty() &&
        (field->data() < begin || field->data() + field->size() > begin + c.storage.size())) {
      __builtin_trap();
    }
  }
  if (size > nvtd::kMaxAuthorizationLength) __builtin_trap();
  return 0;
}
