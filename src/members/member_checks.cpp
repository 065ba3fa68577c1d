// The checks against the member register: the moderators of a forum, who is administrator or
// moderator, and who may post. Database errors pass to the caller's page handler.
#include "members/member_checks.h"

#include <string_view>

#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "runtime/convert.h"
#include "runtime/percent.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

// Bytes that would end an unquoted attribute value become %XX; ordinary addresses are unchanged.
std::string UnquotedAttributeSafe(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    if (c <= ' ' || c == '"' || c == '\'' || c == '<' || c == '>' || c == '`') {
      AppendPercentEscape(c, out);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

std::string ModeratorLinks(const std::string& forum_name, Connection& con) {
  auto rs = con.Execute(
      "select Moderater,EMail from (Forum inner join moderated on "
      "Forum.Forumname=moderated.forum ) inner join Register on "
      "moderated.moderater=Register.username where Forum.ForumName='" +
      SqlQuote(forum_name) + "'");
  if (rs->Eof()) return "诚征版主";
  std::string out;
  for (; !rs->Eof(); rs->MoveNext()) {
    if (!out.empty()) out += ", ";
    const std::string name = HtmlSafe(rs->Fields("Moderater").Str());
    const Variant email = rs->Fields("EMail");
    if (email.IsNull()) {
      out += name;
    } else {
      out += "<a href=mailto:" + UnquotedAttributeSafe(email.Str()) + ">" + name + "</a>";
    }
  }
  return out;
}

int16_t CheckModerator(std::string& user_name, std::string& password, const std::string& forum_name,
                       Connection& con) {
  user_name = Trim(user_name);
  password = Trim(password);
  if (user_name.empty() || password.empty()) return -1;
  auto member = con.Execute("Select Status from Register Where UserName='" + SqlQuote(user_name) +
                            "' and Password='" + SqlQuote(password) + "'");
  if (member->Eof()) return -1;
  if (ToLower(member->Fields("Status").Str()) == "administrator") return 1;
  auto moderated =
      con.Execute("Select moderater from moderated Where forum='" + SqlQuote(forum_name) +
                  "' and moderater='" + SqlQuote(user_name) + "'");
  return moderated->Eof() ? 0 : 2;
}

bool CanPost(std::string& user_name, std::string& password, Connection& con, bool& may_post) {
  user_name = Trim(user_name);
  password = Trim(password);
  if (user_name.empty() || password.empty()) return false;
  auto rs = con.Execute("Select canpost,status from Register Where UserName='" +
                        SqlQuote(user_name) + "' and Password='" + SqlQuote(password) + "'");
  if (rs->Eof()) return false;
  may_post = rs->Fields("canpost").CBool();
  return true;
}

}  // namespace cb
