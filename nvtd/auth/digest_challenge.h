// The 401 answer that asks for HTTP Digest: a status (a status line in server mode, a CGI
// "Status:" header in the CGI and relay modes, which the web server turns into its status
// line), two WWW-Authenticate challenges with one new nonce, MD5 first (the algorithm ONVIF
// clients assume) then SHA-256, both qop "auth", and a ter:NotAuthorized fault body.
#pragma once

#include "nvtd/core/reply.h"

namespace nvtd {

// stale: the nonce of the request was right but old (stale=true tells the client to answer
// the new nonce without asking its user again).
void send_digest_challenge(Reply& reply, bool stale);

}  // namespace nvtd
