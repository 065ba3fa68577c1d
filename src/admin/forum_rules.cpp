// The forum page's decisions without the database.
#include "admin/forum_rules.h"

#include <cmath>
#include <cstdint>
#include <optional>

#include "runtime/convert.h"

namespace cb {

std::string ForumOrderClause(std::string_view sortby) {
  if (sortby == "category") return " order by catalog";
  if (sortby == "alpha") return " order by forumname";
  if (sortby == "postcount") return " order by topiccount+replycount desc";
  return " order by sequence";
}

std::string ForumRestrict(bool is_private, std::string_view topic_rule,
                          std::string_view reply_rule) {
  if (is_private) return "private";
  const bool topic_known =
      topic_rule == "restrict" || topic_rule == "allreg" || topic_rule == "all";
  const bool reply_known = reply_rule == "allreg" || reply_rule == "all" || reply_rule == "none";
  return std::string(topic_known ? topic_rule : "allreg") + "&" +
         std::string(reply_known ? reply_rule : "allreg");
}

ForumOrders ReadForumOrders(const std::vector<std::string>& sequences, size_t forum_count) {
  ForumOrders out;
  if (sequences.size() != forum_count) {
    out.refusal = "错误！";
    return out;
  }
  for (const std::string& text : sequences) {
    // Every order is checked before any row changes; it goes into SQL as digits only.
    const std::optional<double> number = ParseNumber(text);
    if (!number || *number != std::floor(*number) || *number < INT32_MIN || *number > INT32_MAX) {
      out.refusal = "排序必须用整数";
      out.orders.clear();
      return out;
    }
    out.orders.push_back(static_cast<int32_t>(*number));
  }
  return out;
}

}  // namespace cb
