// A member's public details (viewuser.asp): title, the addresses the member chose to show, and
// the counts, with links to the member's posts and to a private message.
#include <memory>

#include "browse/post_renderer.h"
#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "members/member_pages.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

// The two-column table: label cells 102 wide, value cells 245 wide, in the two column colours.
class ViewRows {
 public:
  explicit ViewRows(const Settings& s) : s_(s) {}
  std::string Row(const char* label, const std::string& value) const {
    return "<tr><td width=102 " + s_.AltColumnColor1 + "><b>" + label + "</b></td><td width=245 " +
           s_.AltColumnColor2 + ">" + value + "</td></tr>";
  }

 private:
  const Settings& s_;
};

}  // namespace

void Corkboard::ViewUser() {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunPage(
      [&] {
        RecordVisit("个人信息查询");
        const Settings& s = S();
        const Server& server = Server_();
        Response& out = Response_();
        out << WritePageHead(s, "个人信息查询 - " + s.BBName);
        con = OpenConnection_();
        rs = con->Execute("Select * from Register where username='" +
                          SqlQuote(Request_().QueryString("userName")) + "'");
        if (rs->Eof()) Refuse("该用户不存在！");

        const std::string name = rs->Fields("username").Str();
        const std::string enc_name = server.URLEncode(name);
        // Everything below but the counts is the member's own text: shown as text.
        const std::string shown_name = server.HTMLEncode(name);
        std::string icons, title;
        UserTitle(s, rs->Fields("status"), rs->Fields("postcount"), icons, title);
        const std::string email = rs->Fields("email").Str();
        const std::string mail_cell =
            FlagSet(rs->Fields("emailview")) && !email.empty()
                ? "<a href=mailto:" + AttributeValue(email) + ">" + server.HTMLEncode(email) +
                      "</a>"
                : "用户没有提供他的邮件地址或用户不允许显示他的电子邮件信息";
        const std::string home = HomePageAddress(rs->Fields("url").Str());
        const std::string home_cell = home.empty()
                                          ? ""
                                          : "<a href=" + AttributeValue(home) + " target=_blank>" +
                                                server.HTMLEncode(home) + "</a>";

        const ViewRows rows(s);
        out << "<div align=center>" << PageTop(s, "用户察看")
            << "<table border=0 width=" << s.TableWidth << "><tr><td align=center>"
            << "<a href=search.asp?action=searchuser&username=" << enc_name
            << ">搜索：这个用户的所有贴子</a> | <a href=pm.asp?action=newpm&recipient=" << enc_name
            << ">给 " << shown_name << " 写悄悄话</a></td></tr></table>" << s.TableBorderStart
            << "<table cellspacing=1 cellpadding=4 border=0>" << rows.Row("姓　名:", shown_name)
            << rows.Row("状  态:", title) << rows.Row("E-Mail:", mail_cell)
            << rows.Row("OICQ:", server.HTMLEncode(rs->Fields("oicq").Str()))
            << rows.Row("ICQ:", server.HTMLEncode(rs->Fields("icq").Str()))
            << rows.Row("个人主页:", home_cell)
            << rows.Row("所在市、省、国 :", server.HTMLEncode(rs->Fields("location").Str()))
            << rows.Row("职业:", server.HTMLEncode(rs->Fields("occupation").Str()))
            << rows.Row("兴趣:", server.HTMLEncode(rs->Fields("interests").Str()))
            << rows.Row("发表文章:", rs->Fields("postcount").Str())
            << rows.Row("积分:", rs->Fields("jf").Str()) << "</table>" << s.TableBorderEnd
            << "</div>" << s.Copyright;
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(rs.get(), con.get());
}

}  // namespace cb
