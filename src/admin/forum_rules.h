// The decisions of the forum page that need no database: the summary's sort order, the stored
// access rule of a forum form, and the display orders a summary form posts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cb {

// " order by ..." for the summary's lower-cased sort key; an unknown key keeps the display order.
std::string ForumOrderClause(std::string_view sortby);

// The forum's restrict column: "private" for a private forum, else the topic rule and the reply
// rule joined by "&". A rule the form does not offer is read as its default, "allreg".
std::string ForumRestrict(bool is_private, std::string_view topic_rule,
                          std::string_view reply_rule);

// The summary form's display orders: a refusal ("错误！" when the order and name counts differ,
// "排序必须用整数" when one is not a whole number), else every order as a whole number.
struct ForumOrders {
  const char* refusal = nullptr;
  std::vector<int32_t> orders;
};
ForumOrders ReadForumOrders(const std::vector<std::string>& sequences, size_t forum_count);

}  // namespace cb
