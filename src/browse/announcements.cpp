// The current announcements of one forum (cbkmisc.asp?action=getannounce&forum=...), opened
// from the announcement line of its topic list.
#include <memory>
#include <string>
#include <vector>

#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "markup/markup.h"
#include "members/member_checks.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

struct Announcement {
  std::string subject, username, content;
  Variant posttime, startdate, enddate;
};

// A date as the long date text of the board's locale ("2024年5月9日").
std::string LongDate(const Variant& v) {
  if (v.IsNull() || v.IsEmpty()) return "";
  const DateTime d = v.CDate();
  return std::to_string(d.year()) + "年" + std::to_string(d.month()) + "月" +
         std::to_string(d.day()) + "日";
}

std::vector<Announcement> CurrentAnnouncements(Connection& con, const std::string& forum,
                                               const DateTime& now) {
  con.Execute("set dateformat ymd");
  const std::string today = now.DateOnly().YmdHms();
  auto rs = con.Execute(
      "select * from announce inner join announceto on announce.id=announceto.id where "
      "startdate<='" +
      today + "' and EndDate>='" + today + "' and ForumName='" + SqlQuote(Variant(forum)) +
      "' order by posttime desc");
  std::vector<Announcement> out;
  for (; !rs->Eof(); rs->MoveNext()) {
    out.push_back({rs->Fields("subject").Str(), rs->Fields("UserName").Str(),
                   rs->Fields("content").Str(), rs->Fields("Posttime"), rs->Fields("StartDate"),
                   rs->Fields("EndDate")});
  }
  return out;
}

}  // namespace

void Corkboard::Getannounce() {
  std::unique_ptr<Connection> con;
  RunPage(
      [&] {
        const std::string forum = Request_()("Forum").Str();
        RecordVisit("查看公告");
        con = OpenConnection_();
        const std::vector<Announcement> list = CurrentAnnouncements(*con, forum, Now());
        const Settings& s = S();
        Response& out = Response_();
        out << WritePageHead(s, "公告 - " + s.BBName) << "<center>";
        // A private forum's announcements are for the members it admits.
        const ForumCheck checked = CheckForum(*con, forum);
        if (checked && !Admitted(checked)) {
          PrivateForum(forum);
          SkipToTail();
        }

        // The forum name came in the address: kept as text.
        const std::string shown_forum = HtmlSafe(forum);
        const std::string forum_block = "<font color=darkblue><b>" + shown_forum +
                                        "</b></font><br>版主：" + ModeratorLinks(forum, *con);
        if (s.BBSTYLE == "CBK") {
          out << "<table border=0 width=" << s.TableWidth << " align=center><tr><td valign=top>"
              << s.Logo << "<br>" << forum_block << "</td><td valign=top align=right>"
              << "<img src=images/open.gif>&nbsp;<a href=default.asp>" << s.BBName << "</a><br>"
              << "<img src=images/tline.gif><img src=images/open.gif>&nbsp;"
              << "<a href=list.asp?groupname=" << Server_().URLEncode(forum) << ">" << shown_forum
              << "</a><p>" << NavBarLinks(s) << "</p></td></tr></table>";
        } else if (s.BBSTYLE == "CLUB") {
          out << ClubPageTop(s) << "<table border=0 width=" << s.TableWidth << "><tr><td>"
              << forum_block << "</td></tr></table>";
        }
        out << "<table border=0 width=" << s.TableWidth << "><tr><td><P><B>当前公告："
            << std::to_string(list.size())
            << "</B> <BR>注意：只有超级系统管理员和版主可以发布公告。你不必回复这些公告。 "
            << "</td></tr></table>" << s.TableBorderStart
            << "<table border=0 cellpadding=4 cellspacing=1 width=" << s.InnerTableWidth << ">"
            << StripRowStart(s) << "<td width=30%>" << StripFontStart(s)
            << "<b>主题</b></font></td><td>" << StripFontStart(s) << "<b>公告</b></font></td></tr>";
        // Announcements posted since the last visit are marked new.
        const DateTime last_visit = list.empty() ? Now() : GetSessionLoginDT().CDate();
        for (size_t i = 0; i < list.size(); ++i) {
          const Announcement& a = list[i];
          const bool fresh = !a.posttime.IsNull() && a.posttime.CDate() >= last_visit;
          out << "<tr " << (i % 2 == 0 ? s.AltColumnColor1 : s.AltColumnColor2)
              << "><td valign=top><font color=darkblue>" << HtmlSafe(a.subject)
              << "</font></td><td><img src=images/" << (fresh ? "posticonnew.gif" : "posticon.gif")
              << ">由 " << HtmlSafe(a.username) << " 发布　　　<font color=darkblue>［从 "
              << LongDate(a.startdate) << " 开始到 " << LongDate(a.enddate) << "截止］</font><HR>"
              << ToHtml(Server_().HTMLEncode(a.content)) << "</td></tr>";
        }
        out << "</table>" << s.TableBorderEnd << "<table border=0 width=" << s.TableWidth
            << "><tr><td><img src=images/posticonnew.gif> 新的公告 "
            << "<img src=images/posticon.gif> 旧的公告</td></tr></table></center>" << s.Copyright;
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(nullptr, con.get());
}

}  // namespace cb
