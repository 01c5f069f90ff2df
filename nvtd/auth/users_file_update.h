// Changing the users file from nvtd (CreateUsers, SetUser, DeleteUsers): read, change and
// rewrite it whole under a lock that every nvtd process takes, so concurrent CGI processes
// never lose each other's changes and a reader never sees a partial file.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace nvtd {

// The file authentication reads: UsersFilePath when it opens, else UsersFileFallbackPath when
// that opens, else UsersFilePath (where a first account is written).
std::string users_file_in_use();

// Every line of the file in use, without line ends, into *lines (empty when there is no
// file). Returns 0, or -1 when a file exists but cannot be read.
int read_users_lines(std::vector<std::string>* lines);

// Takes the lock (UsersFilePath + ".lock", a root-only file made with its directory when
// missing; waited for at most 5 s), reads the file in use, hands its lines to `change` and,
// when change returns 0 and changed them, writes the lines back: a temporary file in the same
// directory (mode 0600), fsync, rename over the file (over the one a link names), fsync of
// the directory. Returns change's result (its own refusals are positive), or -1 when the
// lock, the read or the write failed (the file is then as it was, no temporary file left).
int update_users_file(const std::function<int(std::vector<std::string>&)>& change);

}  // namespace nvtd
