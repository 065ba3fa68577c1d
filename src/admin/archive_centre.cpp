// archive.asp (Admin.Archives, the archive centre): administrators and moderators add, rename,
// describe and delete archives. Every step but the start form checks the identity again; each
// change empties the cached archive menus.
#include <memory>
#include <string>
#include <vector>

#include "admin/admin.h"
#include "archives/archive_ops.h"
#include "frame/procedures.h"
#include "posting/thread_ops.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

constexpr const char* kNoRight = "对不起，您没有使用该功能的权限";
constexpr const char* kForeignArchive = "对不起，只有管理员才能删除含有其他论坛话题的档案！";
constexpr const char* kCentreUpdated =
    "<br><br><center><P><h3>档案更新结束，重新进入<a href=archive.asp>档案管理</a></h3></p>"
    "</center>";

// The whole positive numbers among a form field's values, in order.
std::vector<int32_t> Numbers(const Request& req, const char* field) {
  std::vector<int32_t> out;
  const int count = req.form().Count(field);
  for (int i = 1; i <= count; ++i) {
    const Variant v = req.form().Item(field, i);
    if (ToLong(v)) out.push_back(v.CLng());
  }
  return out;
}

}  // namespace

void Admin::Archives() {
  std::unique_ptr<Connection> con;
  RunPage(
      [&] {
        const std::string action = ToLower(Request_()("Action").Str());
        WritePanelHead("精华归档");
        if (action != "enterarchive" && action != "archivecenter") {
          Response_()
              << "<center><h1>精 华 归 档</h1><table width=70%><tr><td>"
                 "<p>归档是早先话题的只读仓库，独立于各个论坛：话题一旦归档，就只能阅读，"
                 "不能回复。</p><p>在话题的“移动/归档”链接里可以把话题放进一个归档；"
                 "归档的数目没有限制。在归档中心里可以建立新的归档，修改归档的名称和说明，"
                 "或者删除归档（连同其中的话题）。</p></td></tr></table>"
                 "<FORM ACTION=archive.asp METHOD=POST NAME=THEFORM><table>"
              << CredentialRows(13)
              << "</table><input type=hidden name=action value=enterarchive><input type=submit "
                 "value='进 入 归 档 中 心'></form></center>";
          return;
        }
        con = OpenConnection_();
        PanelCredentials who = PostedCredentials();
        std::string forum_list;
        if (!isAdminOrModerater(who.name, who.password, *con, forum_list)) Refuse(kNoRight);
        if (action == "enterarchive") {
          Archives_EnterArchive(*con);
        } else {
          Archives_ArchiveCenter(*con);
        }
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(nullptr, con.get());
}

void Admin::Archives_EnterArchive(Connection& con) {
  struct Row {
    std::string id, name, descript;
  };
  std::vector<Row> rows;
  for (auto rs = con.Execute("select * from archive order by archiveid"); !rs->Eof(); rs->MoveNext()) {
    rows.push_back({rs->Fields("archiveid").Str(), rs->Fields("archivename").Str(),
                    rs->Fields("descript").Str()});
  }
  const Server& server = Server_();
  Response& out = Response_();
  out << "<center><h1>归 档</h1><FORM ACTION=archive.asp METHOD=POST NAME=THEFORM>"
         "<input type=hidden name=action value=archivecenter>"
         "<input type=hidden name=ArchiveOption value=ALL><p>你目前有 "
      << std::to_string(rows.size())
      << " 个归档，列示于下面的当前归档栏目下。要增加一个新档案，<A HREF='#addit'>按这里</A>。"
         "</p><table border=0 cellpadding=4><tr><td><b>删除</b></td><td><b>编号</b></td>"
         "<td><b>当前归档</b></td></tr>";
  int n = 0;
  for (const Row& r : rows) {
    const std::string field = std::to_string(++n);
    out << "<tr><td valign=top><input type=hidden name=hiddenArchiveid value=" << r.id
        << "><input type=checkbox name=Delete value=" << r.id << "></td><td valign=top>" << r.id
        << "</td><td><INPUT TYPE=TEXT NAME=ArchiveName" << field
        << " SIZE=50 MAXLENGTH=120 VALUE=\"" << server.HTMLEncode(r.name)
        << "\"><br><TEXTAREA NAME=descript" << field << " ROWS=3 COLS=50>"
        << server.HTMLEncode(r.descript) << "</TEXTAREA></td></tr>";
  }
  out << "</table><a name=addit></a><p><b>新的归档：</b></p><table border=0 cellpadding=4>"
         "<tr><td>名称：</td><td><INPUT TYPE=TEXT NAME=NewArchiveName SIZE=50 MAXLENGTH=120>"
         "</td></tr><tr><td valign=top>说明：</td><td><TEXTAREA NAME=NewDescript ROWS=3 COLS=50>"
         "</TEXTAREA></td></tr>"
      << CredentialRows(13) << "</table><input type=submit value='完 成 修 改'></form></center>";
}

void Admin::Archives_ArchiveCenter(Connection& con) {
  const Request& req = Request_();
  const std::vector<int32_t> deleted = Numbers(req, "Delete");
  // A moderator's archive may hold other forums' topics: only an administrator deletes those.
  if (!panel_.administrator) {
    for (int32_t archive : deleted) {
      for (const std::string& forum : ArchiveSourceForums(con, archive)) {
        if (!panel_.Manages(forum)) Refuse(kForeignArchive);
      }
    }
  }
  const std::string new_name = Trim(req.Form("newarchivename").Str());
  RunInTransaction(con, [&] {
    for (int32_t archive : deleted) DeleteArchiveAndPosts(con, archive);
    // The n-th listed archive takes the n-th name and description of the form.
    const int listed = req.form().Count("hiddenArchiveid");
    for (int i = 1; i <= listed; ++i) {
      const Variant archive = req.form().Item("hiddenArchiveid", i);
      const std::string n = std::to_string(i);
      // A form without the archive's fields leaves it as it is.
      if (!ToLong(archive) || !req.form().Has("archivename" + n)) continue;
      con.Execute("update archive set archivename='" + SqlQuote(req.Form("archivename" + n)) +
                  "',descript='" + SqlQuote(req.Form("descript" + n)) +
                  "' where archiveid=" + std::to_string(archive.CLng()));
    }
    if (!new_name.empty()) {
      con.Execute("insert into archive (archivename,descript) values ('" +
                  SqlQuote(Variant(new_name)) + "','" + SqlQuote(req.Form("newdescript")) + "')");
    }
  });
  EmptyArchiveMenus(Application_());
  Response_() << kCentreUpdated;
}

}  // namespace cb
