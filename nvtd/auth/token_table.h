// The table of remembered UsernameTokens, laid out in one block of zeroed memory (a process's
// pages or a shared file): a header with a secret, a table of accounts with the number of
// tokens each holds, places for tokens in groups, found by a keyed hash of the token and the
// account that used it, and the log turns of the memory's refusals.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "nvtd/auth/created_time.h"
#include "nvtd/core/log_limiter.h"

namespace nvtd {

inline constexpr std::size_t kTokenGroupPlaces = 16;
inline constexpr std::size_t kTokenGroups = 8192;  // 131,072 places
inline constexpr std::size_t kTokenAccounts = 256;
inline constexpr std::uint32_t kTokenRepeatMs = 1000;
inline constexpr std::size_t kTokenLogPlaces = 65;

// What a token is remembered by (its nonce bytes, its instant and its account), and what
// decides whether it may be repeated.
struct TokenUse {
  std::string_view nonce;  // the decoded nonce bytes
  const CreatedTime* created;
  std::int64_t forget_at;    // Created + window: when it could no longer pass anyway
  std::string_view account;  // the user name as compared with the users file
  std::string_view peer;     // the client's address; "" when unknown
  // The READ class of the operation, whose requests change nothing: the same token on an
  // operation of the same class from the same address may come again within kTokenRepeatMs.
  // "" when the request must have a token of its own.
  std::string_view repeat_scope;
};

enum class TokenAdmission {
  kAdmitted,       // new: remembered
  kRepeatAllowed,  // the same token again on an operation of the same READ class, from the
                   // same address within kTokenRepeatMs: passes
  kReplayed,       // seen before: refused
  kFull,           // no place, and this account holds the most tokens of its groups: refused
  kForgotten,      // older than tokens of this account given up to make room: refused
  kUnavailable,    // the memory itself cannot be had (no memory, a file not to be trusted or
                   // not usable): refused
};

// 16 bytes. The key is 32 bits of the keyed hash: a token is compared only with the 32 places
// of its two groups, which another token matches by chance once in 2^27 or so.
struct TokenSlot {
  std::uint32_t key;
  std::uint32_t forget_at;       // 0: free
  std::uint32_t first_ms;        // wall clock of the first use, milliseconds modulo 2^32
  std::uint32_t repeat_account;  // 24 bits of a keyed hash of the first use's address and
                                 // operation (0: no repeat), then the account's index
};

static_assert(sizeof(TokenSlot) == 16 && kTokenAccounts <= 256, "a slot holds the index in 8 bits");

struct TokenAccount {
  char name[12];        // NUL-padded; all zero when free
  std::uint32_t count;  // places it holds (expired ones not yet given back included)
  std::uint32_t floor;  // tokens that expire at or before this are refused
  std::uint32_t spare;
};

struct TokenTableHeader {
  std::uint32_t magic;
  std::uint32_t groups;
  std::uint32_t last_sweep;  // second of the last full pass
  std::uint32_t spare;
  unsigned char secret[16];
};

// Bytes of a table with this many groups.
constexpr std::size_t token_table_size(std::size_t groups) {
  return sizeof(TokenTableHeader) + kTokenAccounts * sizeof(TokenAccount) +
         groups * kTokenGroupPlaces * sizeof(TokenSlot) + kTokenLogPlaces * sizeof(LogPlace);
}

// A view of a table in memory of token_table_size(groups) bytes.
class TokenTable {
 public:
  TokenTable(void* memory, std::size_t groups);
  // Whether the block holds a table of this size (else it is to be made afresh).
  bool valid() const;
  // Makes an empty table in a zeroed block: a new secret from the system's random source.
  // False when no random bytes could be had.
  bool initialize();
  TokenAdmission admit(const TokenUse& use, std::int64_t now_ms);
  // The log turn of a refusal about subject, shared by every process that uses the table.
  LogTurn log_turn(std::string_view subject, std::int64_t now_ms);
  // 32 bytes of a key for another purpose (label), derived from the table's secret: what
  // the processes that share the table share.
  void derive_key(std::string_view label, unsigned char* out) const;

 private:
  TokenSlot* group(std::size_t index) const;
  int account_index(std::string_view name, std::uint32_t now);
  void release(TokenSlot& slot);
  void sweep(std::uint32_t now);
  TokenSlot* make_room(std::size_t g1, std::size_t g2, int account, std::uint32_t now);

  TokenTableHeader* header_;
  TokenAccount* accounts_;
  TokenSlot* slots_;
  LogPlace* log_places_;
  std::size_t groups_;
};

}  // namespace nvtd
