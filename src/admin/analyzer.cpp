// analyzer.asp (Admin.MonthPostAnalyzer): the posts of one month day by day, for the whole board
// or one forum. Open to everyone, like the board's own statistics; it only reads.
#include <algorithm>
#include <memory>

#include "admin/admin.h"
#include "admin/tools_rules.h"
#include "frame/procedures.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

struct DayPosts {
  int year, month, day;
  long posts;
};

std::string Option(const std::string& value, const std::string& label, bool selected) {
  return "<option value=\"" + value + "\"" + (selected ? " selected>" : ">") + label + "</option>";
}

}  // namespace

void Admin::MonthPostAnalyzer() {
  std::unique_ptr<Connection> con;
  RunPage(
      [&] {
        WritePanelHead("月发贴分析");
        const Request& req = Request_();
        const StatisticsMonth chosen =
            ChooseStatisticsMonth(Trim(req("Year").Str()), Trim(req("Month").Str()), Now());
        if (chosen.refused) Refuse("参数错误！");
        const std::string forum = req("forum").Str();
        con = OpenConnection_();
        std::vector<std::string> forums;
        for (auto rs = con->Execute("select forumname from forum order by forumname"); !rs->Eof(); rs->MoveNext()) {
          forums.push_back(rs->Fields(0).Str());
        }

        const Server& server = Server_();
        Response& out = Response_();
        out << "<center><h1>月发贴分析</h1><form action=analyzer.asp method=post><select "
               "name=YEAR>";
        for (int y = 2000; y <= std::max(2020, Now().year()); ++y) {
          out << Option(std::to_string(y), std::to_string(y), y == chosen.year);
        }
        out << "</select>年 <select name=MONTH>";
        for (int m = 1; m <= 12; ++m) {
          out << Option(std::to_string(m), std::to_string(m), m == chosen.month);
        }
        out << "</select>月 <select name=forum>" << Option("", "全部版面", forum.empty());
        for (const std::string& f : forums) {
          out << Option(server.HTMLEncode(f), server.HTMLEncode(f), f == forum);
        }
        out << "</select> <input type=submit value='分析'></form>";
        if (!EqualsNoCase(req.ServerVariables("REQUEST_METHOD").Str(), "POST")) {
          out << "</center>";
          return;
        }

        const std::string month_filter =
            " where datepart(yy,posttime)=" + std::to_string(chosen.year) +
            " and datepart(mm,posttime)=" + std::to_string(chosen.month) +
            (forum.empty() ? "" : " and forumname='" + SqlQuote(Variant(forum)) + "'");
        const long total = con->Execute("select count(*) from post" + month_filter)->Fields(0).CLng();
        std::vector<DayPosts> days;
        for (auto rs = con->Execute(
                 "select DATEPART(yy, posttime), DATEPART(mm, posttime), DATEPART(dd, "
                 "posttime),count(*) from post" +
                 month_filter +
                 " GROUP BY DATEPART(yy, posttime), DATEPART(mm, posttime), DATEPART(dd, "
                 "posttime) ORDER BY DATEPART(dd, posttime)");
             !rs->Eof(); rs->MoveNext()) {
          days.push_back({rs->Fields(0).CLng(), rs->Fields(1).CLng(), rs->Fields(2).CLng(),
                          rs->Fields(3).CLng()});
        }

        out << "<table width=" << S().TableWidth << " border=1 cellspacing=0 cellpadding=3><tr "
            << S().TableColorStrip
            << "><td>日期</td><td>星期几？</td><td>图例</td><td>比例</td><td>发贴</td></tr>";
        for (const DayPosts& d : days) {
          const std::string share = PercentText(static_cast<double>(d.posts) / total);
          out << "<tr><td>" << std::to_string(d.year) << "-" << std::to_string(d.month) << "-"
              << std::to_string(d.day) << "</td><td>"
              << std::to_string(WeekdayFromMonday(d.year, d.month, d.day))
              << "</td><td><img src=images/dot.gif height=8 width=" << share << "></td><td>"
              << share << "</td><td>" << std::to_string(d.posts) << "</td></tr>";
        }
        out << "</table></center>";
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(nullptr, con.get());
}

}  // namespace cb
