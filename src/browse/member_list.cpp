// The member list (member.asp): one page of members with a search by name or address, an index
// by first letter, four sort orders and the pager.
#include "browse/member_list.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "browse/post_renderer.h"
#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "members/member_pages.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

struct Choice {
  const char* value;
  const char* label;
};
constexpr Choice kSearchColumns[] = {{"UserName", "用户名"}, {"EMail", "EMail"}};
constexpr Choice kOrders[] = {
    {"username", "用户名"}, {"postcount", "发贴总数"}, {"jf", "积分"}, {"signdate", "注册日期"}};
constexpr const char* kHeadings[] = {"用户名",   "邮件",     "主页",     "搜索", "来自",
                                     "注册日期", "兴趣爱好", "贴子总数", "积分"};

template <size_t N>
std::string ChoiceSelect(const char* name, const Choice (&choices)[N], std::string_view current) {
  std::string out = std::string("<select name=") + name + " class=smallsel>";
  for (const Choice& c : choices) {
    out += std::string("<option value=") + c.value +
           (EqualsNoCase(c.value, current) ? " selected>" : ">") + c.label + "</option>";
  }
  return out + "</select>";
}

std::string LetterLinks() {
  std::string out = "<b>字母:</b>";
  for (char c = 'A'; c <= 'Z'; ++c) {
    out += std::string(" <a href=Member.asp?letter=") + c + ">" + c + "</a>";
  }
  return out + " <a href=member.asp?letter=@>@</a>";
}

// One member's row; the cells alternate the column colours from left to right.
std::string MemberRow(const Settings& s, const Server& server, const Recordset& rs) {
  const std::string name = rs("username").Str();
  const std::string shown_name = HtmlSafe(name);
  const std::string enc_name = server.URLEncode(name);
  const std::string email = rs("email").Str();
  const bool show_mail = FlagSet(rs("emailview"));
  const std::string home = HomePageAddress(rs("url").Str());
  // What members typed is shown as text; addresses are kept inside their attributes.
  const std::string cells[] = {
      "<a href=pm.asp?action=newpm&recipient=" + enc_name + " title=\"给" + shown_name +
          "发悄悄话\">" + shown_name + "</a>",
      show_mail
          ? "<a href=mailto:" + AttributeValue(email) + "><img src=images/email.gif border=0></a>"
          : "",
      home.empty() ? ""
                   : "<a href=" + AttributeValue(home) +
                         " target=_blank><img src=images/home.gif border=0></a>",
      "<a href=search.asp?action=searchuser&username=" + enc_name +
          "><img src=images/find.gif border=0></a>",
      server.HTMLEncode(rs("location").Str()),
      FormatPostTime(s, rs("signdate")),
      server.HTMLEncode(rs("interests").Str()),
      rs("postcount").Str(),
      rs("jf").Str(),
  };
  std::string out = "<tr>";
  for (size_t i = 0; i < std::size(cells); ++i) {
    out += "<td " + (i % 2 == 0 ? s.AltColumnColor1 : s.AltColumnColor2) + ">" + cells[i] + "</td>";
  }
  return out + "</tr>";
}

}  // namespace

std::string LikeLiteral(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '%' || c == '_' || c == '[' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

MemberListQuery DecideMemberListQuery(std::string_view search_by, std::string_view key,
                                      std::string_view letter, std::string_view order_by) {
  MemberListQuery q;
  const std::string column = ToLower(search_by);
  if (column == "username" || column == "email") q.column = column;
  q.key = std::string(key);
  q.letter = "ALL";
  if (letter.size() == 1 && std::isalpha(static_cast<unsigned char>(letter[0]))) {
    q.letter =
        std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(letter[0]))));
  } else if (letter == "@") {
    q.letter = "@";
  }
  const std::string order = ToLower(order_by);
  q.order = order == "username" || order == "postcount" || order == "jf" ? order : "signdate";
  const std::string tail = " order by " + q.order + (q.order == "username" ? " asc" : " desc");

  if (q.letter == "@") {
    q.sql = "select * from register   where ascii(username)>122" + tail;
  } else if (q.letter != "ALL") {
    q.sql = "select * from register   where username like '" + q.letter + "%'" + tail;
  } else if (!q.key.empty() && !q.column.empty()) {
    // The key is text: quoted, and its LIKE wildcards match only themselves.
    q.sql = "select * from register where " + q.column + " like '%" +
            LikeLiteral(SqlQuote(Variant(q.key))) + "%' escape '\\'" + tail;
  } else {
    q.sql = "select * from register " + tail;
  }
  return q;
}

void Corkboard::MemberList() {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunFramedPage(
      {.location = "成员列表",
       .title = "成员列表",
       .heading = "成员列表",
       .on_error = ErrorPage::kReplacesFooter},
      [&] {
        const Settings& s = S();
        const Request& request = Request_();
        const Server& server = Server_();
        Response& out = Response_();
        const MemberListQuery q =
            DecideMemberListQuery(request("searchBy").Str(), request("key").Str(),
                                  request("Letter").Str(), request("orderby").Str());
        int32_t page = 1;
        const Variant page_value = request("Page");
        if (ToLong(page_value)) page = page_value.CLng();

        con = OpenConnection_();
        rs = std::make_unique<Recordset>();
        rs->SetCacheSize(s.PageSize);
        rs->SetPageSize(s.PageSize);
        rs->Open(q.sql, *con, adOpenStatic, adLockReadOnly);
        const int32_t record_count = static_cast<int32_t>(rs->RecordCount());
        const int32_t page_count = rs->Eof() ? 0 : rs->PageCount();
        page = std::min(page, page_count);

        const std::string strip_font = "<font color=" + s.TableStripTextColor + ">";
        out << "<form action=member.asp method=post><table border=0 width=" << s.TableWidth
            << "><tr><td>" << ChoiceSelect("SearchBy", kSearchColumns, q.column)
            << " <input type=text name=key size=12 maxlength=255 value=\"" << HtmlSafe(q.key)
            << "\" class=smallinput> <input type=submit value=搜索 class=buttonface></td>"
            << "<td align=right>" << LetterLinks() << "</td></tr></table>" << s.TableBorderStart
            << "<table cellpadding=4 cellspacing=1 border=0 width=" << s.InnerTableWidth << ">"
            << "<tr " << s.TableColorStrip << "><td colspan=5>" << strip_font
            << "<b>成员列表</b></font></td><td colspan=4 align=right>" << strip_font << "按</font> "
            << ChoiceSelect("OrderBy", kOrders, q.order)
            << " <input type=submit value=排序 class=buttonface></td></tr></form>"
            << "<tr " << s.TableColorStrip << ">";
        for (const char* heading : kHeadings) {
          out << "<td>" << strip_font << "<b>" << heading << "</b></font></td>";
        }
        out << "</tr>";
        if (page >= 1) {
          rs->SetAbsolutePage(page);
          for (int i = 0; i < s.PageSize && !rs->Eof(); ++i) {
            out << MemberRow(s, server, *rs);
            rs->MoveNext();
          }
        }
        out << "</table>" << s.TableBorderEnd;
        if (page_count > 1) {
          PageStyle(
              record_count, static_cast<int16_t>(std::min<int32_t>(page, INT16_MAX)),
              static_cast<int16_t>(std::min<int32_t>(page_count, INT16_MAX)), s.PageSize,
              "&searchby=" + server.URLEncode(q.column) + "&orderby=" + server.URLEncode(q.order) +
                  "&key=" + server.URLEncode(q.key) + "&Letter=" + server.URLEncode(q.letter));
        }
      });
  CloseQuietly(rs.get(), con.get());
}

}  // namespace cb
