// The 401 challenge answer.
#include "nvtd/auth/digest_challenge.h"

#include <ctime>
#include <string>

#include "nvtd/auth/digest_check.h"
#include "nvtd/auth/digest_nonce.h"
#include "nvtd/soap/faults.h"
#include "nvtd/soap/writers.h"

namespace nvtd {

void send_digest_challenge(Reply& reply, bool stale) {
  reply.append(reply.mode() == RunMode::kServer ? "HTTP/1.0 401 Unauthorized\r\n"
                                                : "Status: 401 Unauthorized\r\n");
  NonceKey key;
  // Without the shared memory no nonce could be checked: the answer then carries no challenge.
  if (digest_nonce_key(&key)) {
    const std::string nonce = make_digest_nonce(key, std::int64_t(std::time(nullptr)));
    for (const char* algorithm : {"MD5", "SHA-256"}) {
      out_printf(reply,
                 "WWW-Authenticate: Digest realm=\"%s\", qop=\"auth\", algorithm=%s, "
                 "nonce=\"%s\"%s\r\n",
                 kDigestRealm, algorithm, nonce.c_str(), stale ? ", stale=true" : "");
    }
  }
  send_fault(reply, 0, "%s", fault_body(Fault::kHttpUnauthorized).c_str());
}

}  // namespace nvtd
