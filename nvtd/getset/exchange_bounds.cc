// The request budget, the memory of hung servers and the failed-exchange count.
#include "nvtd/getset/exchange_bounds.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "nvtd/getset/settings_wire.h"

namespace nvtd {
namespace {

thread_local long long budget_end = -1;
thread_local int failures = 0;

// address:port -> monotonic ms until which the server counts as hung. Few servers exist
// (encoder, mainboard, three peer boards, four ports), so the map stays small.
std::mutex hung_lock;
std::map<std::string, long long> hung_until;

std::string server_key(const std::string& address, const char* port) {
  return address + ":" + (port != nullptr ? port : "");
}

}  // namespace

void start_exchange_budget(long long budget_ms) {
  budget_end = settings_clock_ms() + budget_ms;
}

void end_exchange_budget() {
  budget_end = -1;
}

long long exchange_deadline(int timeout_s) {
  const long long own = reply_deadline(timeout_s);
  return budget_end < 0 ? own : std::min(own, budget_end);
}

bool server_known_hung(const std::string& address, const char* port) {
  std::lock_guard<std::mutex> hold(hung_lock);
  auto found = hung_until.find(server_key(address, port));
  if (found == hung_until.end()) return false;
  if (settings_clock_ms() < found->second) return true;
  hung_until.erase(found);
  return false;
}

void note_server_hung(const std::string& address, const char* port) {
  std::lock_guard<std::mutex> hold(hung_lock);
  hung_until[server_key(address, port)] = settings_clock_ms() + kHungMemoryMs;
}

void note_server_answered(const std::string& address, const char* port) {
  std::lock_guard<std::mutex> hold(hung_lock);
  hung_until.erase(server_key(address, port));
}

int failed_exchanges() {
  return failures;
}

void note_failed_exchange() {
  ++failures;
}

}  // namespace nvtd
