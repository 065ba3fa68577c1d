// The topic list of one archive (archivelist.asp): the archive's heading, its topics newest
// archived first, PageSize a page, the pager and the forum jump menu with the archive selected.
#include <memory>
#include <optional>

#include "archives/archive_rules.h"
#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

constexpr const char* kReadOnlyNote =
    "这是论坛精华归档。所有的内容都是只读的。想要发表消息，访问一个论坛。";

// The heading: the archive's name and description beside the logo and the breadcrumb ("CBK"),
// or under the club top ("CLUB"). name and descript arrive markup-safe.
std::string ArchiveHeading(const Settings& s, const std::string& name,
                           const std::string& descript) {
  const std::string bracketed = "[<font color=#009933><b>" + name + "</b></font>]<br>" + descript;
  if (s.BBSTYLE == "CBK") {
    return "<table border=0 width=" + s.TableWidth + "><tr><td valign=top>" + s.Logo + "<br>" +
           bracketed +
           "</td><td valign=top align=right nowrap>"
           "<img src=images/open.gif>&nbsp;<a href=default.asp title=\"回到论坛\">" +
           s.BBName + "</a><br><img src=images/tline.gif><img src=images/open.gif>&nbsp;" + name +
           "<p>" + NavBarLinks(s) + "</p></td></tr></table>";
  }
  if (s.BBSTYLE == "CLUB") {
    return ClubPageTop(s) + "<table border=0 width=" + s.TableWidth + "><tr><td>" + bracketed +
           "</td></tr></table>";
  }
  return "";
}

}  // namespace

void Corkboard::ArchiveList() {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunPage(
      [&] {
        RecordVisit("档案列表");
        const Settings& s = S();
        const Request& req = Request_();
        const Variant archive_value = req("ArchiveID");
        if (!ToLong(archive_value)) Refuse("参数必须是一个大于0的整数！");
        const std::string archive = std::to_string(archive_value.CLng());
        const std::optional<int16_t> asked = ArchivePageNumber(req("page"));
        if (!asked) Refuse("参数错误！");
        int16_t page = *asked;

        con = OpenConnection_();
        rs = con->Execute("select * from archive  where archiveid=" + archive);
        // An unknown number has no row: reading it ends in the run-time error page.
        const std::string name = HtmlSafe(rs->Fields("ArchiveName").Str());
        const std::string descript = HtmlSafe(rs->Fields("Descript").Str());
        rs->Close();

        Response& out = Response_();
        out << WritePageHead(s, name + " - " + s.BBName) << "<center>"
            << ArchiveHeading(s, name, descript) << "<table border=0 width=" << s.TableWidth
            << "><tr><td bgcolor=#FFFFFF>下面的归档话题以归档日期顺序列表。</td></tr></table>";

        rs = std::make_unique<Recordset>();
        rs->SetPageSize(s.PageSize);
        rs->Open("select archivedate,username,postid,subject from archivelist  where archiveid=" +
                     archive + " and parentid is null order by archivedate desc",
                 *con, adOpenStatic, adLockReadOnly);
        const int32_t record_count = static_cast<int32_t>(rs->RecordCount());
        const std::string strip_font = "<font color=" + s.TableStripTextColor + "><b>";
        out << s.TableBorderStart
            << "<table border=0 cellpadding=4 cellspacing=1 width=" << s.InnerTableWidth << "><tr "
            << s.TableColorStrip << "><td>" << strip_font
            << "归档话题</b></font></td><td align=center nowrap>" << strip_font
            << "话题发起</b></font></td><td align=center nowrap>" << strip_font
            << "归档日期</b></font></td></tr>";
        int16_t page_count = 0;
        if (rs->Eof()) {
          out << "<tr " << s.AltColumnColor1 << "><td colspan=3>该档案尚无归档内容</td></tr>";
        } else {
          page_count = static_cast<int16_t>(rs->PageCount());
          if (page > page_count) page = page_count;
          rs->SetAbsolutePage(page);
          for (int i = 0; i < s.PageSize && !rs->Eof(); ++i, rs->MoveNext()) {
            out << "<tr><td " << s.AltColumnColor1
                << "><a href=archivecontent.asp?id=" << rs->Fields("postid").Str() << ">"
                << Server_().HTMLEncode(rs->Fields("Subject").Str()) << "</a></td><td "
                << s.AltColumnColor2 << " align=center>" << HtmlSafe(rs->Fields("UserName").Str())
                << "</td><td " << s.AltColumnColor1 << " align=center nowrap>"
                << rs->Fields("ArchiveDate").Str() << "</td></tr>";
          }
        }
        rs->Close();
        out << "</table>" << s.TableBorderEnd;
        PageStyle(record_count, page, page_count, s.PageSize, "&ArchiveID=" + archive);
        out << "<table border=0 width=" << s.TableWidth << "><tr><td align=right>" << kReadOnlyNote
            << "</td></tr></table>";
        if (s.BBSTYLE == "CBK") out << JumpTo(*con, Variant(archive), true);
        out << "</center>" << s.Copyright;
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(rs.get(), con.get());
}

}  // namespace cb
