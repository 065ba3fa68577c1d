// jscode.asp (Admin.JsCode): the administrator writes script files with the newest topics of each
// public forum (js/1.js, js/2.js, ...) or of the archives (js/archive.js) for other web pages to
// include; the board serves them at BBURL's folder + "/js/". Subjects and forum names are written
// as text, so no topic can put markup into the pages that include them.
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "admin/admin.h"
#include "admin/tools_rules.h"
#include "frame/procedures.h"
#include "runtime/convert.h"
#include "runtime/gbk.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

namespace fs = std::filesystem;

struct NewsItem {
  std::string postid;
  std::string subject;
  DateTime posttime;
};

std::vector<NewsItem> ReadNews(Connection& con, const std::string& sql) {
  std::vector<NewsItem> items;
  for (auto rs = con.Execute(sql); !rs->Eof(); rs->MoveNext()) {
    const Variant time = rs->Fields("posttime");
    items.push_back({rs->Fields("postid").Str(), rs->Fields("subject").Str(),
                     time.IsNull() ? DateTime() : time.CDate()});
  }
  return items;
}

// The script's lines: a table with a heading, the topics linked to topic_page, and a last row.
std::string NewsScript(const Server& server, const std::string& heading,
                       const std::vector<NewsItem>& items, const std::string& topic_page,
                       const std::string& last_row) {
  std::string out = ScriptWriteLine("<table border=0 width=100%>") +
                    ScriptWriteLine("<tr><td>" + heading + "</td></tr>") +
                    ScriptWriteLine("<tr><td><ul>");
  for (const NewsItem& item : items) {
    const DateTime& t = item.posttime;
    out += ScriptWriteLine("<li><a href=\"" + topic_page + item.postid + "\" target=_blank>" +
                           server.HTMLEncode(item.subject) + "</a>") +
           ScriptWriteLine("&nbsp;<font size=1>(" + std::to_string(t.month()) + "/" +
                           std::to_string(t.day()) + "&nbsp;" + std::to_string(t.hour()) + ":" +
                           std::to_string(t.minute()) + ")</font>") +
           ScriptWriteLine("<br>");
  }
  return out + ScriptWriteLine("</ul></td></tr>", false) + ScriptWriteLine(last_row);
}

void WriteScript(const fs::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << Utf8ToGbk(text);
  out.close();
  if (!out) throw ScriptError(err::kInvalidProcedureCall, "无法写入文件 " + file.string());
}

std::string UsageEntry(const std::string& comment, const std::string& base,
                       const std::string& file) {
  return "<!-- " + comment + " js 文件 -->\r\n<script language=javascript src=" + base + "/js/" +
         file + ">\r\n";
}

}  // namespace

void Admin::JsCode() {
  std::unique_ptr<Connection> con;
  RunPage(
      [&] {
        WritePanelHead("生成JsCode");
        const Request& req = Request_();
        // Writing files is a change: a GET only shows the form.
        if (!EqualsNoCase(req.ServerVariables("REQUEST_METHOD").Str(), "POST")) {
          Response_() << "<center><h1>生成JsCode</h1><p>生成显示最新话题的脚本文件，供其他网页"
                         "引用。</p><form action=jscode.asp method=post><table>"
                      << CredentialRows(13)
                      << "<tr><td>内容：</td><td><input type=radio name=Action value=forumjs "
                         "checked>各论坛最新话题 <input type=radio name=Action value=archivejs>"
                         "精华归档最新话题</td></tr><tr><td>话题数：</td><td><input type=text "
                         "name=Num size=5 maxlength=5 value=10></td></tr></table><p><input "
                         "type=submit value=生成JsCode></p></form></center>";
          return;
        }
        const Variant num = req("Num");
        const std::string action = ToLower(req("Action").Str());
        std::string user = req("UserName").Str();
        std::string password = req("Password").Str();
        if (!ToLong(num) || (action != "forumjs" && action != "archivejs")) Refuse("参数错误！");
        if (user.empty() || password.empty()) Refuse("对不起，您必须输入您的用户名和密码！");
        con = OpenConnection_();
        if (!IsAdministrator(user, password, *con)) Refuse("对不起，您没有权限执行该操作！");

        const Server& server = Server_();
        const std::string top = std::to_string(num.CLng());
        const std::string base = ScriptBase(S().BBURL);
        const fs::path folder = LibraryFolder(S().DataDir, "js");
        std::string usage;
        if (action == "forumjs") {
          std::vector<std::string> forums;
          for (auto rs = con->Execute(
                   "select forumname from forum where isnull([restrict],'')<>'private' order by rowid");
               !rs->Eof(); rs->MoveNext()) {
            forums.push_back(rs->Fields(0).Str());
          }
          std::set<std::string> written;
          for (size_t n = 1; n <= forums.size(); ++n) {
            const std::string& forum = forums[n - 1];
            const std::vector<NewsItem> items = ReadNews(
                *con, "select top " + top + " postid, subject,posttime from post where forumname='" +
                          SqlQuote(Variant(forum)) +
                          "' and isnull(parentid,0)=0 order by posttime desc");
            if (items.empty()) continue;  // keeps its number
            const std::string name = std::to_string(n) + ".js";
            const std::string shown = server.HTMLEncode(forum);
            WriteScript(folder / name,
                        NewsScript(server, shown, items, base + "/newsdetail.asp?id=",
                                   "<tr><td align=right><a href=\"" + base +
                                       "/list.asp?groupname=" + server.URLEncode(forum) +
                                       "\">更多" + shown + " >></a></td></tr></table>"));
            written.insert(name);
            usage += UsageEntry(shown, base, name);
          }
          // A forum's old file goes once the forum has no topic, or no longer that number.
          std::vector<fs::path> stale;
          std::error_code ec;
          for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string file = it->path().filename().string();
            const bool numbered = file.size() > 3 && file.ends_with(".js") &&
                                  file.find_first_not_of("0123456789") == file.size() - 3;
            if (numbered && !written.count(file)) stale.push_back(it->path());
          }
          for (const fs::path& file : stale) fs::remove(file, ec);
        } else {
          // Archived topics are read at archivecontent.asp.
          const std::vector<NewsItem> items = ReadNews(
              *con, "select top " + top +
                        " postid, subject,posttime from archivelist where isnull(parentid,0)=0 "
                        "order by posttime desc");
          WriteScript(folder / "archive.js",
                      NewsScript(server, "精华归档", items, base + "/archivecontent.asp?id=",
                                 "<tr><td align=right><a href=\"" + base +
                                     "\">更多精华归档>></a></td></tr></table>"));
          usage = UsageEntry("归档精华", base, "archive.js");
        }
        Response_() << "<b>JsCode已经生成，请按以下语法在其他页面中引用</b><br>"
                       "<textarea class=smallarea cols=80 rows=10>"
                    << usage << "</textarea>";
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(nullptr, con.get());
}

}  // namespace cb
