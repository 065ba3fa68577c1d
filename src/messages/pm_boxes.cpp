// The two mailbox lists: inbox (the member's received messages, new ones marked) and outbox (the
// copies of what the member sent), one page of PageSize rows each with the pager and delete boxes.
#include <algorithm>
#include <memory>

#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "messages/pm.h"
#include "messages/pm_pages.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

const BoxKind kInbox = {
    .inbox = true,
    .title = "收件箱 - ",
    .delete_action = "deletePM",
    .name_caption = "留言人",
    .time_caption = "留言时间",
    .list_query =
        "select pm.* from PM inner join register on pm.recipient=register.username "
        "where recipient='",
    .empty_text = "对不起，你没有留言！",
    .view_link = "pm.asp?action=viewpm&postid=",
    .other = "sender",
    .pager_addon = "&action=inbox",
    .delete_query = "delete from PM where  postid=",
    .owner = "recipient",
    .back = "pm.asp?action=inbox",
};

const BoxKind kOutbox = {
    .inbox = false,
    .title = "发件箱 - ",
    .delete_action = "deleteOutbox",
    .name_caption = "收件人",
    .time_caption = "发送时间",
    .list_query =
        "select outbox.* from outbox inner join register on "
        "outbox.sender=register.username where sender='",
    .empty_text = "对不起，你的发件箱中没有发送过的悄悄话！",
    .view_link = "pm.asp?action=viewoutbox&postid=",
    .other = "recipient",
    .pager_addon = "&action=outbox",
    .delete_query = "delete from outbox where  postid=",
    .owner = "sender",
    .back = "pm.asp?action=outbox",
};

std::string PM::GetNavbar() { return kPmNavbar; }

void PM::inbox() { WriteBox(kInbox); }
void PM::outbox() { WriteBox(kOutbox); }

void PM::WriteBox(const BoxKind& box) {
  const Settings& s = S();
  Response& out = Response_();
  const Server& server = Server_();
  out << WritePageHead(s, box.title + s.BBName) << "<center>"
      << MailboxTop(s, kListTitleCell, PmClubHeader()) << "<br><br>"
      << "<form action=pm.asp method=post name=frmPM id=frmPM>"
      << "<input type=hidden name=action value=" << box.delete_action << ">" << s.TableBorderStart
      << "<table width=" << s.InnerTableWidth << " cellpadding=4 cellspacing=1 border=0>";
  const std::string font = "<font color=" + s.TableStripTextColor + "><b>";
  out << "<tr " << s.TableColorStrip << "><td width=20>&nbsp;</td>"
      << "<td colspan=2>" << font << "主题</b></font></td>"
      << "<td>" << font << box.name_caption << "</b></font></td>"
      << "<td>" << font << box.time_caption << "</b></font></td>"
      << "<td>" << font << "删除?</b></font></td></tr>";

  // Every query of a box joins the member's own row with the session's password.
  Recordset rs;
  rs.SetCacheSize(s.PageSize);
  rs.Open(box.list_query + SqlQuote(Variant(Member())) + "' and password='" +
              SqlQuote(Variant(MemberPassword())) + "' order by posttime desc",
          Con(), adOpenStatic);
  const bool any = !rs.Eof();
  int16_t page = 1, page_count = 0;
  int32_t record_count = 0;
  if (!any) {
    out << "<tr " << s.AltColumnColor1 << "><td colspan=6>" << box.empty_text << "</td></tr>";
  } else {
    rs.SetPageSize(s.PageSize);
    record_count = static_cast<int32_t>(rs.RecordCount());
    page_count = static_cast<int16_t>(rs.PageCount());
    const Variant asked = Request_()("page");
    // Any page past the end, however large, is the last one.
    if (!asked.Str().empty() && ToLong(asked))
      page = static_cast<int16_t>(std::min<int32_t>(asked.CLng(), page_count));
    rs.SetAbsolutePage(page);
    for (int i = 0; i < s.PageSize && !rs.Eof(); ++i) {
      const bool fresh = box.inbox && !rs("isNew").IsNull() && rs("isNew").CBool();
      const std::string state = !box.inbox ? "<img src=images/closed.gif >"
                                : fresh    ? "<img src=images/closedb.gif alt=新留言>"
                                           : "<img src=images/closed.gif alt=旧留言>";
      const std::string postid = rs("PostID").Str();
      const std::string name = rs(box.other).Str();
      // Subjects and names are members' text: shown as text.
      out << "<tr><td width=0 " << s.AltColumnColor1 << ">" << state << "</td>"
          << "<td " << s.AltColumnColor2 << "><img src=icon/icon" << rs("icon").Str()
          << ".gif></td>"
          << "<td " << s.AltColumnColor1 << "><a href=" << box.view_link << postid << "><b>"
          << server.HTMLEncode(rs("subject").Str()) << "</b></a></td>"
          << "<td " << s.AltColumnColor2
          << " width=120><a href=viewuser.asp?username=" << server.URLEncode(name) << "><b>"
          << server.HTMLEncode(name) << "</b></a></td>"
          << "<td " << s.AltColumnColor1 << " nowrap width=150>"
          << FormatPostTime(s, rs("PostTime")) << "</td>"
          << "<td " << s.AltColumnColor2
          << " width=20><input type=checkbox name=delete value=" << postid << "></td></tr>";
      rs.MoveNext();
    }
  }
  out << "</table>" << s.TableBorderEnd;
  if (any) {
    PageStyle(record_count, page, page_count, s.PageSize, box.pager_addon);
    out << "<table width=" << s.TableWidth << "><tr><td colspan=6 align=right>"
        << "<input type=submit value=删除所选的留言 class=buttonface></td></tr></table>";
  }
  if (box.inbox) {
    out << "<table width=" << s.TableWidth << "><tr><td colspan=6>"
        << "　<img src=images/closedb.gif><b> - 新留言</b><br>"
        << "　<img src=images/closed.gif><b> - 旧留言</b><br>"
        << "</td></tr></table>";
  }
  out << "</form></center>";
  rs.Close();
  out << s.Copyright << "</body></html>";
}

}  // namespace cb
