// The member list's decision: which rows of register a request asks for, in which order, and
// the statement that reads them; search terms always stay text.
#pragma once

#include <string>
#include <string_view>

namespace cb {

struct MemberListQuery {
  std::string column;  // searched column: "username", "email", or "" for no search
  std::string key;     // the search text as typed
  std::string letter;  // "A" to "Z", "@" or "ALL"
  std::string order;   // "username", "postcount", "jf" or "signdate"
  std::string sql;
};

// Values outside the listed ones fall back to no search, "ALL" and "signdate".
MemberListQuery DecideMemberListQuery(std::string_view search_by, std::string_view key,
                                      std::string_view letter, std::string_view order_by);

// text (already SqlQuote'd) for the inside of a LIKE pattern written with ESCAPE '\': the
// wildcards %, _ and [ and the escape itself match only themselves.
std::string LikeLiteral(std::string_view text);

}  // namespace cb
