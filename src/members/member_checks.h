// The checks against the member register that pages of every folder share: the moderators of a
// forum, the administrator-or-moderator check and the posting right.
#pragma once

#include <cstdint>
#include <string>

namespace cb {

class Connection;

// The forum's moderators as "name" or "<a href=mailto:…>name</a>", joined with ", "; "诚征版主"
// when it has none.
std::string ModeratorLinks(const std::string& forum_name, Connection& con);
// -1 not a member with that password, 0 member, 1 administrator, 2 moderator of the forum. Trims
// user_name and password in place.
int16_t CheckModerator(std::string& user_name, std::string& password, const std::string& forum_name,
                       Connection& con);
// True when the member exists with that password; may_post then receives its posting right (left
// untouched otherwise). Trims user_name and password in place.
bool CanPost(std::string& user_name, std::string& password, Connection& con, bool& may_post);

}  // namespace cb
