// What a room tells the dispatcher about one of its operations: the name searched in the
// action text, the service it belongs to, who may call it, how the handler is called, and the
// handler. Rooms export their operations as slices; the program assembles them into one
// OperationTable.
#pragma once

#include <string_view>
#include <vector>

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// The services an operation belongs to, each known by its namespace (and address). kUnserved
// stands for every other ONVIF service namespace: no operation belongs to it.
enum class Service : unsigned char {
  kDevice,
  kDeviceIo,
  kMedia,
  kMedia2,
  kEvents,
  kImaging,
  kUnserved,
};

// The ONVIF access classes. PRE_AUTH operations are answered before authentication.
enum class AccessClass : unsigned char {
  kPreAuth,
  kReadSystem,
  kReadSystemSensitive,
  kReadSystemSecret,
  kWriteSystem,
  kUnrecoverable,
  kReadMedia,
  kActuate,
};

// How the dispatcher calls a handler.
enum class CallForm : unsigned char {
  kRequest,     // the whole request
  kBodyPart,    // only when the body has "Body"; the handler reads request.body_part()
  kConnection,  // the whole request, whose connection the handler may keep (held
                // PullMessages): it returns kConnectionKept when it keeps it
};

// What a handler did with its request.
enum class HandlerOutcome {
  kAnswered,        // done: the run mode sends the reply (whatever it holds) and goes on
  kConnectionKept,  // a kConnection handler kept the connection and answers it later
};

// How the name is searched in the action text.
enum class NameMatch : unsigned char {
  kSubstring,  // anywhere, case-sensitive; searched first, in table order
  kWholeWord,  // only as a whole word, and only when no substring entry matched (the bare
               // names some clients use, "http://docs.oasis-open.org/wsn/b-2/Subscribe")
};

using Handler = HandlerOutcome (*)(const Request& request, Reply& reply);

struct Operation {
  const char* name;
  Service service;
  AccessClass access;
  CallForm form;
  Handler handler;
  NameMatch match = NameMatch::kSubstring;

  bool open() const { return access == AccessClass::kPreAuth; }
};

using OperationSlice = std::vector<Operation>;

}  // namespace nvtd
