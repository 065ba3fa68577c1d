// Forum subscriptions: the form of the signed-in member's subscriptions (subscibe.asp), which a
// POST replaces as a whole, and GetSubscibeList, which hands a member's rows to the hosting page.
#include <memory>
#include <set>

#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "posting/post_form.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

void Corkboard::subscibe() {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunFramedPage({.location = "个人订阅", .title = "个人订阅", .heading = "个人订阅"}, [&] {
    const Settings& s = S();
    const Request& request = Request_();
    Response& out = Response_();
    if (!SignedIn(Session_())) {
      Refuse("对不起，个人订阅必须登录后才能进行该操作！请先登录！");
    }
    const std::string name = Session_().Get("UserName").Str();
    const std::string quoted_name = SqlQuote(Variant(name));
    con = OpenConnection_();
    rs = con->Execute("select username from register where username='" + quoted_name +
                      "' and password='" + SqlQuote(Session_().Get("Password")) + "'");
    if (rs->Eof()) Refuse("对不起，您没有通过我们的身份认证！请重新登录！");
    rs->Close();

    const std::string list_sql =
        "select forum.forumname,descript,catalog,a.forumname as subscibeforum from forum left "
        "outer join (select forumname from subscibe where username='" +
        quoted_name + "') as a on forum.forumname=a.forumname order by sequence";
    if (EqualsNoCase(request.ServerVariables("REQUEST_METHOD").Str(), "POST")) {
      // Only forums of this board can be chosen, each once.
      std::set<std::string> chosen;
      if (request("submit").Str() == "订阅") {
        std::set<std::string> forums;
        rs = con->Execute("select forumname from forum");
        for (; !rs->Eof(); rs->MoveNext()) forums.insert(rs->Fields("forumname").Str());
        rs->Close();
        const ValueCollection& form = request.form();
        for (int i = 1; i <= form.Count("subscibe"); ++i) {
          const std::string forum = form.Item("subscibe", i).Str();
          if (forums.count(forum) != 0) chosen.insert(forum);
        }
      }
      // Replaced as a whole or not at all.
      con->BeginTrans();
      try {
        con->Execute("delete from subscibe where username='" + quoted_name + "'");
        for (const std::string& forum : chosen) {
          con->Execute("insert into subscibe (username,forumname) values ('" + quoted_name + "','" +
                       SqlQuote(Variant(forum)) + "')");
        }
      } catch (...) {
        con->RollbackTrans();
        throw;
      }
      con->CommitTrans();
    }

    out << "<form action=subscibe.asp method=post>" << s.TableBorderStart
        << "<table cellpadding=4 cellspacing=1 border=0 width=" << s.InnerTableWidth << ">";
    rs = con->Execute(list_sql);
    bool first = true;
    std::string catalog;
    // Forum names, descriptions and catalogs are the operator's HTML, as on the index.
    for (; !rs->Eof(); rs->MoveNext()) {
      const std::string this_catalog = rs->Fields("catalog").Str();
      if (first || this_catalog != catalog) {
        out << "<tr " << s.CategoryStripColor << "><td><font color=" << s.CategoryStripTextColor
            << "><b>" << this_catalog << "</b></font></td></tr>";
      }
      first = false;
      catalog = this_catalog;
      const std::string forum = rs->Fields("forumname").Str();
      out << "<tr><td><input type=checkbox name=subscibe value=\"" << HtmlSafe(forum) << "\""
          << (rs->Fields("subscibeforum").IsNull() ? "" : " checked") << ">" << forum << "("
          << rs->Fields("descript").Str() << ")</td></tr>";
    }
    out << "<tr><td align=center><input type=submit name=submit value=订阅 class=buttonface> "
           "<input type=submit name=cancelsubscibe value=取消订阅 class=buttonface></td></tr>"
           "</table>"
        << s.TableBorderEnd << "</form>";
  });
  CloseQuietly(rs.get(), con.get());
}

Variant Corkboard::GetSubscibeList(const Variant& UserName) {
  std::unique_ptr<Connection> con = OpenConnection_();
  std::unique_ptr<Recordset> rs =
      con->Execute("select * from subscibe where username='" + SqlQuote(UserName) + "'");
  Variant rows;
  if (!rs->Eof()) rows = Variant(rs->GetRows());
  CloseQuietly(rs.get(), con.get());
  return rows;
}

}  // namespace cb
