// search.asp: the search form, and one page of the results of a simple search, of today's
// topics or of a member's posts; later pages rebuild the search the session keeps.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>

#include "browse/search_query.h"
#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "runtime/convert.h"
#include "store/bounded_count.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

constexpr const char* kSource = "Corkboard.Search";
// The session value that keeps the last search (its fields, never a statement).
constexpr const char* kKeptSearch = "searchsql";
// What the database layer answers for a command without text: paging with no search kept.
constexpr long kNoCommandText = -2147217908;

// A simple search that finds more than this many posts lists only this many (the newest, where
// its results are ordered): a word in half of a big board answers as fast as a rare one, and
// its pager stays a page long.
constexpr int32_t kMostResults = 1000;
constexpr const char* kMoreThanListed =
    "找到的记录超过 1000 个，这里只列出 1000 个；请使用更准确的关键词。";

enum class SearchStep { kForm, kNewSearch, kKeptSearch };

// "browser" lists the kept search again, as paging does; an action the page does not know shows
// the form.
SearchStep StepOf(const std::string& action) {
  if (action == "simplesearch" || action == "getdaily" || action == "searchuser") {
    return SearchStep::kNewSearch;
  }
  if (action == "gotopage" || action == "browser") return SearchStep::kKeptSearch;
  return SearchStep::kForm;
}

SearchFields NewSearch(const std::string& action, const Request& req, const DateTime& now) {
  if (action == "getdaily") return DailySearch(now);
  if (action == "searchuser") return MemberSearch(req.QueryString("username").Str());
  SearchForm form{req("SearchTerms").Str(), req("BooleanAnd").Str(), req("ForumChoice").Str(),
                  req("SearchIn").Str(),    req("SearchDate").Str(), req("SearchUser").Str(),
                  req("ExactName").Str()};
  return SimpleSearch(form, now);
}

// One row of the form: its label and its fields, on the row's colour.
std::string Row(const std::string& color, const std::string& label, const std::string& field) {
  return "<tr " + color + "><td valign=top><b>" + label + "</b></td><td>" + field + "</td></tr>";
}

void WriteForm(const Settings& s, Response& out, Connection& con) {
  out << "<form action=search.asp method=POST name=SearchForm>";
  if (s.BBSTYLE == "CBK") {
    out << "<table border=0 width=" << s.TableWidth << "><tr><td><img src=images/searchhead.gif "
        << "alt=\"Search Bulletin Board\"></td><td align=center><a href=default.asp>回到论坛</a>"
        << "</td></tr></table>";
  } else if (s.BBSTYLE == "CLUB") {
    out << ClubPageTop(s);
  }
  std::string forums =
      "<select name=ForumChoice><option value=ALL selected>搜索所有的开发论坛和档案";
  auto rs = con.Execute("Select * from Forum where [restrict]<>'private' order by rowid");
  for (; !rs->Eof(); rs->MoveNext()) {
    const std::string name = HtmlSafe(rs->Fields("ForumName").Str());
    forums += "<option value=\"" + name + "\">" + name;
  }
  rs = con.Execute("select * from archive order by archiveid");
  for (; !rs->Eof(); rs->MoveNext()) {
    forums += "<option value=\"archive_" + rs->Fields("archiveid").Str() + "\">" +
              HtmlSafe(rs->Fields("archivename").Str());
  }
  forums += "</select>";
  out << s.TableBorderStart
      << "<table border=0 cellspacing=1 cellpadding=4 width=" << s.InnerTableWidth << ">"
      << Row(s.AltColumnColor1, "想要搜索的关键词:",
             "<input type=text name=SearchTerms size=25 maxlength=25><br>"
             "<input type=radio name=BooleanAND value=YES checked>匹配上列所有关键词.<br>"
             "<input type=radio name=BooleanAND value=NO>匹配上列任何关键词.<br>"
             "多个关键词中间使用空格, 不是逗号.")
      << Row(s.AltColumnColor2, "想要搜索的论坛/档案:", forums)
      << Row(s.AltColumnColor1, "搜索范围:",
             "<select name=SearchIn><option value=ALL selected>所有的贴子正文(包括标题)"
             "<option value=SUBJECT>只搜索标题</select>")
      << Row(s.AltColumnColor2, "日期范围:",
             "<select name=SearchDate><option value=ALL selected>所有日期<option value=1>昨天以来"
             "<option value=5>5天以来<option value=10>10天以来<option value=30>30天以来</select>")
      << Row(s.AltColumnColor1, "发表者的用户名:",
             "<input type=text name=SearchUser size=25 maxlength=25><br>"
             "<input type=radio name=ExactName value=yes>匹配全名<br>"
             "<input type=radio name=ExactName value=no checked>模糊匹配")
      << "<tr " << s.AltColumnColor2 << "><td colspan=2 align=center>"
      << "<input type=hidden name=action value=simplesearch>"
      << "<input type=submit value=执行搜索 class=buttonface> "
      << "<input type=reset value=清除字段 class=buttonface></td></tr></table>" << s.TableBorderEnd
      << "</form>";
}

void WriteResultsTop(const Settings& s, Response& out) {
  if (s.BBSTYLE == "CBK") {
    out << "<table border=0 width=" << s.TableWidth << "><tr><td>" << s.Logo
        << "</td><td align=center><span class=bbtitle>搜索结果</span><br>"
        << "<a href=search.asp>新搜索</a> | <a href=default.asp>回到论坛</a></td></tr></table>";
  } else if (s.BBSTYLE == "CLUB") {
    out << ClubPageTop(s);
  }
}

void WriteResultRow(const Settings& s, Response& out, const Server& server, const Recordset& rs) {
  const bool archived = rs("isarchive").CLng() == 1;
  out << "<tr><td " << s.AltColumnColor1
      << "><a href=" << (archived ? "archivecontent.asp?id=" : "newsdetail.asp?id=")
      << rs("id").Str() << ">" << server.HTMLEncode(rs("subject").Str()) << "</a></td><td "
      << s.AltColumnColor2 << ">" << HtmlSafe(rs("username").Str()) << "</td><td "
      << s.AltColumnColor1 << " nowrap>" << FormatPostTime(s, rs("lastlytime")) << "</td><td "
      << s.AltColumnColor2 << ">" << HtmlSafe(rs("ForumName").Str()) << "</td></tr>";
}

// Whether the search finds more than n rows, counting no further than n + 1.
bool FindsMoreThan(Connection& con, const SearchFields& f, int32_t n) {
  return CountAtMost(con, SearchSql(f, SearchPlan::kCounted), n + 1) > n;
}

}  // namespace

void Corkboard::Search() {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunPage(
      [&] {
        const std::string action = ToLower(Request_()("action").Str());
        RecordVisit("搜索");
        const Settings& s = S();
        Response& out = Response_();
        out << WritePageHead(s, "搜索 - " + s.BBName) << "<center>";
        const SearchStep step = StepOf(action);
        if (step == SearchStep::kForm) {
          con = OpenConnection_();
          WriteForm(s, out, *con);
          out << "</center>";
          return;
        }

        SearchFields search;
        if (step == SearchStep::kNewSearch) {
          search = NewSearch(action, Request_(), Now());
        } else {
          std::optional<SearchFields> kept = KeptSearch(Session_().Get(kKeptSearch).Str());
          if (!kept) throw ScriptError(kNoCommandText, "没有可以翻页的搜索：请先搜索。", kSource);
          search = *kept;
        }
        const std::string sql = SearchSql(search);
        con = OpenConnection_();
        if (step == SearchStep::kNewSearch) {
          Session_().Set(kKeptSearch, Variant(KeepSearch(search)));
        }
        const bool capped =
            search.kind == SearchKind::kSimple && FindsMoreThan(*con, search, kMostResults);
        rs = std::make_unique<Recordset>();
        rs->SetCacheSize(s.PageSize);
        rs->Open(capped ? SearchSql(search, SearchPlan::kNewestFirst) : sql, *con, adOpenStatic,
                 adLockReadOnly);

        WriteResultsTop(s, out);
        const int32_t record_count =
            capped ? kMostResults : static_cast<int32_t>(rs->RecordCount());
        if (record_count <= 0) {
          out << "<table border=0 width=" << s.TableWidth
              << "><tr><td align=center>没有发现任何记录！</td></tr></table></center>";
          return;
        }
        rs->SetPageSize(s.PageSize);
        // The pager counts pages in 16 bits: pages past the 32,767th are not offered.
        const int16_t page_count =
            static_cast<int16_t>(capped ? (kMostResults + s.PageSize - 1) / s.PageSize
                                        : std::min<int>(rs->PageCount(), INT16_MAX));
        int32_t page = 1;
        const Variant page_value = Request_()("Page");
        if (ToLong(page_value)) page = std::min<int32_t>(page_value.CLng(), page_count);
        rs->SetAbsolutePage(page);
        out << s.TableBorderStart
            << "<table border=0 cellspacing=1 cellpadding=4 width=" << s.InnerTableWidth << ">"
            << StripRowStart(s);
        for (const char* head : {"话题", "用户名", "日期", "论坛/档案"}) {
          out << "<td>" << StripFontStart(s) << "<b>" << head << "</b></font></td>";
        }
        out << "</tr>";
        // A capped list ends at its last listed row, which may fall inside a page.
        const int32_t rows =
            capped ? std::min<int32_t>(s.PageSize, kMostResults - (page - 1) * s.PageSize)
                   : s.PageSize;
        for (int i = 0; i < rows && !rs->Eof(); ++i) {
          WriteResultRow(s, out, Server_(), *rs);
          rs->MoveNext();
        }
        out << "</table>" << s.TableBorderEnd;
        if (capped) {
          out << "<table border=0 width=" << s.TableWidth << "><tr><td align=center>"
              << kMoreThanListed << "</td></tr></table>";
        }
        PageStyle(record_count, static_cast<int16_t>(page), page_count, s.PageSize,
                  "&action=GotoPage");
        out << "</center>";
      },
      [&] { Response_() << S().Copyright << "</body></html>"; });
  CloseQuietly(rs.get(), con.get());
}

}  // namespace cb
