// The settings-server wire format: little-endian 32-bit words, a request header of
// command, text length and section name, a reply of status and length; and the socket
// helpers that move whole messages however TCP cuts them.
#pragma once

#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace nvtd {

constexpr uint32_t kCommandGet = 100;
constexpr uint32_t kCommandSet = 101;
constexpr uint32_t kCommandSetOther = 103;
constexpr size_t kReplyBytes = 8;

struct SettingsReply {
  uint32_t status = 0;
  uint32_t length = 0;
};

// Command, text length, name length, then the name itself (12 + n bytes).
std::string encode_request(uint32_t command, uint32_t text_length, const std::string& section);
SettingsReply decode_reply(const unsigned char bytes[kReplyBytes]);
void put_word(unsigned char* at, uint32_t word);
uint32_t get_word(const unsigned char* at);

// Writes all n bytes (no SIGPIPE); returns the number written, less than n on failure. With a
// deadline a non-blocking socket that is full is waited for until then.
size_t write_all(int fd, const void* data, size_t n, long long deadline_ms = -1);
// Reads exactly n bytes; false on error, timeout or end of stream before n bytes. With a
// deadline (from reply_deadline) the bytes must all be in by then, however they trickle in.
bool read_all(int fd, void* data, size_t n, long long deadline_ms = -1);

// The deadline for a whole reply that may take timeout_s seconds.
long long reply_deadline(int timeout_s);
// Milliseconds of the monotonic clock, the clock of every deadline here.
long long settings_clock_ms();

// Connects fd to the address, waiting at most timeout_s seconds for the connection to
// complete; fd is blocking again afterwards. 0 connected, -1 otherwise (errno tells why).
int connect_with_timeout(int fd, const sockaddr* address, socklen_t length, int timeout_s);
// The same for a socket that is and stays non-blocking (made with SOCK_NONBLOCK): no mode
// switches, and the connection's error is asked for only when there is one.
int connect_nonblocking(int fd, const sockaddr* address, socklen_t length, int timeout_s);
// The same with a deadline (monotonic ms) instead of a limit; errno ETIMEDOUT when it passed.
int connect_until(int fd, const sockaddr* address, socklen_t length, long long deadline_ms);

}  // namespace nvtd
