// Reads of the request's cached NETWORK section with a default, and NETWORK writes, each
// through a fresh settings client destroyed afterwards.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace nvtd {

// The value of a NETWORK key, at most size - 1 characters, or none when the key is
// missing (or no section is cached).
std::optional<std::string> cached_network_lookup(const char* key, std::size_t size);
// The value of a NETWORK key, at most size - 1 characters; fallback when the key is
// missing (or no section is cached).
std::string cached_network_value(const char* key, std::size_t size, const char* fallback);
// GetIntValue of a NETWORK key: -1 when missing.
int cached_network_int(const char* key);

// One record written to NETWORK (flag true, no host): 0 or the client's failure result.
int write_network_string(const char* key, const std::string& value);
int write_network_int(const char* key, int value);
// A record text of one or more lines written to NETWORK in one set.
int write_network_records(const std::string& records);

}  // namespace nvtd
