// The board-wide digests: the 25 topics with the most views, the most replies and the newest
// activity (hot.asp, morereply.asp, active.asp), and the two top-ten member rankings (top.asp).
// Private forums are never listed. Each list is read through an index in its order.
#include <memory>
#include <string>

#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

struct TopicDigest {
  const char* location;  // presence text
  const char* heading;   // page title and heading
  const char* order_by;  // the column the 25 topics are ranked by
};

constexpr TopicDigest kHot{"最热门话题", "最热门25条贴子", "hits"};
constexpr TopicDigest kMoreReply{"最多回复话题", "最多回复25条贴子", "post.replycount"};
constexpr TopicDigest kNewly{"最近的话题", "最近25条贴子", "lastreplyposttime"};

std::string TopicDigestSql(const TopicDigest& d) {
  return std::string(
             "select top 25 post.* from post inner join forum on "
             "post.forumname=forum.forumname where isnull([restrict],'')<>'private' and parentid "
             "is null order by ") +
         d.order_by + " desc";
}

// One topic: its forum and subject on the strip, then author, times, counts and the opening
// of its text.
void WriteTopic(const Settings& s, Response& out, const Server& server, const Recordset& rs) {
  out << "<table border=0 cellpadding=4 cellspacing=1 width=" << s.InnerTableWidth << ">"
      << StripRowStart(s) << "<td colspan=2><font color=" << s.TableStripTextColor << "><b>["
      << HtmlSafe(rs("forumname").Str()) << "] - 主题：" << server.HTMLEncode(rs("subject").Str())
      << "</b></font></td></tr>"
      << "<tr " << s.AltColumnColor1 << "><td width=18% valign=top>"
      << HtmlSafe(rs("username").Str()) << "</td><td><img src=images/posticon.gif>发贴于 "
      << FormatPostTime(s, rs("posttime")) << "&nbsp;&nbsp;回复:" << rs("replycount").Str()
      << "&nbsp;&nbsp;点击：" << rs("hits").Str()
      << "<HR>"
      // Shortened before it is encoded, so that no character reference is cut in two.
      << server.HTMLEncode(Abbreviate(rs("Message").Str(), 100))
      << " <a href=newsdetail.asp?id=" << rs("postid").Str() << ">更详细信息...</a></td></tr>"
      << "</table>";
}

struct Ranking {
  const char* title;
  const char* sql;
  const char* count_column;
  const char* count_head;
};

constexpr Ranking kRankings[] = {
    {"论坛发贴排行榜", "SELECT top 10 username, postcount FROM register order by postcount desc",
     "postcount", "发贴"},
    {"论坛积分排行榜", "SELECT top 10 register.username, jf FROM register   order by jf  desc",
     "jf", "积分"},
};

constexpr const char* kRankCell = "<td bgcolor=#f7f7f7";

// Two ranked members per row: the rank in navy bold, the name and the count.
void WriteRanking(const Settings& s, Response& out, Connection& con, const Ranking& r) {
  out << s.TableBorderStart
      << "<table border=0 cellpadding=4 cellspacing=1 width=" << s.InnerTableWidth << ">"
      << StripRowStart(s) << "<td colspan=6 align=center>" << StripFontStart(s) << "<b>" << r.title
      << "</b></font></td></tr>" << StripRowStart(s);
  for (int half = 0; half < 2; ++half) {
    for (const char* head : {"名次", "网友", r.count_head}) {
      out << "<td align=center>" << StripFontStart(s) << "<b>" << head << "</b></font></td>";
    }
  }
  out << "</tr>";
  auto rs = con.Execute(r.sql);
  for (int rank = 1; !rs->Eof(); ++rank) {
    if (rank % 2 == 1) out << "<tr>";
    out << kRankCell << " align=center><font color=navy><b>" << std::to_string(rank)
        << "</b></font></td>" << kRankCell << ">" << HtmlSafe(rs->Fields("username").Str())
        << "</td>" << kRankCell << " align=center>" << rs->Fields(r.count_column).Str() << "</td>";
    rs->MoveNext();
    if (rank % 2 == 0) {
      out << "</tr>";
    } else if (rs->Eof()) {
      out << kRankCell << ">&nbsp;</td>" << kRankCell << ">&nbsp;</td>" << kRankCell
          << ">&nbsp;</td></tr>";
    }
  }
  out << "</table>" << s.TableBorderEnd << "<br>";
}

void WriteTopics(const Settings& s, Response& out, const Server& server, Connection& con,
                 const TopicDigest& d) {
  auto rs = con.Execute(TopicDigestSql(d));
  out << s.TableBorderStart;
  for (; !rs->Eof(); rs->MoveNext()) WriteTopic(s, out, server, *rs);
  out << s.TableBorderEnd;
}

FramedPage DigestFrame(const TopicDigest& d) {
  return {.location = d.location,
          .title = d.heading,
          .heading = d.heading,
          .on_error = ErrorPage::kReplacesFooter};
}

}  // namespace

void Corkboard::HotTopic() {
  RunFramedPage(DigestFrame(kHot),
                [&] { WriteTopics(S(), Response_(), Server_(), *OpenConnection_(), kHot); });
}

void Corkboard::MoreReply() {
  RunFramedPage(DigestFrame(kMoreReply),
                [&] { WriteTopics(S(), Response_(), Server_(), *OpenConnection_(), kMoreReply); });
}

void Corkboard::NewlyTopic() {
  RunFramedPage(DigestFrame(kNewly),
                [&] { WriteTopics(S(), Response_(), Server_(), *OpenConnection_(), kNewly); });
}

void Corkboard::Top() {
  RunPage(
      [&] {
        RecordVisit("排行榜");
        const Settings& s = S();
        Response& out = Response_();
        out << WritePageHead(s, "排行榜 - " + s.BBName) << "<div><center>";
        if (s.BBSTYLE == "CBK") {
          out << "<table border=0 width=" << s.TableWidth << "><tr><td>" << s.Logo
              << "</td><td align=left><b>" << s.BBName << "排行榜</b><br>" << NavBarLinks(s)
              << "</td></tr></table>";
        } else if (s.BBSTYLE == "CLUB") {
          out << ClubPageTop(s);
        }
        auto con = OpenConnection_();
        for (const Ranking& r : kRankings) WriteRanking(s, out, *con, r);
        out << "</center></div>" << s.Copyright;
      },
      [&] { Response_() << "</body></html>"; });
}

}  // namespace cb
