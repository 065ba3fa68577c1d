// The decisions of the permissions page that need no database: the member search's filter and the
// checks of a member's edited name and upload folder.
#pragma once

#include <string>

namespace cb {

// " where ..." for the search criteria ("" for every member): a post count compared with one of
// ">=", "<=", "=", and parts of the e-mail address and of the name.
std::string MemberSearchFilter(const std::string& name, const std::string& email,
                               const std::string& math, const std::string& posts,
                               const std::string& view_entire);

// An upload folder below the upload root: relative, without ".." steps, drive or scheme.
bool IsSafeUploadDir(const std::string& dir);

}  // namespace cb
