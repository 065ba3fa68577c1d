// member.asp (Admin.Permissions, "用户信息与权限"): the administrator finds members, grants or
// withdraws the posting right and the administrator role, deletes members with everything they
// wrote, and renames a member in every table. Every step checks the administrator again.
#include "admin/permissions.h"

#include <memory>

#include "admin/admin.h"
#include "admin/member_footprint.h"
#include "frame/procedures.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

constexpr const char* kRefused = "对不起，你不能进行该操作！";
constexpr int kMatchesPerPage = 50;

// The search criteria as the search form and the paging links carry them.
struct MemberSearch {
  std::string name, email, math, posts, view_entire;
};

MemberSearch ReadSearch(const Request& req) {
  return {req("NN").Str(), req("Email").Str(), req("Math").Str(), req("Posts").Str(),
          req("ViewEntire").Str()};
}

std::string PageLink(const Server& server, const MemberSearch& s, int page, const char* label) {
  return "[<A HREF=member.asp?action=getmatches&page=" + std::to_string(page) +
         "&NN=" + server.URLEncode(s.name) + "&Email=" + server.URLEncode(s.email) +
         "&Math=" + server.URLEncode(s.math) + "&Posts=" + server.URLEncode(s.posts) +
         "&ViewEntire=" + server.URLEncode(s.view_entire) + ">" + label + "</A>]";
}

std::string YesNo(const std::string& name, bool yes) {
  return "<input type=radio name=" + name + " value=true" + (yes ? " checked" : "") +
         ">是 <input type=radio name=" + name + " value=false" + (yes ? "" : " checked") + ">否";
}

}  // namespace

std::string MemberSearchFilter(const std::string& name, const std::string& email,
                               const std::string& math, const std::string& posts,
                               const std::string& view_entire) {
  if (ToLower(view_entire) == "yes") return "";
  std::vector<std::string> parts;
  // The comparison is one of the form's three; the count goes in as a whole number.
  if (!posts.empty() && IsNumericText(posts)) {
    const std::string op = math == "<=" || math == "=" ? math : ">=";
    parts.push_back(" postcount" + op + std::to_string(Variant(posts).CLng()));
  }
  if (!email.empty()) parts.push_back(" email like '%" + SqlQuote(email) + "%'");
  if (!name.empty()) parts.push_back(" username like '%" + SqlQuote(name) + "%'");
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? " where " : " and ") + p;
  return out;
}

void Admin::Permissions() {
  std::unique_ptr<Connection> con;
  RunPage(
      [&] {
        const Request& req = Request_();
        const std::string action = ToLower(req("action").Str());
        WritePanelHead("用户信息与权限");
        const bool posted = EqualsNoCase(req.ServerVariables("REQUEST_METHOD").Str(), "POST");
        PanelCredentials who;
        if (action == "getmatches") {
          who = posted ? PostedCredentials() : SessionCredentials();
        } else if (action == "updatepermiss" || action == "submitedit") {
          who = PostedCredentials();
        } else if (action == "getbio4admin") {
          who = SessionCredentials();
        } else {
          Response_() << "<center><h1>用 户 信 息 与 权 限</h1><p>在这里你可以查找" << S().BBName
                      << "的注册用户，设置他们发表贴子的权限和管理员权力，删除用户，或修改用户"
                         "的资料。要增加新用户，请<a href=../signup.asp>注册</a>。</p><FORM "
                         "ACTION=member.asp METHOD=POST NAME=THEFORM ><input type=hidden "
                         "name=action value=getmatches><p>超级管理员身份确认：</p><table>"
                      << CredentialRows(15)
                      << "</table><p><INPUT TYPE=CHECKBOX NAME=ViewEntire VALUE=Yes>选择此框查看"
                         "所有的注册用户！或：</p><table><tr><td>用户名：</td><td><INPUT "
                         "TYPE=TEXT NAME=NN SIZE=25></td></tr><tr><td>Email：</td><td><INPUT "
                         "TYPE=TEXT NAME=Email SIZE=30 MAXLENGTH=70></td></tr><tr><td>发表总数："
                         "</td><td><SELECT NAME=Math><OPTION VALUE=\">=\">&gt;=<OPTION "
                         "VALUE=\"<=\">&lt;=<OPTION VALUE=\"=\">=</SELECT> <INPUT TYPE=TEXT "
                         "NAME=Posts SIZE=3 MAXLENGTH=5></td></tr></table><input type=submit "
                         "value='获 得 用 户 信 息'> <input type=reset value='清 除 内 容'>"
                         "</form></center>";
          return;
        }
        con = OpenConnection_();
        if (!IsAdministrator(who.name, who.password, *con)) Refuse(kRefused);
        if (action == "getmatches") {
          Permissions_GetMatchs(*con);
        } else if (action == "updatepermiss") {
          Permissions_updatepermiss(*con);
        } else if (action == "getbio4admin") {
          Permissions_getbio4admin(*con);
        } else {
          Permissions_SubmitEdit(*con);
        }
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(nullptr, con.get());
}

void Admin::Permissions_GetMatchs(Connection& con) {
  const Request& req = Request_();
  const Server& server = Server_();
  int page = 1;
  if (ToLong(req("page"))) page = req("page").CLng();
  const MemberSearch search = ReadSearch(req);

  auto rs = std::make_unique<Recordset>();
  rs->SetPageSize(kMatchesPerPage);
  rs->SetCacheSize(kMatchesPerPage);
  rs->Open("select canpost,username,postcount,status,signdate from register " +
               MemberSearchFilter(search.name, search.email, search.math, search.posts,
                                  search.view_entire) +
               " order by signdate desc",
           con, adOpenStatic, adLockReadOnly);
  const long count = rs->RecordCount();
  const int page_count = count == 0 ? 0 : rs->PageCount();
  if (page > page_count) page = page_count == 0 ? 1 : page_count;
  if (count > 0) rs->SetAbsolutePage(page);
  const long first = count == 0 ? 0 : (page - 1) * kMatchesPerPage + 1;
  const long last = std::min<long>(count, page * kMatchesPerPage);

  Response& out = Response_();
  out << "<center><h1>设 置 用 户 权 限</h1><p>共搜索到 " << std::to_string(count)
      << " 个注册用户.</p><p>选中“删除？”将删除该用户和他发表的所有贴子、短消息和收藏；"
         "“是否允许发表贴子？”和“授权管理员权力？”设置用户的权限。单击用户名可以修改用户的资料。"
         "</p><FORM ACTION=member.asp METHOD=POST NAME=PERMISS ><input type=hidden name=action "
         "value=updatepermiss><table border=0 cellspacing=1 cellpadding=3><tr><td colspan=6>"
         "匹配显示 "
      << std::to_string(first) << " - " << std::to_string(last) << "(总共是 "
      << std::to_string(count) << " 人)";
  if (page > 1) out << " " << PageLink(server, search, page - 1, "上一页");
  if (page < page_count) out << " " << PageLink(server, search, page + 1, "下一页");
  out << "</td></tr><tr><td>删除？</td><td>用户名、注册日期</td><td>是否允许发表贴子？</td>"
         "<td>授权管理员权力？</td><td>状态</td><td>发表总数</td></tr>";
  for (int i = 1; i <= kMatchesPerPage && count > 0 && !rs->Eof(); ++i, rs->MoveNext()) {
    const std::string name = rs->Fields("username").Str();
    const std::string status = rs->Fields("status").Str();
    const std::string n = std::to_string(i);
    out << "<tr bgcolor=" << (i % 2 == 1 ? "#dedfdf" : "#f7f7f7")
        << "><td><input type=hidden name=hiddenUsername value=\"" << server.HTMLEncode(name)
        << "\"><input type=checkbox name=Delete value=\"" << server.HTMLEncode(name)
        << "\"></td><td><a href=\"member.asp?action=getbio4admin&UserName="
        << server.URLEncode(name) << "\" target=_blank>" << server.HTMLEncode(name) << "</a><br>"
        << rs->Fields("signdate").Str() << "</td><td>"
        << YesNo("AdminWrite" + n, rs->Fields("canpost").CBool()) << "</td><td>"
        << YesNo("AdminPermission" + n, ToLower(status) == "administrator") << "</td><td>"
        << server.HTMLEncode(status) << "&nbsp;</td><td>" << rs->Fields("postcount").Str()
        << "</td></tr>";
  }
  rs->Close();
  out << "</table><p>基于安全因素，再次输入你的用户名和密码：</p><table>" << CredentialRows(15)
      << "</table><input type=submit value='完 成 权 限 更 改'></form></center>";
}

void Admin::Permissions_updatepermiss(Connection& con) {
  const ValueCollection& form = Request_().form();
  con.BeginTrans();
  for (int i = 1; i <= form.Count("delete"); ++i) DeleteMember(con, form.Item("delete", i).Str());
  for (int i = 1; i <= form.Count("hiddenusername"); ++i) {
    const std::string n = SqlQuote(form.Item("hiddenusername", i).Str());
    const std::string admin = form.Get("adminpermission" + std::to_string(i)).Str();
    const std::string write = form.Get("AdminWrite" + std::to_string(i)).Str();
    // Only the form's own choices change a right: a row without them stays as it is.
    if (admin == "false") {
      con.Execute("update register set status=null where username='" + n +
                  "' and lower(isnull(status,''))<>'moderater'");
      // A former administrator who still moderates forums is their moderator again.
      con.Execute("update register set status='Moderater' where username='" + n +
                  "' and status is null and username in (select moderater from moderated)");
    } else if (admin == "true") {
      con.Execute("update register set status='administrator' where username='" + n + "'");
    }
    if (write == "true") {
      con.Execute("update register set canpost=1 where username='" + n + "'");
    } else if (write == "false") {
      con.Execute("update register set canpost=0 where username='" + n + "'");
    }
  }
  con.CommitTrans();
  Response_() << "<br><br><center><p><h3>成员权限更新结束，<a href=member.asp>重新进入成员权限"
                 "管理</a>！";
}

}  // namespace cb
