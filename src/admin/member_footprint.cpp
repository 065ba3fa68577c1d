// The statements that delete and rename a member everywhere, and their runs.
#include "admin/member_footprint.h"

#include "admin/panel.h"
#include "frame/procedures.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

std::vector<std::string> ModeratedForums(Connection& con, const std::string& member) {
  std::vector<std::string> out;
  for (auto rs =
           con.Execute("select forum from moderated where moderater='" + SqlQuote(member) + "'");
       !rs->Eof(); rs->MoveNext()) {
    out.push_back(rs->Fields(0).Str());
  }
  return out;
}

}  // namespace

const std::vector<NameColumn>& MemberNameColumns() {
  // The register row first, the forums' last poster last; then the columns that keep a member's
  // own lists and announcements, so that a later member of the old name inherits none of them.
  static const std::vector<NameColumn> columns = {
      {"register", "username"},
      {"post", "username"},
      {"post", "lastreplyusername"},
      {"archivelist", "username"},
      {"PM", "sender"},
      {"PM", "recipient"},
      {"outbox", "sender"},
      {"outbox", "recipient"},
      {"favor", "username"},
      {"moderated", "moderater"},
      {"forum", "lastpostusername"},
      {"subscibe", "username"},
      {"ignorelist", "username"},
      {"ignorelist", "ignoreusername"},
      {"announce", "username"},
  };
  return columns;
}

std::vector<std::string> MemberDeleteStatements(const std::string& member) {
  const std::string n = SqlQuote(member);
  return {
      "delete from register where username='" + n + "'",
      "delete from moderated where moderater='" + n + "'",
      "delete from post where parentid in (select postid from post where username='" + n +
          "' and parentid is null)",
      "delete from post where username='" + n + "'",
      "delete from  PM where sender='" + n + "' or recipient='" + n + "'",
      "delete from  outbox where sender='" + n + "' or recipient='" + n + "'",
      "delete from favor where username='" + n + "'",
      "delete from archivelist where parentid in (select postid from archivelist where "
      "username='" +
          n + "' and parentid is null)",
      "delete from archivelist where username='" + n + "'",
      "delete from subscibe where username='" + n + "'",
      "delete from ignorelist where username='" + n + "' or ignoreusername='" + n + "'",
      "delete from announceto where id in (select id from announce where username='" + n + "')",
      "delete from announce where username='" + n + "'",
      // A forum left without posts keeps its last poster otherwise.
      "update forum set lastpostusername=null,lastposttime=null where lastpostusername='" + n + "'",
  };
}

std::vector<std::string> MemberRenameStatements(const std::string& old_name,
                                                const std::string& new_name) {
  std::vector<std::string> out;
  for (const NameColumn& c : MemberNameColumns()) {
    out.push_back(std::string("update ") + c.table + " set " + c.column + "='" +
                  SqlQuote(new_name) + "' where " + c.column + "='" + SqlQuote(old_name) + "'");
  }
  return out;
}

void DeleteMember(Connection& con, const std::string& member) {
  const std::vector<std::string> forums = ModeratedForums(con, member);
  for (const std::string& sql : MemberDeleteStatements(member)) con.Execute(sql);
  for (const std::string& forum : forums) RefreshForumMaster(con, forum);
}

void RenameMember(Connection& con, const std::string& old_name, const std::string& new_name) {
  for (const std::string& sql : MemberRenameStatements(old_name, new_name)) con.Execute(sql);
  for (const std::string& forum : ModeratedForums(con, new_name)) RefreshForumMaster(con, forum);
}

}  // namespace cb
