// One private message (ViewPM) from the inbox or the outbox, laid out like a post with its
// sender's profile; opening it from the inbox marks it read.
#include <memory>

#include "browse/post_renderer.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "markup/markup.h"
#include "messages/pm.h"
#include "messages/pm_pages.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

constexpr const char* kNoRight = "对不起，发生错误，可能是没有该留言或是你没有权限查看该留言！";

bool Blank(const Variant& v) { return v.IsNull() || v.Str().empty(); }
bool Flag(const Variant& v) { return !v.IsNull() && !v.IsEmpty() && v.CBool(); }

// A member's text through the markup converter (no smiley pictures in messages).
std::string Converted(const Server& server, const std::string& text) {
  return ToHtml(server.HTMLEncode(text));
}

std::string AuthorCell(const Settings& s, const Server& server, const Recordset& rs) {
  const Variant postcount = rs("postcount");
  std::string icons, title;
  UserTitle(s, rs("userstatus"), postcount.IsNull() ? Variant(int32_t{0}) : postcount, icons,
            title);
  const Variant avatar = rs("usericon");
  const Variant nickname = rs("nickname");
  const Variant signdate = rs("signDate");
  // The picture address and the nickname are the member's text: kept in the attribute, as text.
  std::string html =
      "<td valign=top width=18% nowrap>" + title +
      (Blank(avatar) ? "<br>" : "<img src=\"" + HtmlSafe(avatar.Str()) + "\" vspace=5><br>") +
      "<b>" + server.HTMLEncode(Blank(nickname) ? rs("sender").Str() : nickname.Str()) +
      "</b><br>发贴：" + (postcount.IsNull() ? "0" : postcount.Str()) + "<br>";
  if (Blank(signdate)) return html + "资格：不详<br></td>";
  const DateTime d = signdate.CDate();
  return html + "资格：" + LongDateText(d.year(), d.month(), d.day()) + "<br></td>";
}

std::string MessageCell(const Settings& s, const Server& server, const Recordset& rs) {
  const std::string sender = rs("sender").Str();
  const std::string shown = server.HTMLEncode(sender);
  std::string html = "<td vAlign=top><img align=absmiddle border=0 src=icon/icon" +
                     rs("posticon").Str() + ".gif>&nbsp;<span class=smallFont>发表于 " +
                     FormatPostTime(s, rs("PostTime")) +
                     "&nbsp;<a href=viewuser.asp?username=" + server.URLEncode(sender) +
                     " target=_blank><img src=images/profile.gif alt=\"按此观看" + shown +
                     "的个人资料\" border=0 align=absmiddle></a>";
  if (Flag(rs("emailview")) && !Blank(rs("email"))) {
    html += "<a href=\"mailto:" + HtmlSafe(rs("email").Str()) +
            "\"><img src=images/email.gif alt=\"按此发邮件给" + shown +
            "\" border=0 align=absmiddle></a>";
  } else {
    html +=
        "<img src=images/email.gif alt=\"该用户不允许显示它的电子邮件\" border=0 "
        "align=absmiddle>";
  }
  const std::string homepage = HomePageAddress(rs("homepage").Str());
  if (!homepage.empty()) {
    html += "<a href=\"" + HtmlSafe(homepage) +
            "\" target=_blank><img src=images/home.gif alt=\"访问" + shown +
            "的主页\" border=0 align=absmiddle></a>";
  }
  html += "</span><hr>";
  const std::string message = rs("message").Str();
  if (!message.empty()) html += Converted(server, message);
  const std::string signature = rs("signature").Str();
  if (Flag(rs("usesign")) && !signature.empty()) html += "<p><hr>" + Converted(server, signature);
  return html + "</td></tr>";
}

}  // namespace

void PM::ViewPM(const std::string& BoxType) {
  const bool inbox = BoxType != "outbox";
  const Settings& s = S();
  std::unique_ptr<Recordset> rs;
  RunPage(
      [&] {
        Response& out = Response_();
        out << WritePageHead(s, "查看悄悄话 - " + s.BBName) << "<center>"
            << MailboxTop(s, kPageTitleCell, PmClubHeader());
        const Variant asked = Request_()("PostID");
        if (!ToLong(asked)) Refuse("参数错误！");
        const std::string postid = std::to_string(asked.CLng());
        const std::string member = SqlQuote(Variant(Member()));
        const std::string password = SqlQuote(Variant(MemberPassword()));

        rs = Con().Execute(
            inbox ? "select recipient from PM inner join register on "
                    "PM.recipient=register.username where postid=" +
                        postid + " and recipient='" + member + "' and password='" + password + "'"
                  : "select sender from outbox inner join register on "
                    "outbox.sender=register.username where postid=" +
                        postid + " and sender='" + member + "' and password='" + password + "'");
        if (rs->Eof()) Refuse(kNoRight);
        rs->Close();

        // The owner's name stays in the load too, so the message shown is the one just checked.
        rs = Con().Execute(
            inbox ? "select PM.*,PM.icon as posticon,register.signdate,register.signature,"
                    "register.icon as usericon,register.nickname,register.status as userstatus,"
                    "register.postcount,register.email,register.emailview,register.url as "
                    "homepage from PM inner join register on PM.sender=register.username where  "
                    "postid=" +
                        postid + " and PM.recipient='" + member + "'"
                  : "select outbox.*,outbox.icon as posticon,register.signdate,register.signature,"
                    "register.icon as usericon,register.nickname,register.status as userstatus,"
                    "register.postcount,register.email,register.emailview,register.url as "
                    "homepage from outbox inner join register on outbox.sender=register.username "
                    "where  postid=" +
                        postid + " and outbox.sender='" + member + "'");
        if (rs->Eof()) Refuse("发生错误，或者是没有该留言！");

        const Server& server = Server_();
        const std::string sender = rs->Fields("sender").Str();
        if (inbox) {
          out << "<table width=" << s.TableWidth
              << "><tr><td colspan=2 align=right><a href=pm.asp?action=replypm&recipient="
              << server.URLEncode(sender) << "&postid=" << postid << ">回复</a>&nbsp;"
              << "<a href=pm.asp?action=Addtoignorelist&Ignore=" << server.URLEncode(sender)
              << ">加入拒绝列表</a></td><tr></table>";
        }
        const std::string font = "<font color=" + s.TableStripTextColor + "><b>";
        out << s.TableBorderStart
            << "<table border=0 cellPadding=4 cellspacing=1 width=" << s.InnerTableWidth
            << "><tbody>"
            << "<tr " << s.TableColorStrip << "><td>" << font << "发表人</b></font></td><td>"
            << font << "主题:&nbsp;&nbsp;" << server.HTMLEncode(rs->Fields("Subject").Str())
            << "</b></font></td></tr>"
            << "<tr " << s.AltColumnColor1 << ">" << AuthorCell(s, server, *rs)
            << MessageCell(s, server, *rs) << "</table>" << s.TableBorderEnd << "</center>";
        rs->Close();
        if (inbox) Con().Execute("update PM set isnew=0 where postid=" + postid);
      },
      [&] { Response_() << s.Copyright << "</body></html>"; });
  CloseQuietly(rs.get(), nullptr);
}

}  // namespace cb
