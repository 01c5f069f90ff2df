// Remembered tokens: a token (its nonce, its instant and its account: one account cannot use up
// another's token) is looked for in the two groups its keyed hash names and goes
// into the emptier one. When both are full, the account holding the most tokens of those
// groups gives up its oldest one there, and tokens of that account expiring no later than the
// one given up are refused from then on (so a forgotten token can never pass again); when the
// newcomer's own account holds the most, the newcomer is refused instead.
#include "nvtd/auth/token_table.h"

#include <openssl/rand.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "nvtd/auth/hmac_sha256.h"

namespace nvtd {
namespace {

// "NTK3": tokens keyed with their account, repeats by READ class, log turns after the places.
constexpr std::uint32_t kMagic = 0x4e544b33;

using Digest = Sha256Mac;

Digest keyed_hash(const unsigned char* secret, std::string_view material) {
  return hmac_sha256(secret, 16, material);
}

template <typename T>
T read_at(const Digest& digest, std::size_t at) {
  T value;
  std::memcpy(&value, digest.data() + at, sizeof value);
  return value;
}

void append_sized(std::string& material, std::string_view text) {
  std::uint32_t size = std::uint32_t(text.size());
  material.append(reinterpret_cast<const char*>(&size), sizeof size).append(text);
}

// The account, the nonce bytes and the instant, each spelled one way only.
std::string token_material(const TokenUse& use) {
  std::string material;
  append_sized(material, use.account);
  append_sized(material, use.nonce);
  std::int64_t seconds = use.created->seconds;
  material.append(reinterpret_cast<const char*>(&seconds), sizeof seconds);
  return material.append(use.created->fraction);
}

// 24 bits of the address and the READ class, never 0 for a use that may be repeated; 0 for
// one that may not (an unknown address, an operation that changes something).
std::uint32_t repeat_hash(const unsigned char* secret, const TokenUse& use) {
  if (use.peer.empty() || use.repeat_scope.empty()) return 0;
  std::string material = "repeat:";
  append_sized(material, use.peer);
  append_sized(material, use.repeat_scope);
  std::uint32_t h = read_at<std::uint32_t>(keyed_hash(secret, material), 0) & 0xffffff;
  return h == 0 ? 1 : h;
}

std::uint32_t repeat_of(const TokenSlot& slot) {
  return slot.repeat_account >> 8;
}

std::size_t account_of(const TokenSlot& slot) {
  return slot.repeat_account & 0xff;
}

bool live(const TokenSlot& slot, std::uint32_t now) {
  return slot.forget_at != 0 && slot.forget_at >= now;
}

}  // namespace

TokenTable::TokenTable(void* memory, std::size_t groups)
    : header_(static_cast<TokenTableHeader*>(memory)),
      accounts_(reinterpret_cast<TokenAccount*>(header_ + 1)),
      slots_(reinterpret_cast<TokenSlot*>(accounts_ + kTokenAccounts)),
      log_places_(reinterpret_cast<LogPlace*>(slots_ + groups * kTokenGroupPlaces)),
      groups_(groups) {}

bool TokenTable::valid() const {
  return header_->magic == kMagic && header_->groups == groups_;
}

bool TokenTable::initialize() {
  if (RAND_bytes(header_->secret, sizeof header_->secret) != 1) return false;
  header_->groups = std::uint32_t(groups_);
  header_->magic = kMagic;
  return true;
}

LogTurn TokenTable::log_turn(std::string_view subject, std::int64_t now_ms) {
  return take_log_turn(log_places_, kTokenLogPlaces, subject, now_ms);
}

void TokenTable::derive_key(std::string_view label, unsigned char* out) const {
  std::string material = "key:";
  material.append(label);
  const Digest key = keyed_hash(header_->secret, material);
  std::memcpy(out, key.data(), key.size());
}

TokenSlot* TokenTable::group(std::size_t index) const {
  return slots_ + index * kTokenGroupPlaces;
}

// The account's entry, made on first use in a free one (no tokens, no floor still running);
// -1 when every entry is taken.
int TokenTable::account_index(std::string_view name, std::uint32_t now) {
  char key[sizeof TokenAccount::name] = {};
  std::memcpy(key, name.data(), std::min(name.size(), sizeof key - 1));
  int free_entry = -1;
  for (std::size_t i = 0; i < kTokenAccounts; ++i) {
    TokenAccount& a = accounts_[i];
    if (a.name[0] != '\0' && std::memcmp(a.name, key, sizeof key) == 0) return int(i);
    if (free_entry < 0 && a.count == 0 && a.floor < now) free_entry = int(i);
  }
  if (free_entry < 0) return -1;
  TokenAccount& a = accounts_[free_entry];
  std::memcpy(a.name, key, sizeof key);
  a.floor = 0;
  return free_entry;
}

void TokenTable::release(TokenSlot& slot) {
  TokenAccount& a = accounts_[account_of(slot)];
  if (a.count > 0) --a.count;
  slot = TokenSlot{};
}

// Gives back every expired place and counts each account's tokens afresh.
void TokenTable::sweep(std::uint32_t now) {
  for (std::size_t i = 0; i < kTokenAccounts; ++i) accounts_[i].count = 0;
  for (std::size_t i = 0; i < groups_ * kTokenGroupPlaces; ++i) {
    TokenSlot& slot = slots_[i];
    if (slot.forget_at == 0) continue;
    if (slot.forget_at < now) {
      slot = TokenSlot{};
    } else {
      ++accounts_[account_of(slot)].count;
    }
  }
  header_->last_sweep = now;
}

TokenSlot* TokenTable::make_room(std::size_t g1, std::size_t g2, int account, std::uint32_t now) {
  // The counts are exact after a pass over the whole table, made at most once a second.
  if (header_->last_sweep != now) sweep(now);
  TokenSlot* victim = nullptr;
  for (std::size_t g : {g1, g2}) {
    TokenSlot* places = group(g);
    for (std::size_t i = 0; i < kTokenGroupPlaces; ++i) {
      TokenSlot& s = places[i];
      if (victim == nullptr) {
        victim = &s;
        continue;
      }
      std::uint32_t held = accounts_[account_of(s)].count;
      std::uint32_t victim_held = accounts_[account_of(*victim)].count;
      if (held > victim_held || (held == victim_held && s.forget_at < victim->forget_at)) {
        victim = &s;
      }
    }
  }
  TokenAccount& heaviest = accounts_[account_of(*victim)];
  if (heaviest.count <= accounts_[account].count) return nullptr;
  heaviest.floor = std::max(heaviest.floor, victim->forget_at);
  release(*victim);
  return victim;
}

TokenAdmission TokenTable::admit(const TokenUse& use, std::int64_t now_ms) {
  const std::uint32_t now = std::uint32_t(now_ms / 1000);
  const std::uint32_t now_ms32 = std::uint32_t(now_ms);
  const Digest digest = keyed_hash(header_->secret, token_material(use));
  const std::uint32_t key = read_at<std::uint32_t>(digest, 0);
  const std::size_t g1 = read_at<std::uint32_t>(digest, 8) % groups_;
  const std::size_t g2 = read_at<std::uint32_t>(digest, 12) % groups_;
  const std::uint32_t repeat = repeat_hash(header_->secret, use);
  // Both groups: the token itself if remembered, expired places given back on the way.
  std::size_t used[2] = {0, 0};
  TokenSlot* free_place[2] = {nullptr, nullptr};
  const std::size_t groups[2] = {g1, g2};
  for (int n = 0; n < 2; ++n) {
    TokenSlot* places = group(groups[n]);
    for (std::size_t i = 0; i < kTokenGroupPlaces; ++i) {
      TokenSlot& s = places[i];
      if (s.forget_at != 0 && !live(s, now)) release(s);
      if (s.forget_at == 0) {
        if (free_place[n] == nullptr) free_place[n] = &s;
        continue;
      }
      ++used[n];
      if (s.key != key) continue;
      bool repeated = repeat != 0 && repeat_of(s) == repeat &&
                      std::uint32_t(now_ms32 - s.first_ms) < kTokenRepeatMs;
      return repeated ? TokenAdmission::kRepeatAllowed : TokenAdmission::kReplayed;
    }
  }
  int account = account_index(use.account, now);
  if (account < 0) return TokenAdmission::kFull;
  if (use.forget_at <= accounts_[account].floor) return TokenAdmission::kForgotten;
  TokenSlot* place = used[1] < used[0] ? free_place[1] : free_place[0];
  if (place == nullptr) place = free_place[0] != nullptr ? free_place[0] : free_place[1];
  if (place == nullptr) place = make_room(g1, g2, account, now);
  if (place == nullptr) return TokenAdmission::kFull;
  *place =
      TokenSlot{key, std::uint32_t(use.forget_at), now_ms32, repeat << 8 | std::uint32_t(account)};
  ++accounts_[account].count;
  return TokenAdmission::kAdmitted;
}

}  // namespace nvtd
