// The role of the member who acts on a post, as CheckModerator answers for the post's own
// forum, behind the sign-in guard that every password form of the board shares.
#pragma once

#include <cstdint>
#include <string>

#include "host/context.h"
#include "posting/post_form.h"
#include "runtime/datetime.h"

namespace cb {

class Connection;

// -1 not a member with that password (also while the guard refuses the address or name), 0
// member, 1 administrator, 2 moderator of forum. A wrong password counts as a failed sign-in; a
// right one clears the name's count. who is trimmed in place.
int16_t GuardedRole(Application& app, const Session& session, const Request& request, DateTime now,
                    ActingMember& who, const std::string& forum, Connection& con);

}  // namespace cb
