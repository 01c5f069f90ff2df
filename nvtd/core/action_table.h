// The action table: every operation nvtd answers, in the order its name is searched in
// the action text (first match wins, so longer names stand before the names they contain).
#pragma once

#include <cstddef>
#include <string_view>

namespace nvtd {

// How the dispatcher calls a handler.
enum class CallForm {
  kPlain,       // no arguments; the handler reads the request body itself
  kBodyPart,    // the body from its "Body" on, and the byte count from there to the end
  kWholeBody,   // the whole body and its length
  kConnection,  // plain, plus the connection's descriptor (-1 outside server mode);
                // returns 0 when it keeps the connection
};

using PlainHandler = int (*)();
using TextHandler = int (*)(const char* text, int length);
using ConnectionHandler = int (*)(int connection_fd);

struct ActionEntry {
  const char* name;  // searched as a substring of the action text, case-sensitive
  CallForm form;
  bool open;  // answered before authentication
  PlainHandler plain = nullptr;
  TextHandler text = nullptr;
  ConnectionHandler connection = nullptr;
};

// The whole table, in search order.
const ActionEntry* action_table();
std::size_t action_table_size();

// Index of the first entry whose name occurs in action_text, or -1.
int find_action(std::string_view action_text);

}  // namespace nvtd
