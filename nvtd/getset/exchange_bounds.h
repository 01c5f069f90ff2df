// Time bounds on the exchanges with the settings servers, so that a stopped or hung server
// costs a request a few seconds and not minutes: a budget for all exchanges of one request,
// a short memory of servers found hung (later exchanges with them fail at once), and the
// count of exchanges this thread could not complete.
#pragma once

#include <string>

namespace nvtd {

// All exchanges of one request end within this; a server that did not answer in time is
// then left alone for kHungMemoryMs.
inline constexpr long long kRequestExchangeBudgetMs = 3000;
inline constexpr long long kHungMemoryMs = 5000;

// Starts (and ends) the budget of the calling thread's request; without one, an exchange
// has only its own limit.
void start_exchange_budget(long long budget_ms = kRequestExchangeBudgetMs);
void end_exchange_budget();

// The deadline (monotonic ms) of an exchange that may take timeout_s seconds: the earlier
// of that and the end of the thread's budget.
long long exchange_deadline(int timeout_s);

// Whether an exchange with address:port is to fail at once: the server was found hung less
// than kHungMemoryMs ago. Shared by all threads.
bool server_known_hung(const std::string& address, const char* port);
// Records the outcome of an exchange with a server: hung (it ran out of time) or answered.
void note_server_hung(const std::string& address, const char* port);
void note_server_answered(const std::string& address, const char* port);

// Exchanges of the calling thread that could not be completed (no connection, out of
// time, cut short), counted since the thread started; a request compares before and after.
int failed_exchanges();
void note_failed_exchange();

}  // namespace nvtd
