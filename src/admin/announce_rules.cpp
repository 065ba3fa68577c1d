// The announcement centre's decisions without the database.
#include "admin/announce_rules.h"

#include <algorithm>
#include <optional>

namespace cb {

namespace {

std::optional<DateTime> FormDate(const std::string& year, const std::string& month,
                                 const std::string& day) {
  return DateTime::Parse(year + "-" + month + "-" + day);
}

}  // namespace

AnnouncementCheck CheckAnnouncement(const AnnouncementDraft& d) {
  AnnouncementCheck out;
  if (d.subject.empty() || d.content.empty()) {
    out.refusal = "主题和公告内容不能为空！";
    return out;
  }
  const std::optional<DateTime> start = FormDate(d.start_year, d.start_month, d.start_day);
  const std::optional<DateTime> end = FormDate(d.end_year, d.end_month, d.end_day);
  if (!start || !end) {
    out.refusal = "开始日期或结束日期不合法！请检查！";
    return out;
  }
  out.start = *start;
  out.end = *end;
  return out;
}

const char* AnnouncementForumsRefusal(const std::vector<std::string>& managed,
                                      const std::vector<std::string>& chosen) {
  if (managed.empty()) return "没有版面存在，不能发布公告";
  if (chosen.empty()) return "请选择版面！";
  for (const std::string& forum : chosen) {
    if (std::find(managed.begin(), managed.end(), forum) == managed.end()) {
      return "你不能发布公告到其它论坛，请检查！";
    }
  }
  return nullptr;
}

}  // namespace cb
