// The settings client: one connection per get or set, the failure codes and messages
// callers and logs rely on, and repetition of sets to the peer boards.

#include "nvtd/getset/settings_client.h"

#include <netdb.h>
#include <sys/socket.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "common/unique_fd.h"
#include "nvtd/getset/exchange_bounds.h"
#include "nvtd/getset/settings_wire.h"
#include "nvtd/getset/value_lookup.h"

namespace nvtd {
namespace {

struct SectionRoute {
  const char* name;
  const char* port;
};

constexpr SectionRoute kRoutes[] = {
    {"ENCODE", "20000"},  {"STREAM0", "20000"}, {"STREAM1", "20000"}, {"STREAM2", "20000"},
    {"STREAM3", "20000"}, {"VINVOUT", "20000"}, {"ACTION", "20000"},  {"OSD", "20000"},
    {"IMAGE", "20002"},   {"MOTION", "20002"},  {"CAM", "20004"},     {"HIVE", "20004"},
    {"RECORD", "20004"},  {"WEC", "20004"},     {"INFO", "20004"},    {"EXTNET", "20006"},
    {"EXTINFO", "20006"},
};

bool on_mainboard(const std::string& section) {
  return section == "EXTNET" || section == "EXTINFO";
}

constexpr size_t kIntRecordBytes = 50;
constexpr size_t kStringRecordBytes = 200;

}  // namespace

const char* SectionPort(const std::string& section) {
  for (const SectionRoute& route : kRoutes) {
    if (section == route.name) return route.port;
  }
  return nullptr;
}

int ConnectWithTimeout(int fd, const sockaddr* address, socklen_t length) {
  return connect_with_timeout(fd, address, length, 5);
}

SettingsClient::SettingsClient() : SettingsClient(settings_setup()) {}

SettingsClient::SettingsClient(const SettingsSetup& setup)
    : SettingsClient(setup, read_server_addresses(setup)) {}

SettingsClient::SettingsClient(const SettingsSetup& setup, ServerAddresses addresses)
    : setup_(setup),
      replicator_(setup.peer_boards),
      encoder_address_(std::move(addresses.encoder)),
      mainboard_address_(std::move(addresses.mainboard)) {}

std::string SettingsClient::ServerFor(const std::string& section, const char* host) const {
  if (on_mainboard(section)) return mainboard_address_;
  return host != nullptr ? std::string(host) : encoder_address_;
}

// Resolves and connects; 0 with *fd_out set, -2 resolver error, -3 no address connected
// (at once for a server found hung a moment ago, or when the request's budget is spent).
int SettingsClient::Connect(const std::string& address, const char* port, bool is_get,
                            int* fd_out) const {
  if (server_known_hung(address, port)) {
    std::fprintf(stderr, "client: %s/%s did not answer a moment ago\n", address.c_str(), port);
    return -3;
  }
  const long long deadline = exchange_deadline(setup_.connect_timeout_s);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int rc = ::getaddrinfo(address.c_str(), port, &hints, &found);
  if (rc != 0) {
    if (is_get) {
      std::fprintf(stderr, "getaddrinfo for %s/%s: %s\n", address.c_str(), port, gai_strerror(rc));
    } else {
      std::fprintf(stderr, "getaddrinfo: %s\n", gai_strerror(rc));
    }
    return -2;
  }
  UniqueFd fd;
  for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
    // Non-blocking throughout: every wait of the exchange is a poll against its deadline.
    UniqueFd s(
        ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol));
    if (!s.valid()) {
      std::perror("client: socket");
      continue;
    }
    if (connect_until(s.get(), a->ai_addr, a->ai_addrlen, deadline) != 0) {
      std::perror("client: connect");
      if (errno == ETIMEDOUT) note_server_hung(address, port);
      continue;
    }
    fd = std::move(s);
    break;
  }
  ::freeaddrinfo(found);
  if (!fd.valid()) {
    std::fprintf(stderr, "client: failed to connect\n");
    return -3;
  }
  *fd_out = fd.release();
  return 0;
}

int SettingsClient::GetSection(const std::string& section, const char* host) {
  return ReceiveGet(section, SendGet(section, host));
}

SettingsClient::PendingGet SettingsClient::SendGet(const std::string& section, const char* host) {
  PendingGet pending;
  if (section == "NETWORK") {
    pending.result = build_network_section(&current_, &text_);
    return pending;
  }
  text_.clear();
  const std::string address = ServerFor(section, host);
  const char* port = SectionPort(section);
  if (port == nullptr) {
    std::fprintf(stderr, "failed to map section name %s\n", section.c_str());
    pending.result = -1;
    return pending;
  }
  int raw_fd = -1;
  pending.result = Connect(address, port, true, &raw_fd);
  if (pending.result != 0) return pending;
  UniqueFd fd(raw_fd);
  pending.server = address;
  pending.port = port;
  // The whole reply within the limit: a server that trickles bytes cannot hold the request.
  pending.deadline = exchange_deadline(setup_.reply_timeout_s);
  std::string request = encode_request(kCommandGet, 0, section);
  size_t wrote = write_all(fd.get(), request.data(), request.size(), pending.deadline);
  if (wrote != request.size()) {
    std::printf("GetSection: only wrote %d of %d for section %s\n", static_cast<int>(wrote),
                static_cast<int>(request.size()), section.c_str());
    pending.result = -4;
    return pending;
  }
  pending.connection = std::move(fd);
  return pending;
}

int SettingsClient::ReceiveGet(const std::string& section, PendingGet pending) {
  const int result = FinishGet(section, pending);
  // NETWORK is built here, not got: only exchanges with a server count.
  if (result != 0 && section != "NETWORK") note_failed_exchange();
  if (pending.port == nullptr) return result;
  if (result != 0 && settings_clock_ms() >= pending.deadline) {
    note_server_hung(pending.server, pending.port);
  } else if (result == 0) {
    note_server_answered(pending.server, pending.port);
  }
  return result;
}

int SettingsClient::FinishGet(const std::string& section, PendingGet& pending) {
  if (!pending.connection.valid()) return pending.result;
  const int fd = pending.connection.get();
  unsigned char head[kReplyBytes];
  if (!read_all(fd, head, sizeof head, pending.deadline)) return -5;
  SettingsReply reply = decode_reply(head);
  if (reply.status != 0) return 0;  // no records: every lookup falls back to its default
  if (reply.length > kMaxTextBytes) {
    std::fprintf(stderr, "GetSection: section %s of %u bytes is over the %u-byte limit\n",
                 section.c_str(), static_cast<unsigned>(reply.length),
                 static_cast<unsigned>(kMaxTextBytes));
    return -6;
  }
  std::string text(reply.length, '\0');
  if (!read_all(fd, text.data(), text.size(), pending.deadline)) return -6;
  // The text ends at its first NUL, as the server's C strings do.
  text_ = text.substr(0, text.find('\0'));
  return 0;
}

int SettingsClient::SetSection(const std::string& section, const std::string& records, bool flag,
                               const char* host) {
  if (section == "NETWORK") return apply_network_section(records, &current_, &desired_);
  const std::string address = ServerFor(section, host);
  const char* port = SectionPort(section);
  if (port == nullptr) return -1;
  bool broken = true;  // the exchange did not run to the server's final status
  const int rc = ExchangeSet(address, port, section, records, flag, &broken);
  // A set the server could not take (rather than one it refused) leaves the request failed.
  if (broken && host == nullptr) note_failed_exchange();
  if (rc != 0 || host != nullptr) return rc;
  return replicator_.Repeat(*this, section, records, flag) == 0 ? 0 : -1;
}

int SettingsClient::ExchangeSet(const std::string& address, const char* port,
                                const std::string& section, const std::string& records, bool flag,
                                bool* broken) {
  int raw_fd = -1;
  int rc = Connect(address, port, false, &raw_fd);
  if (rc == -2) return -1;
  if (rc != 0) return -2;
  UniqueFd fd(raw_fd);
  const long long deadline = exchange_deadline(setup_.reply_timeout_s);  // the whole exchange
  auto cut_short = [&] {
    if (settings_clock_ms() >= deadline) note_server_hung(address, port);
    return -1;
  };
  std::string request =
      encode_request(flag ? kCommandSet : kCommandSetOther, records.size(), section);
  size_t wrote = write_all(fd.get(), request.data(), request.size(), deadline);
  if (wrote != request.size()) {
    std::printf("%s line %d: only wrote %d of %d\n", "getset", __LINE__, static_cast<int>(wrote),
                static_cast<int>(request.size()));
    return cut_short();
  }
  unsigned char head[kReplyBytes];
  if (!read_all(fd.get(), head, sizeof head, deadline)) return cut_short();
  SettingsReply reply = decode_reply(head);
  if (reply.status == 0) {
    wrote = write_all(fd.get(), records.data(), records.size(), deadline);
    if (wrote != records.size()) {
      std::printf("%s line %d: only wrote %d of %d\n", "getset", __LINE__, static_cast<int>(wrote),
                  static_cast<int>(records.size()));
      return cut_short();
    }
    if (!read_all(fd.get(), head, sizeof head, deadline)) return cut_short();
    reply = decode_reply(head);
  }
  *broken = false;
  note_server_answered(address, port);
  return reply.status != 0 ? -1 : 0;
}

int SettingsClient::GetValue(const char* key, char* out, size_t capacity) const {
  return find_value(text_, key, out, capacity);
}

int SettingsClient::GetValue(const std::string& key, std::string* out, size_t capacity) const {
  return find_value(text_, key, out, capacity);
}

int SettingsClient::GetIntValue(const char* key) const {
  char value[80];
  if (find_value(text_, key, value, sizeof value) != 0) return -1;
  return parse_int_value(value);
}

namespace {

bool writable_key(const std::string& key) {
  if (key.empty()) return false;
  for (char c : key) {
    if (c == '"' || c == '=' || std::isspace(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

}  // namespace

int SettingsClient::SetIntValue(const std::string& section, const std::string& key, int value,
                                bool flag, const char* host) {
  char record[kIntRecordBytes];
  int n = std::snprintf(record, sizeof record, "%s = %d\n", key.c_str(), value);
  if (!writable_key(key) || n < 0 || static_cast<size_t>(n) >= sizeof record) {
    std::fprintf(stderr, "SetIntValue: refused record for %s in %s\n", key.c_str(),
                 section.c_str());
    return -1;
  }
  return SetSection(section, record, flag, host);
}

int SettingsClient::SetStringValue(const std::string& section, const std::string& key,
                                   const std::string& value, bool flag, const char* host) {
  char record[kStringRecordBytes];
  int n = std::snprintf(record, sizeof record, "%s = \"%s\"\n", key.c_str(), value.c_str());
  bool one_record =
      value.find_first_of("\"\r\n") == std::string::npos && value.find('\0') == std::string::npos;
  if (!writable_key(key) || !one_record || n < 0 || static_cast<size_t>(n) >= sizeof record) {
    std::fprintf(stderr, "SetStringValue: refused record for %s in %s\n", key.c_str(),
                 section.c_str());
    return -1;
  }
  return SetSection(section, record, flag, host);
}

}  // namespace nvtd
