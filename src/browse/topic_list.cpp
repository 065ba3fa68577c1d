// The topic list (list.asp): one page of a forum's topics, newest activity first, limited to a day
// range, with the forum's heading block, status icons, thread page links, pager, legend and jump
// menu.
#include "browse/topic_list.h"

#include <charconv>
#include <cstdlib>
#include <memory>
#include <optional>

#include "frame/corkboard.h"
#include "frame/fragments.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

struct DayOption {
  int16_t days;
  const char* text;
};
constexpr DayOption kDayOptions[] = {
    {1, "显示前一天的贴子"},      {2, "显示前两天的贴子"},    {5, "显示前五天的贴子"},
    {10, "显示前十天的贴子"},     {20, "显示前二十天的贴子"}, {30, "显示前三十天的贴子"},
    {45, "显示前四十五天的贴子"}, {60, "显示前六十天的贴子"}, {75, "显示前七十五天的贴子"},
    {365, "显示前一年的贴子"},    {0, "显示所有的贴子"}};

// Abs of a 16-bit value, raising the overflow the legacy Abs raises for -32768.
int16_t Abs16(int16_t v) {
  if (v == INT16_MIN) throw ScriptError(err::kOverflow, "溢出", "Corkboard.list");
  return static_cast<int16_t>(std::abs(v));
}

int64_t CountOf(const Variant& v) { return v.IsNull() || v.IsEmpty() ? 0 : int64_t{v.CLng()}; }

// The parts of the page below the head, written with the page's values.
struct ListWriter {
  const Settings& s;
  Response& out;
  const Server& server;
  const std::string& forum;
  int16_t days;

  void Heading(const std::string& master, const std::string& announce_line) const;
  // The table of one page of topics; clamps page to the last one and returns the page count.
  int16_t Topics(Recordset& rs, int16_t& page, const DateTime& last_visit) const;
  std::string DaySelector() const;
  void Row(const Recordset& rs, const DateTime& last_visit) const;
  std::string ThreadPages(const Variant& postid, const Variant& replycount) const;
  void Legend() const;
};

// The link to the forum's newest announcement shown today, or "".
std::string AnnouncementLine(Connection& con, const Server& server, const std::string& forum,
                             const DateTime& now) {
  const std::string today = now.DateOnly().YmdHms();
  auto rs = con.Execute(
      "select top 1 subject from announce inner join announceto on "
      "announce.id=announceto.id where startdate<='" +
      today + "' and EndDate>='" + today + "' and ForumName='" + SqlQuote(forum) +
      "' order by posttime desc");
  if (rs->Eof()) return "";
  // Announcements are members' text: shown as text.
  return "<img src=images/announce.gif>&nbsp;<a href=cbkmisc.asp?action=getannounce&forum=" +
         server.URLEncode(forum) + ">" + HtmlSafe(rs->Fields("Subject").Str()) + "</a>";
}

// The forum's topics within the day range, newest activity first, as a static paged cursor.
std::unique_ptr<Recordset> OpenTopics(Connection& con, const Settings& s, const std::string& forum,
                                      int16_t days, const DateTime& now) {
  std::string sql = s.DisplayTopicSize
                        ? "select  datalength(message) as msglen,username,status,postid,"
                          "subject,hits,icon,replycount,lastreplyposttime as lastly,"
                          "lastreplyusername "
                        : "select  username,status,postid,subject,hits,icon,replycount,"
                          "lastreplyposttime as lastly,lastreplyusername ";
  sql += " from post where parentid is null and forumname='" + SqlQuote(forum);
  if (days != 0) {
    // The range starts on a whole minute, so the statement, and with it the remembered count of
    // its rows, stays the same for a minute rather than changing every second.
    const DateTime since = now.AddDays(-days);
    sql += "'  and lastreplyposttime>='" + since.AddSeconds(-since.second()).YmdHms() +
           "' order by Lastreplyposttime desc";
  } else {
    sql += "'   order by Lastreplyposttime desc";
  }
  auto rs = std::make_unique<Recordset>();
  rs->SetCacheSize(s.PageSize);
  rs->Open(sql, con, adOpenStatic, adLockReadOnly);
  return rs;
}

}  // namespace

LastVisit ListLastVisit(std::string_view visit_cookie, DateTime now) {
  if (visit_cookie.empty()) return {now, true};
  return {DateTime::Parse(visit_cookie).value_or(now), false};
}

DayRange ListDayRange(const Variant& query_days, const Variant& cookie_days, int16_t default_days) {
  if (!query_days.Str().empty()) {
    return {IsNumeric(query_days) ? Abs16(query_days.CInt()) : default_days, false};
  }
  if (cookie_days.Str().empty()) return {default_days, false};
  if (!IsNumeric(cookie_days)) return {default_days, true};
  return {Abs16(cookie_days.CInt()), false};
}

void Corkboard::list() {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunPage(
      [&] {
        RecordVisit("贴子列表");
        const Settings& s = S();
        Response& out = Response_();
        out << WritePageHead(s, "贴子列表 - " + s.BBName) << "\r\n"
            << "<center>";
        con = OpenConnection_();
        const ForumCheck forum = CheckForum(*con, Request_().QueryString("GroupName").Str());
        if (!forum) Refuse(kNoForumMessage);
        if (!Admitted(forum)) {
          PrivateForum(forum.name);
          SkipToTail();
        }

        const DateTime now = Now();
        const DateTime expires = now.DateOnly().AddDays(365);
        const LastVisit visit = ListLastVisit(Request_().Cookies("sessionLoginDT").Str(), now);
        if (visit.set_cookie) out.SetCookie("sessionLoginDT", now.GeneralText(), expires);
        const DayRange range = ListDayRange(Request_().QueryString("DaysPrune"),
                                            Request_().Cookies("DaysPrune"), s.DaysPruneDefault);
        if (range.reset_cookie) {
          out.SetCookie("DaysPrune", std::to_string(s.DaysPruneDefault), expires);
        }

        ListWriter w{s, out, Server_(), forum.name, range.days};
        w.Heading(forum.master, AnnouncementLine(*con, Server_(), forum.name, now));
        int16_t page = PageNumber(Request_()("Page"));
        rs = OpenTopics(*con, s, forum.name, range.days, now);
        const int32_t record_count = static_cast<int32_t>(rs->RecordCount());
        const int16_t page_count = w.Topics(*rs, page, visit.when);
        rs->Close();
        PageStyle(record_count, page, page_count, s.PageSize,
                  "&GroupName=" + Server_().URLEncode(forum.name) +
                      "&DaysPrune=" + std::to_string(range.days));
        w.Legend();
        if (s.BBSTYLE == "CBK") out << JumpTo(*con, Variant(forum.name), false);
        out << "</center>" << s.Copyright;
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(rs.get(), con.get());
}

namespace {

void ListWriter::Heading(const std::string& master, const std::string& announce_line) const {
  const std::string enc_forum = server.URLEncode(forum);
  // The forum name came in the address: kept as text wherever it is written.
  const std::string shown_forum = HtmlSafe(forum);
  const std::string new_topic = "<a href=posting.asp?action=newtopic&forum=" + enc_forum +
                                "><img src=\"images/" + s.BBTopic + "\" alt=新开主题 border=0></a>";
  const std::string form_start =
      "<form name=frmSearch action=list.asp method=get><input type=hidden name=GroupName "
      "value=\"" +
      shown_forum + "\"><input type=hidden name=Page value=\"\">";
  const std::string forum_block = "<font color=darkblue><b>" + shown_forum +
                                  "</b></font><br>版主：" + master +
                                  (announce_line.empty() ? "" : "<br>" + announce_line);
  if (s.BBSTYLE == "CBK") {
    out << "<table border=0 width=" << s.TableWidth << ">" << form_start << "<tr>"
        << "<td valign=top>" << s.Logo << "<br>" << forum_block << "</td>"
        << "<td valign=top align=right>"
        << "<img src=images/open.gif>&nbsp;<a href=default.asp title=\"返回讨论区总页.\">"
        << s.BBName << "</a><br>"
        << "<img src=images/tline.gif><img src=images/open.gif>&nbsp;" << shown_forum
        << "<p align=center>" << new_topic << "</p>"
        << "<p>" << NavBarLinks(s) << "</p>"
        << "<p align=right>" << DaySelector() << "</p>"
        << "</td></tr></form></table>";
  } else if (s.BBSTYLE == "CLUB") {
    out << "<table border=0 width=" << s.TableWidth << ">" << form_start
        << "<tr><td colspan=2 align=center>" << s.Logo << "</td></tr>"
        << "<tr><td colspan=2 align=right>" << NavBarLinks(s) << "</td></tr>"
        << "<tr><td valign=top>" << forum_block << "</td>"
        << "<td valign=middle align=right>" << new_topic << "<br>" << DaySelector() << "</td></tr>"
        << "</form></table>";
  }
}

int16_t ListWriter::Topics(Recordset& rs, int16_t& page, const DateTime& last_visit) const {
  out << s.TableBorderStart
      << "<table border=0 cellspacing=1 cellpadding=4 width=" << s.InnerTableWidth << ">"
      << "\r\n";
  const std::string strip_font = "<font color=" + s.TableStripTextColor + "><b>";
  out << "<tr " << s.TableColorStrip << "><td width=20></td><td width=20></td>"
      << "<td align=center nowrap>" << strip_font << "点击</b></font></td>"
      << "<td>" << strip_font << "话题</b></font></td>"
      << "<td align=center nowrap>" << strip_font << "话题发起</b></font></td>"
      << "<td align=center nowrap>" << strip_font << "窗</b></font></td>"
      << "<td align=center nowrap>" << strip_font << "回复</b></font></td>"
      << "<td align=center nowrap>" << strip_font << "最后发表</b></font></td></tr>";
  int16_t page_count = 0;
  if (!rs.Eof()) {
    rs.SetPageSize(s.PageSize);
    page_count = static_cast<int16_t>(rs.PageCount());
    if (page > page_count) page = page_count;
    rs.SetAbsolutePage(page);
    for (int i = 0; i < s.PageSize && !rs.Eof(); ++i) {
      Row(rs, last_visit);
      rs.MoveNext();
    }
  }
  out << "</table>" << s.TableBorderEnd;
  return page_count;
}

std::string ListWriter::DaySelector() const {
  std::string html = "<select name=DaysPrune class=smallsel>";
  for (const DayOption& o : kDayOptions) {
    html += "<option value=" + std::to_string(o.days) + (o.days == days ? " selected" : "") + ">" +
            o.text + "</option>";
  }
  return html + "</select> <input type=submit name=go value=GO class=buttonface>";
}

void ListWriter::Row(const Recordset& rs, const DateTime& last_visit) const {
  const Variant postid = rs("postid");
  const Variant lastly = rs("lastly");
  const int64_t replies = CountOf(rs("replycount"));
  const bool hot = replies > s.HotCount;
  const bool news = !lastly.IsNull() && !lastly.IsEmpty() && lastly.CDate() > last_visit;
  const char* status_icon = ToLower(rs("status").Str()) == "close" ? "lock.gif"
                            : news ? (hot ? "hotclosedb.gif" : "closedb.gif")
                                   : (hot ? "hotclosed.gif" : "closed.gif");
  const std::string subject = server.HTMLEncode(rs("subject").Str());
  const std::string author = rs("username").Str();
  const std::string last_author = rs("lastreplyusername").Str();
  const std::string topic_link = "NewsDetail.asp?id=" + postid.Str();

  out << "<tr><td bgcolor=#f7f7f7 align=center><img src=images/" << status_icon << "></td>"
      << "<td bgcolor=#dedfdf align=center><img src=icon/icon" << rs("icon").Str() << ".gif></td>"
      << "<td bgcolor=#FED639 align=center>" << rs("hits").Str() << "</td>"
      << "<td bgcolor=#f7f7f7><a href=" << topic_link << " title=\"" << subject << "\">" << subject
      << "</a>" << ThreadPages(postid, rs("replycount"));
  if (s.DisplayTopicSize) {
    out << " <font class=topicsize>" << FormatThousands(CountOf(rs("msglen"))) << " bytes</font>";
  }
  out << "</td>"
      << "<td bgcolor=#dedfdf align=center><a href=viewuser.asp?username="
      << server.URLEncode(author) << " target=_blank>" << HtmlSafe(author) << "</a></td>"
      << "<td " << s.AltColumnColor1 << " align=center><a href=" << topic_link
      << " target=_blank><img src=images/newwin.gif border=0></a></td>"
      << "<td bgcolor=#f7f7f7 align=center>" << rs("ReplyCount").Str() << "</td>"
      << "<td bgcolor=#dedfdf nowrap>" << FormatLastPostTime(s, lastly)
      << " By <a href=viewuser.asp?username=" << server.URLEncode(last_author) << " target=_blank>"
      << HtmlSafe(last_author) << "</a></td></tr>";
}

// Links to each page of a thread longer than one page of the thread view.
std::string ThreadPagesText(const Variant& postid, int64_t posts, int16_t per_page) {
  if (per_page <= 0) return "";
  const int64_t pages = (posts + per_page - 1) / per_page;
  if (pages <= 1) return "";
  // The list's 10,000-reply thread has a thousand of these: one string, sized once.
  const std::string id = postid.Str();
  std::string html = " <img src=images/multipage.gif alt=多页>";
  html.reserve(html.size() + static_cast<size_t>(pages) * (id.size() + 48));
  char num[24];
  for (int64_t n = 1; n <= pages; ++n) {
    const std::string_view text(
        num, static_cast<size_t>(std::to_chars(num, num + sizeof num, n).ptr - num));
    html.append("<a href=newsdetail.asp?id=").append(id).append("&page=").append(text);
    html.append(">[").append(text).append("]</a>&nbsp;");
  }
  return html;
}

std::string ListWriter::ThreadPages(const Variant& postid, const Variant& replycount) const {
  return ThreadPagesText(postid, CountOf(replycount) + 1, s.HotCount);
}

void ListWriter::Legend() const {
  const std::string hot = std::to_string(s.HotCount);
  out << "<table border=0 width=" << s.TableWidth << "><tr><td>"
      << "<p><img alt=有新贴子 src=images/closedb.gif WIDTH=18 HEIGHT=16><span "
         "class=smallFont>&nbsp;&nbsp;自从你上次来过以后有新贴子.(&nbsp;<img "
         "src=images/hotclosedb.gif align=absmiddle WIDTH=18 HEIGHT=17>&nbsp;超过 "
      << hot << " 个回复)</span><br>"
      << "\r\n"
      << "<img alt=没新贴子 src=images/closed.gif WIDTH=18 HEIGHT=16><span "
         "class=smallFont>&nbsp;&nbsp;自从你上次来过以后没有新贴子.(&nbsp;<img "
         "src=images/hotclosed.gif align=absmiddle WIDTH=18 HEIGHT=17>&nbsp;超过 "
      << hot
      << " 个回复)</span><br><img alt=已关闭的主题 src=images/lock.gif WIDTH=18 HEIGHT=16><span "
         "class=smallFont>&nbsp;&nbsp;&nbsp;已关闭的主题 - 不再接受回复.</span>"
      << "\r\n"
      << "</td></tr></table>";
}

}  // namespace

}  // namespace cb
