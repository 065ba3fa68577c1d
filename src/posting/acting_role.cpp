// CheckModerator behind the sign-in guard.
#include "posting/acting_role.h"

#include "frame/throttle.h"
#include "members/member_checks.h"
#include "runtime/convert.h"

namespace cb {

int16_t GuardedRole(Application& app, const Session& session, const Request& request, DateTime now,
                    ActingMember& who, const std::string& forum, Connection& con) {
  // A signed-in session's own name is not at stake: only its address counts.
  SignInGuard guard(app, request.ServerVariables("Remote_addr").Str(),
                    SignedIn(session) ? std::string() : who.name, now);
  if (guard.Refused()) return -1;
  const bool tried = !Trim(who.name).empty() && !Trim(who.password).empty();
  const int16_t role = CheckModerator(who.name, who.password, forum, con);
  if (role == -1 && tried) guard.Failed();
  if (role != -1) guard.Succeeded();
  return role;
}

}  // namespace cb
