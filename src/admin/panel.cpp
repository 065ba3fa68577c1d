// The control panel's shared pieces: the identity's forum list, the refusal table, the caches the
// forum pages empty and the moderator links they rewrite.
#include "admin/panel.h"

#include "frame/procedures.h"
#include "members/member_checks.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

bool PanelIdentity::Manages(std::string_view forum) const {
  for (const std::string& f : forums) {
    if (f == forum) return true;
  }
  return false;
}

std::string PanelIdentity::ForumList() const {
  std::string out;
  for (const std::string& f : forums) {
    if (!out.empty()) out += ",";
    out += f;
  }
  return out;
}

const char* FirstRefusal(std::initializer_list<Refusal> checks) {
  for (const Refusal& check : checks) {
    if (check.refused) return check.message;
  }
  return nullptr;
}

void EmptyForumMenus(Application& app) { app.SetEverywhere("ForumAndArchiveList", ""); }

void RefreshForumMaster(Connection& con, const std::string& forum) {
  con.Execute("update forum set forummaster='" + SqlQuote(Variant(ModeratorLinks(forum, con))) +
              "' where forumname='" + SqlQuote(Variant(forum)) + "'");
}

}  // namespace cb
