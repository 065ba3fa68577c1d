// forum.asp's add and edit steps: the new-forum form and its submission, the edit form and its
// submission (rename, access, moderators, or deleting the forum). Each change runs in one
// transaction and empties the cached forum menus.
#include <memory>

#include "admin/admin.h"
#include "admin/forum_rules.h"
#include "frame/procedures.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

// What the forum form shows: empty for a new forum, the forum's row for the edit form.
struct ForumFormValues {
  std::string name = "在此输入论坛名称";
  std::string catalog;
  bool is_private = false;
  std::string password;
  std::string descript;
};

// The tables that name a forum besides forum itself: renamed with it, emptied with it. Archived
// threads keep the name of the forum they came from as history, and follow a rename.
constexpr const char* kForumColumns[][2] = {
    {"post", "forumname"},       {"moderated", "forum"},       {"subscibe", "forumname"},
    {"announceto", "forumname"}, {"archivelist", "forumname"},
};

std::vector<std::string> Catalogs(Connection& con) {
  std::vector<std::string> out;
  for (auto rs = con.Execute("select catalog from forum group by catalog order by min(rowid)"); !rs->Eof(); rs->MoveNext()) {
    out.push_back(rs->Fields(0).Str());
  }
  return out;
}

// The rows of the forum form from the name to the description.
std::string ForumFields(const Server& server, const ForumFormValues& v,
                        const std::vector<std::string>& catalogs) {
  std::string out =
      "<tr><td><b>论坛名称：</b></td><td><INPUT TYPE=TEXT NAME=forumname SIZE=30 MAXLENGTH=100 "
      "VALUE=\"" +
      server.HTMLEncode(v.name) +
      "\"></td></tr><tr><td><b>类别：</b></td><td><SELECT NAME=catalog>";
  for (const std::string& c : catalogs) {
    out += "<OPTION VALUE=\"" + server.HTMLEncode(c) + (c == v.catalog ? "\" SELECTED>" : "\">") +
           server.HTMLEncode(c);
  }
  out +=
      "</SELECT> <INPUT TYPE=CHECKBOX NAME=newcatalog>新类别：<INPUT TYPE=TEXT "
      "NAME=newcatalogName SIZE=25 MAXLENGTH=25></td></tr><tr><td valign=top><b>访问限制：</b>"
      "</td><td><INPUT TYPE=CHECKBOX NAME=Private VALUE=private";
  out += v.is_private ? " CHECKED>" : ">";
  out +=
      "私家论坛 - 读/写 密码：<INPUT TYPE=TEXT NAME=forumpassword SIZE=12 MAXLENGTH=12 VALUE=\"" +
      server.HTMLEncode(v.password) +
      "\"><br>谁能发表话题？<SELECT NAME=TopicRestrict><OPTION VALUE=restrict>超级管理员，"
      "版主和特权用户<OPTION VALUE=allreg SELECTED>所有注册用户<OPTION VALUE=all>任何用户"
      "（包含未注册的）</SELECT><br>谁能回复话题？<SELECT NAME=ReplyRestrict><OPTION "
      "VALUE=allreg SELECTED>任何注册用户<OPTION VALUE=all>任何用户 (包含未注册的)<OPTION "
      "VALUE=none>没有人可以回复贴子</SELECT></td></tr><tr><td valign=top><b>论坛描述：</b>"
      "</td><td><TEXTAREA NAME=descript ROWS=5 COLS=50>" +
      server.HTMLEncode(v.descript) + "</TEXTAREA></td></tr>";
  return out;
}

constexpr const char* kModeratorRow =
    "<tr><td><b>版主：</b></td><td><INPUT TYPE=TEXT NAME=moderater SIZE=25 MAXLENGTH=25> "
    "版主必须是已经注册的用户</td></tr>";

// The catalog a forum form chose: the new one when its box is ticked.
std::string ChosenCatalog(const Request& req) {
  return Trim(req.Form(req.Form("newcatalog").Str() == "on" ? "newcatalogname" : "catalog").Str());
}

// Names a member moderator of a forum when he exists and is not one yet; an administrator keeps
// his role. An unknown name is skipped without a message.
void AppointModerator(Connection& con, const std::string& forum, const std::string& typed,
                      const DateTime& now) {
  if (typed.empty()) return;
  auto member =
      con.Execute("select username from register where username='" + SqlQuote(typed) + "'");
  if (member->Eof()) return;
  const std::string name = member->Fields(0).Str();
  auto present = con.Execute("select * from moderated where forum='" + SqlQuote(forum) +
                             "' and moderater='" + SqlQuote(name) + "'");
  if (!present->Eof()) return;
  con.Execute("insert into moderated (Forum,Moderater,SignDate) values ('" + SqlQuote(forum) +
              "','" + SqlQuote(name) + "','" + now.YmdHms() + "')");
  con.Execute("update register set status='Moderater' where username='" + SqlQuote(name) +
              "' and lower(isnull(status,''))<>'administrator'");
}

// A member who moderates no forum any more is an ordinary member again; administrators stay.
void DemoteIfModeratesNothing(Connection& con, const std::string& member) {
  con.Execute("update register set status=null where username='" + SqlQuote(member) +
              "' and username not in (select moderater from moderated where moderater='" +
              SqlQuote(member) + "') and lower(isnull(status,''))<>'administrator'");
}

}  // namespace

void Admin::Forum_AddForums(Connection& con) {
  PanelCredentials who = SessionCredentials();
  if (!IsAdministrator(who.name, who.password, con)) Refuse("对不起找不到该用户");
  Response_() << "<center><h1>增 加 新 论 坛</h1><p>完整填写下面的表格就可新增论坛！</p>"
                 "<FORM ACTION=forum.asp METHOD=POST NAME=THEFORM>"
                 "<p>首先认证你的身份（只有超级管理员才可以增加新的论坛）<BR><table>"
              << CredentialRows(13)
              << "</table></p><table border=1 cellspacing=0 cellpadding=4><tr><td colspan=2 "
                 "align=center><b>新论坛</b></td></tr>"
              << ForumFields(Server_(), {}, Catalogs(con)) << kModeratorRow
              << "</table><input type=hidden name=action value=addnewforum><p><input "
                 "type=submit value=\"新 增 此 论 坛\"></p></form></center>";
}

void Admin::Forum_AddNewForum(Connection& con) {
  const Request& req = Request_();
  const std::string forum = Trim(req.Form("forumname").Str());
  const std::string catalog = ChosenCatalog(req);
  PanelCredentials who = PostedCredentials();
  if (const char* refusal = FirstRefusal(
          {{who.name.empty() || who.password.empty() || forum.empty() || catalog.empty(),
            "请输入用户名、口令、论坛名称和类别！此为必须输入项目"}})) {
    Refuse(refusal);
  }
  if (!IsAdministrator(who.name, who.password, con)) Refuse("对不起，没有发现该用户");
  auto rs = std::make_unique<Recordset>();
  rs->Open("select * from forum where forumname='" + SqlQuote(forum) + "'", con, adOpenStatic,
           adLockOptimistic);
  if (!rs->Eof()) Refuse("该论坛名称重复，请选择其他论坛名称");

  const bool is_private = req.Form("private").Str() == "private";
  // A new forum goes to the end of the display order.
  const Variant last = con.Execute("select max(sequence) from forum")->Fields(0);
  con.BeginTrans();
  rs->AddNew();
  rs->Set("restrict", Variant(ForumRestrict(is_private, req.Form("topicrestrict").Str(),
                                            req.Form("replyrestrict").Str())));
  if (is_private) rs->Set("forumpassword", req.Form("forumpassword"));
  rs->Set("forumname", Variant(forum));
  rs->Set("descript", req.Form("descript"));
  rs->Set("catalog", Variant(catalog));
  rs->Set("sequence", Variant(int32_t{last.IsNull() ? 1 : last.CLng() + 1}));
  rs->Update();
  rs->Close();
  AppointModerator(con, forum, Trim(req.Form("Moderater").Str()), Now());
  RefreshForumMaster(con, forum);
  con.CommitTrans();
  EmptyForumMenus(Application_());
  Response_() << kForumsUpdated;
}

void Admin::Forum_GetForum(Connection& con) {
  PanelCredentials who = SessionCredentials();
  if (!IsAdministrator(who.name, who.password, con)) Refuse("对不起，找不到该用户");
  const std::string forum = Request_()("forumname").Str();
  auto rs = con.Execute("select * from forum where forumname='" + SqlQuote(forum) + "'");
  if (rs->Eof()) Refuse("对不起，该论坛不存在！");
  ForumFormValues v;
  v.name = rs->Fields("forumname").Str();
  v.catalog = rs->Fields("catalog").Str();
  v.is_private = rs->Fields("restrict").Str() == "private";
  v.password = rs->Fields("forumpassword").Str();
  v.descript = rs->Fields("descript").Str();
  rs->Close();
  std::vector<std::string> moderators;
  for (auto m = con.Execute("select * from moderated where forum='" + SqlQuote(v.name) + "'");
       !m->Eof(); m->MoveNext()) {
    moderators.push_back(m->Fields("moderater").Str());
  }

  const Server& server = Server_();
  Response& out = Response_();
  out << "<center><h1>重 新 设 置 论 坛</h1><p>完整填写下面的表格就可重新设置论坛！</p>"
         "<FORM ACTION=forum.asp METHOD=POST NAME=THEFORM><p>首先认证你的身份（只有超级管理员"
         "才可以重新设置论坛）<BR><table>"
      << CredentialRows(13)
      << "</table></p><table border=1 cellspacing=0 cellpadding=4><tr><td colspan=2 "
         "align=center><b>"
      << server.HTMLEncode(v.name) << "</b></td></tr>" << ForumFields(server, v, Catalogs(con))
      << "<tr><td><b>删除论坛：</b></td><td><INPUT TYPE=CHECKBOX NAME=deleteforum>"
         "要删除论坛，请选择此核选框，这将导致该论坛的所有贴子都被删除！！</td></tr>"
         "<tr><td valign=top><b>现任版主：</b></td><td>";
  if (moderators.empty()) out << "没有版主";
  for (const std::string& m : moderators) {
    out << "<INPUT TYPE=CHECKBOX NAME=deletemoderater VALUE=\"" << server.HTMLEncode(m) << "\">"
        << server.HTMLEncode(m) << "<br>";
  }
  out << "<br>选中版主前的核选框可以撤消他的版主资格</td></tr>" << kModeratorRow
      << "</table><input type=hidden name=action value=submitedit><input type=hidden "
         "name=oldforumname value=\""
      << server.HTMLEncode(v.name)
      << "\"><p><input type=submit value=\"重 新 设 置 此 论 坛\"></p></form></center>";
}

void Admin::Forum_SubmitEdit(Connection& con) {
  const Request& req = Request_();
  const std::string forum = Trim(req.Form("forumname").Str());
  const std::string old_forum = Trim(req.Form("oldforumname").Str());
  const std::string catalog = ChosenCatalog(req);
  PanelCredentials who = PostedCredentials();
  if (who.name.empty() || who.password.empty()) Refuse("请输入用户名、口令！此为必须输入项目");
  if (!IsAdministrator(who.name, who.password, con)) Refuse("对不起，没有发现该用户");

  // The form acts on the forum it was written for: deleting follows the old name, never the
  // name field, which may have been edited.
  if (req.Form("deleteforum").Str() == "on") {
    std::vector<std::string> moderators;
    for (auto m = con.Execute("select * from moderated where forum='" + SqlQuote(old_forum) + "'");
         !m->Eof(); m->MoveNext()) {
      moderators.push_back(m->Fields("moderater").Str());
    }
    con.BeginTrans();
    con.Execute("delete from forum where forumname='" + SqlQuote(old_forum) + "'");
    for (const auto& [table, column] : kForumColumns) {
      if (std::string_view(table) == "archivelist") continue;
      con.Execute(std::string("delete from ") + table + " where " + column + "='" +
                  SqlQuote(old_forum) + "'");
    }
    for (const std::string& m : moderators) DemoteIfModeratesNothing(con, m);
    con.CommitTrans();
    EmptyForumMenus(Application_());
    Response_() << kForumsUpdated;
    return;
  }

  auto rs = std::make_unique<Recordset>();
  rs->Open("select * from forum where forumname='" + SqlQuote(old_forum) + "'", con, adOpenStatic,
           adLockOptimistic);
  const bool renamed = forum != old_forum;
  bool taken = false;
  if (renamed && !EqualsNoCase(forum, old_forum)) {
    taken = !con.Execute("select forumname from forum where forumname='" + SqlQuote(forum) + "'")
                 ->Eof();
  }
  if (const char* refusal = FirstRefusal({
          {forum.empty() || catalog.empty(), "请输入论坛名称和类别！此为必须输入项目"},
          {rs->Eof(), "错误，该版面已不存在！"},
          {taken, "该论坛名称重复，请选择其他论坛名称"},
      })) {
    Refuse(refusal);
  }

  con.BeginTrans();
  if (renamed) {
    for (const auto& [table, column] : kForumColumns) {
      con.Execute(std::string("update ") + table + " set " + column + "='" + SqlQuote(forum) +
                  "' where " + column + "='" + SqlQuote(old_forum) + "'");
    }
  }
  const bool is_private = req.Form("private").Str() == "private";
  rs->Set("restrict", Variant(ForumRestrict(is_private, req.Form("topicrestrict").Str(),
                                            req.Form("replyrestrict").Str())));
  if (is_private) rs->Set("forumpassword", Variant(Trim(req.Form("ForumPassword").Str())));
  rs->Set("ForumName", Variant(forum));
  rs->Set("descript", req.Form("descript"));
  rs->Set("Catalog", Variant(catalog));
  rs->Update();
  rs->Close();

  const ValueCollection& form = req.form();
  for (int i = 1; i <= form.Count("deletemoderater"); ++i) {
    const std::string member = form.Item("deletemoderater", i).Str();
    con.Execute("delete from moderated where forum='" + SqlQuote(forum) + "' and moderater='" +
                SqlQuote(member) + "'");
    DemoteIfModeratesNothing(con, member);
  }
  AppointModerator(con, forum, Trim(req.Form("moderater").Str()), Now());
  RefreshForumMaster(con, forum);
  con.CommitTrans();
  EmptyForumMenus(Application_());
  Response_() << kForumsUpdated;
}

}  // namespace cb
