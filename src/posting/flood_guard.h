// The flood guard that every posting form shares (topics, replies, private messages): one
// accepted submission per SubmitInterval seconds per session and per remote address.
#pragma once

#include <string_view>

#include "host/context.h"
#include "runtime/datetime.h"

namespace cb {

// True (and the submission counted from now) when the session's last accepted submission and the
// address's are both more than interval seconds ago; false changes nothing.
bool AcceptSubmission(Session& session, Application& app, std::string_view address, DateTime now,
                      int interval);

}  // namespace cb
