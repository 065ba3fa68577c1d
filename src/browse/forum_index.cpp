// The forum index (Home): the front page with the statistics, every forum by catalog with its
// new-post marker, the private-message and online rows, and the visit-time cookies behind markers.
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "frame/board_cache.h"
#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

std::optional<DateTime> CookieDate(const Request& request, std::string_view name) {
  return DateTime::Parse(request.Cookies(name).Str());
}

// A count column that may come back null.
int64_t CountOf(const Variant& v) { return v.IsNull() || v.IsEmpty() ? 0 : int64_t{v.CLng()}; }

// The parts of the index below its top, written on the page's connection and record set.
struct IndexWriter {
  const Settings& s;
  Response& out;
  const Server& server;
  Connection& con;
  std::unique_ptr<Recordset>& rs;

  void FunctionBar();
  void Statistics(const DateTime& last_visit);
  void ForumTable(const DateTime& last_visit);
  void PmRow(const Session& session, const Request& request);
  void OnlineRow(const Application& app, const std::string& listed, const std::string& address);
};

// The previous visit, which marks forums with new posts: at the first page of a session the date
// of the last-visit cookie, kept for the session in "sessionLoginDT", while the last-visit cookie
// moves to now; later in the session the date kept. Without either, now.
DateTime NoteVisit(Session& session, const Request& request, Response& response,
                   const DateTime& now) {
  const DateTime expires = now.DateOnly().AddDays(365);
  if (!session.Get("FirstIn").Str().empty()) {
    session.Set("FirstIn", Variant("no"));
    return CookieDate(request, "SessionLoginDT").value_or(now);
  }
  const DateTime last_visit = LastVisitCookie(request).value_or(now);
  response.SetCookie("sessionLoginDT", last_visit.GeneralText(), expires);
  response.SetCookie(kLastVisitCookie, now.GeneralText(), expires);
  session.SetRecomputable("FirstIn", Variant("yes"));
  return last_visit;
}

// One forum's row of the index as read, before the visitor's new-post marker.
struct IndexForum {
  std::string name, descript, catalog, master;
  int64_t topics = 0, posts = 0;
  Variant last_time, last_user;
};

std::vector<IndexForum> ReadForums(Connection& con) {
  auto rs = con.Execute(
      "select Forum.Forumname,Forum.descript,Forum.Catalog,isnull(topiccount,0)+isnull("
      "replycount,0) as postcount, isnull(topiccount,0) as  subjectcount,lastposttime as "
      "lasttime,lastpostusername,forummaster from Forum  order by forum.sequence ");
  std::vector<IndexForum> rows;
  for (; !rs->Eof(); rs->MoveNext()) {
    rows.push_back({rs->Fields("ForumName").Str(), rs->Fields("Descript").Str(),
                    rs->Fields("Catalog").Str(), rs->Fields("ForumMaster").Str(),
                    CountOf(rs->Fields("SubjectCount")), CountOf(rs->Fields("PostCount")),
                    rs->Fields("lastTime"), rs->Fields("lastpostusername")});
  }
  return rows;
}

// The top of the index: the logo beside the board's name and links, or the CLUB top.
std::string IndexTop(const Settings& s) {
  if (s.BBSTYLE == "CBK") {
    return "<table border=0 width=" + s.TableWidth + "><tr><td>" + s.Logo +
           "</td><td><p align=Left>&nbsp;&nbsp;&nbsp;<b><font class=bbtitle color=\"" +
           s.BBTitleFontColor + "\">" + s.BBName + "</font></b></p><p>" + s.NavBar +
           "</p></td></tr></table>";
  }
  if (s.BBSTYLE == "CLUB") return ClubPageTop(s);
  return "";
}

}  // namespace

void Corkboard::Home() {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunPage(
      [&] {
        std::string listed;
        const std::string address = Request_().ServerVariables("Remote_addr").Str();
        UpdateOnline(address, "首页", listed);
        const DateTime last_visit = NoteVisit(Session_(), Request_(), Response_(), Now());
        const Settings& s = S();
        Response& out = Response_();
        out << WritePageHead(s, s.BBName) << "<div align=center><center>" << IndexTop(s);
        con = OpenConnection_();
        IndexWriter index{s, out, Server_(), *con, rs};
        index.FunctionBar();
        index.Statistics(last_visit);
        index.ForumTable(last_visit);
        index.PmRow(Session_(), Request_());
        index.OnlineRow(Application_(), listed, address);
        if (s.BBSTYLE == "CBK") out << ArchiveJumpMenu(*con);
        out << "</center>"
            << "</div>"
            << "<p><ul><img alt=On border=0 src=images/on.gif WIDTH=22 HEIGHT=15>&nbsp;&nbsp; "
               "自从你上次来过以后有新贴子.<br>"
            << "<img alt=off border=0 src=images/off.gif WIDTH=22 HEIGHT=15><span "
               "class=smallFont>&nbsp;&nbsp; 自从你上次来过以后没有新贴子. </span></ul>";
        out << s.Copyright;
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(rs.get(), con.get());
}

void IndexWriter::FunctionBar() {
  out << "<table border=0 width=" << s.TableWidth << ">"
      << "<tr>"
      << "<td><b>[功能区]</b> <a href=search.asp?action=getdaily>今天的话题</a>"
         "&nbsp;|&nbsp;"
      << "<a href=active.asp>最近25条贴子</a>&nbsp;"
      << "|&nbsp;<a href=hot.asp>最热门25条贴子</a>&nbsp;"
      << "|&nbsp;<a href=morereply.asp>最多回复25条贴子</a>"
      << "</td></tr>"
      << "<tr>"
      << "</table>";
}

void IndexWriter::Statistics(const DateTime& last_visit) {
  out << "<table border=0 width=" << s.TableWidth << ">";
  if (s.DisplayPostCount) {
    out << "<tr><td colspan=2 align=right>";
    const auto totals =
        BoardCached<std::pair<int64_t, int64_t>>(con, "IndexTotals", "", [](Connection& c) {
          auto r =
              c.Execute("select sum(isnull(topiccount,0)),sum(isnull(replycount,0)) from forum");
          return std::pair{CountOf(r->Fields(0)), CountOf(r->Fields(1))};
        });
    const auto [topics, replies] = *totals;
    out << "主题总数:<b>" << std::to_string(topics) << "</b> | 回复总数:<b>"
        << std::to_string(replies) << "</b> | 贴子总数:<b>" << std::to_string(topics + replies)
        << "</b>"
        << "</td></tr>";
  }
  out << "<tr>"
      << "<td>您上次来访时间为: " << FormatPostTime(s, Variant(last_visit)) << "</td>"
      << "<td nowrap align=right>"
      << "<a href=member.asp>注册用户列表</a> ";
  if (s.DisplayMemberTotal) {
    const auto members = BoardCached<std::string>(con, "IndexMembers", "", [](Connection& c) {
      return c.Execute("Select count(username) from Register")->Fields(0).Str();
    });
    out << "| 注册用户:<b>" << *members << "</b> ";
  }
  if (s.DisplayRegistration) {
    const auto newest_member =
        BoardCached<std::optional<std::string>>(con, "IndexNewest", "", [](Connection& c) {
          auto r = c.Execute("select top 1 username from Register order by signdate desc");
          return r->Eof() ? std::nullopt : std::optional(r->Fields("username").Str());
        });
    if (newest_member->has_value()) {
      const std::string& newest = **newest_member;
      out << "|&nbsp;最后加盟:<a href=viewuser.asp?username=" << server.URLEncode(newest) << "><b>"
          << newest << "</b></a>";
    }
  }
  out << "</td>"
      << "</tr>"
      << "</table>";
}

namespace {

// The forum table as every visitor sees it, each forum's row split around its new-post marker,
// the only part of the table that depends on the visitor.
struct RenderedForum {
  std::string before_marker;
  std::optional<DateTime> last_time;  // none: never marked new
  std::string after_marker;
};
struct RenderedForumTable {
  std::string head;
  std::vector<RenderedForum> forums;
};

RenderedForumTable RenderForumTable(const Settings& s, const Server& server,
                                    const std::vector<IndexForum>& forums) {
  RenderedForumTable table;
  table.head = s.TableBorderStart +
               "<table cellpadding=4 border=0 cellspacing=1  width=" + s.InnerTableWidth + ">\r\n";
  table.head +=
      "<tr " + s.TableColorStrip + ">\r\n" + "<td></td>\r\n" +
      "<td vAlign=bottom width=270><font color=" + s.TableStripTextColor +
      "><b>讨论区</b></font></td>\r\n" +
      "<td align=middle noWrap vAlign=bottom width=60><font color=" + s.TableStripTextColor +
      "><b>主题数</b></font>\r\n" + "</td>\r\n" +
      "<td align=middle noWrap vAlign=bottom width=60><font color=" + s.TableStripTextColor +
      "><b>贴子数</b></font>\r\n" + "</td>\r\n" +
      "<td align=middle noWrap vAlign=bottom width=120><font color=" + s.TableStripTextColor +
      "><b>最后发表</b></font></td>\r\n" +
      "<td vAlign=bottom align=center noWrap><p style=color:white><b>版主</b> </td>\r\n" +
      "</tr>\r\n";
  bool first = true;
  std::string catalog;
  for (const IndexForum& row : forums) {
    RenderedForum& r = table.forums.emplace_back();
    // Forum names, descriptions, catalogs and master texts are the operator's HTML.
    if (first || row.catalog != catalog) {
      r.before_marker = "<tr " + s.CategoryStripColor + ">" +
                        "<td colSpan=6><font color=" + s.CategoryStripTextColor + "><b>" +
                        row.catalog + "</b></font> </td>" + "</tr>";
    }
    first = false;
    catalog = row.catalog;
    r.before_marker += "<tr><td vAlign=top " + s.BGColor + " align=center>";

    const Variant& last_time = row.last_time;
    if (!last_time.IsNull() && !last_time.IsEmpty()) r.last_time = last_time.CDate();
    std::string& out = r.after_marker;
    out = "</td>";
    out += "<td  vAlign=top " + s.AltColumnColor1 +
           "><p><b><a href=\"list.asp?GroupName=" + server.URLEncode(row.name) + "\">" + row.name +
           "</a></b><br>" + row.descript + "</td>";
    out += "<td   noWrap vAlign=top align=center " + s.AltColumnColor2 + "><p>" +
           std::to_string(row.topics) + "&nbsp;</td>";
    out += "<td align=center noWrap vAlign=top " + s.AltColumnColor1 + "><p>" +
           std::to_string(row.posts) + "&nbsp;</td>";
    if (row.last_user.IsNull()) {
      out += "<td " + s.AltColumnColor2 + "></td>";
    } else {
      const std::string who = row.last_user.Str();
      out += "<td   noWrap vAlign=top align=center " + s.AltColumnColor2 + "><p>" +
             FormatLastPostTime(s, last_time) + "<br>by " +
             "<a href=viewuser.asp?username=" + server.URLEncode(who) + ">" + who + "</a></td>";
    }
    out +=
        "<td  vAlign=top  align=left " + s.AltColumnColor1 + " >" + row.master + "</td>" + "</tr>";
  }
  return table;
}

}  // namespace

void IndexWriter::ForumTable(const DateTime& last_visit) {
  // Kept per write generation and per look: the settings the table is written with are its key.
  std::string look;
  for (const std::string* part :
       {&s.TableBorderStart, &s.InnerTableWidth, &s.TableColorStrip, &s.TableStripTextColor,
        &s.CategoryStripColor, &s.CategoryStripTextColor, &s.BGColor, &s.AltColumnColor1,
        &s.AltColumnColor2, &s.TimeColor}) {
    look += *part;
    look += '\x1f';
  }
  const auto table = BoardCached<RenderedForumTable>(
      con, "IndexForumTable", look,
      [&](Connection& c) { return RenderForumTable(s, server, ReadForums(c)); });
  out << table->head;
  for (const RenderedForum& row : table->forums) {
    const bool fresh = row.last_time && *row.last_time > last_visit;
    out << row.before_marker
        << (fresh ? "<img border=0 src=images/on.gif >" : "<img border=0 src=images/off.gif >")
        << row.after_marker;
  }
}

void IndexWriter::PmRow(const Session& session, const Request& request) {
  out << "<tr " << s.CategoryStripColor << ">"
      << "<td colSpan=6><font color=" << s.CategoryStripTextColor << "><b>悄悄话</b></font> </td>"
      << "</tr>"
      << "<tr><td vAlign=top " << s.BGColor << " align=center >";

  // The mailbox sign-in of this session, else the board's name cookies.
  std::string name = session.Get("username").Str();
  std::string password = session.Get("password").Str();
  if (name.empty() && password.empty()) {
    name = request.Cookies("UserName").Str();
    password = request.Cookies("Password").Str();
  }
  std::string text;
  if (!name.empty() && !password.empty()) {
    rs = con.Execute(
        "select count(postid) from PM inner join register on PM.recipient=register.username "
        "where recipient='" +
        SqlQuote(Variant(name)) + "' and password='" + SqlQuote(Variant(password)) +
        "' and isnew=1");
    const int64_t unread = rs->Eof() ? 0 : CountOf(rs->Fields(0));
    if (unread == 0) {
      out << "<img src=images/pm_off_b.gif>";
      text = "您没有新悄悄话";
    } else {
      out << "<img src=images/pm_on_b.gif align=absmiddle>";
      text = "您有" + std::to_string(unread) + "条新悄悄话";
    }
  } else {
    out << "<img src=images/pm_off_b.gif>";
    text = "检查您的悄悄话";
  }
  out << "</td>"
      << "<td colspan=5 " << s.AltColumnColor1 << " >"
      << "<a href=pm.asp><b>悄悄话</b></a>"
      << " <br> - " << text << "</td>"
      << "</tr>";
}

void IndexWriter::OnlineRow(const Application& app, const std::string& listed,
                            const std::string& address) {
  const int64_t online = CountOf(app.Get("OnlineCount"));
  const int64_t guests = CountOf(app.Get("GuestCount"));
  out << "<tr " << s.CategoryStripColor << ">"
      << "<td colSpan=6><font color=" << s.CategoryStripTextColor << "><b>在线用户</b></font> </td>"
      << "</tr>"
      << "<tr><td vAlign=top " << s.BGColor << " align=center >"
      << "<img src=images/online.gif>"
      << "</td>"
      << "<td colspan=5 " << s.AltColumnColor1 << " >"
      << "<a href=online.asp><b>当前浏览的朋友 (" << std::to_string(online) << ")</b></a>"
      << " <br>";
  if (listed == "GUEST ") {
    out << s.GuestTitle << " (" << MaskIP(address) << ")";
  } else {
    // The listed name may come from a cookie the visitor wrote: shown as text.
    out << "成员 " << server.HTMLEncode(listed);
  }
  out << " - "
      << "现在 " << std::to_string(online - guests) << " 个成员和 " << std::to_string(guests)
      << " 个" << s.GuestTitle << "在这个论坛"
      << "</td>"
      << "</tr>"
      << "</table>" << s.TableBorderEnd;
}

}  // namespace cb
