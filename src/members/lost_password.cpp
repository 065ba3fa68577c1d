// The lost-password page (cbkmisc.asp?action=lostpw): a member's name and password mailed to the
// address stored with the member, never to any other, and not more often than the limits allow.
#include <memory>

#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "mail/mail.h"
#include "members/member_pages.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

constexpr const char* kTitle = "通过提供电子邮件获得密码";
constexpr const char* kUnknownAddress =
    "我们注册的用户中没有你列出的电子邮件地址。使用浏览器的后退按钮并再试一次。";

std::string LostPasswordForm(const Settings& s) {
  return "<FORM ACTION=cbkmisc.asp METHOD=POST><p><br>" + s.TableBorderStart +
         "<table cellpadding=4 cellspacing=1 border=0 width=" + s.InnerTableWidth + "><tr " +
         s.TableColorStrip + "><td><font color=" + s.TableStripTextColor + "><b>" + kTitle +
         "</b></font></td></tr><tr " + s.AltColumnColor1 +
         "><td>你的电子邮件地址：<input type=text name=sendto size=35 maxlength=90>"
         "<input type=hidden name=action value=lostpw> "
         "<input type=submit value=发送我的用户名和密码 class=buttonface></td></tr></table>" +
         s.TableBorderEnd + "</FORM>";
}

std::string LostPasswordMailBody(const Settings& s, const std::string& name,
                                 const std::string& password) {
  return "这里是你要求的在" + s.BBName + "中的注册信息。<br>" + "\r\n" + "你的用户名：" + name +
         "<br>" + "你的密码：" + password + "<br>这个公告牌系统的位置在<a href=" + s.BBURL + ">" +
         s.BBURL + "</a><br>" + "谢谢你！";
}

}  // namespace

void Corkboard::lostpw() {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunPage(
      [&] {
        const Settings& s = S();
        const Request& request = Request_();
        Response& out = Response_();
        out << WritePageHead(s, kTitle);
        if (!EqualsNoCase(request.ServerVariables("REQUEST_METHOD").Str(), "POST")) {
          out << "<center>" << PageTop(s, kTitle) << LostPasswordForm(s) << "</center>"
              << s.Copyright;
          return;
        }
        const std::string sendto = Trim(request.Form("sendto").Str());
        if (sendto.empty()) Refuse(kUnknownAddress);
        // Asking is limited before the lookup, so addresses cannot be tried in bulk.
        if (!PostSubmitCheck()) Refuse(MailFloodMessage(s));
        con = OpenConnection_();
        rs = con->Execute("select username,password,email from Register where email='" +
                          SqlQuote(Variant(sendto)) + "'");
        if (rs->Eof()) Refuse(kUnknownAddress);
        // The first member with the address; the mail goes to the address as stored.
        const std::string name = rs->Fields("username").Str();
        const std::string password = rs->Fields("password").Str();
        const std::string stored = rs->Fields("email").Str();
        rs->Close();
        if (RecipientRecentlyMailed(Application_(), stored, Now())) Refuse(kRecipientBusy);
        std::string error;
        if (!SendMail(s, *Context().services().clock, s.BBName, s.BBEMail, name, stored,
                      "您的用户名和口令", LostPasswordMailBody(s, name, password), error)) {
          Refuse(MailErrorMessage(error));
        }
        RecipientMailed(Application_(), stored, Now());
        out << "<table width=95% border=0 align=center><tr bgcolor=#f7f7f7><td>"
               "你在此公告牌中的用户名和密码刚发送给你！你正被自动转送到论坛主页。 请稍候... "
               "<P><A HREF=default.asp>如果你不想再等或浏览器没自动转移，请按这里。</A>"
               "</td></tr></table><meta http-equiv=Refresh content=\"2; URL=default.asp\">";
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(rs.get(), con.get());
}

}  // namespace cb
