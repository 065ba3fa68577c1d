// Send-to-friend (cbkmisc.asp?action=sendthread): the form that recommends the referring page, and
// the mail, which the board sends from its own address to one recipient at a time, within limits.
#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "mail/mail.h"
#include "members/member_pages.h"
#include "runtime/convert.h"

namespace cb {

namespace {

std::string SendThreadTop(const Settings& s) {
  if (s.BBSTYLE == "CBK") {
    return "<table border=0 width=" + s.TableWidth +
           "><tr><td><A HREF=default.asp><IMG src=images/cbkfriend.gif BORDER=0 ALT=CBKFriend>"
           "</A></td><td align=center><font color=" +
           s.BBTitleFontColor + "><b>把本页发送给朋友</b></font></td></tr></table>";
  }
  if (s.BBSTYLE == "CLUB") return ClubPageTop(s);
  return "";
}

std::string SendThreadForm(const Settings& s, const Server& server, const std::string& subject,
                           const std::string& referer) {
  auto row = [&](int n, const char* caption, const std::string& field) {
    return "<tr " + (n % 2 == 1 ? s.AltColumnColor1 : s.AltColumnColor2) + "><td><b>" + caption +
           "</b></td><td>" + field + "</td></tr>";
  };
  auto text = [](const char* name, int maxlength, const std::string& value) {
    return std::string("<input type=text name=") + name +
           " size=40 maxlength=" + std::to_string(maxlength) + " value=\"" + HtmlSafe(value) +
           "\" class=smallinput>";
  };
  // The message holds markup as text: the text area shows it as typed.
  const std::string message = "这是" + s.BBName +
                              "里的一个帖子，我想，你可能会对此页有兴趣：<a href=" + referer + ">" +
                              referer + "</a>";
  return "<FORM ACTION=cbkmisc.asp METHOD=POST>" + SendThreadTop(s) + s.TableBorderStart +
         "<table cellpadding=4 cellspacing=1 border=0 width=" + s.InnerTableWidth + ">" +
         row(1, "你的姓名：", text("FromName", 50, "")) +
         row(2, "你的电子邮件（让你的朋友可以写回信给你）：", text("FromEmail", 50, "")) +
         row(3, "对方的姓名：", text("SendToName", 75, "")) +
         row(4, "对方的电子邮件：", text("SendToEmail", 50, "")) +
         row(5, "标题：", text("EmailSubject", 100, subject)) +
         row(6, "正文：",
             "<textarea name=EmailMessage rows=8 cols=50>" + server.HTMLEncode(message) +
                 "</textarea>") +
         "<tr " + s.AltColumnColor1 +
         "><td colspan=2 align=center><input type=submit value=发送邮件！ class=buttonface>"
         "</td></tr></table>" +
         s.TableBorderEnd + "<input type=hidden name=ForwardURL value=\"" + HtmlSafe(referer) +
         "\"><input type=hidden name=action value=sendthread></FORM>";
}

}  // namespace

void Corkboard::SendThread() {
  RunPage(
      [&] {
        RecordVisit("推荐给你的朋友");
        const Settings& s = S();
        const Request& request = Request_();
        Response& out = Response_();
        out << WritePageHead(s, "把本页发送给你的朋友 - " + s.BBName);
        if (!EqualsNoCase(request.ServerVariables("REQUEST_METHOD").Str(), "POST")) {
          out << "<center>"
              << SendThreadForm(s, Server_(), request.QueryString("subject").Str(),
                                request.ServerVariables("http_referer").Str())
              << "</center>" << s.Copyright;
          return;
        }
        const std::string to_name = request("SendToName").Str();
        const std::string to_address = Trim(request("sendtoemail").Str());
        const std::string from_name = request("fromname").Str();
        const std::string from_address = Trim(request("fromEMail").Str());
        const std::string message = request("emailMessage").Str();
        const std::string subject = request("EmailSubject").Str();
        for (const std::string* field :
             {&to_name, &to_address, &from_name, &from_address, &message, &subject}) {
          if (field->empty()) Refuse("请输入所有内容。按浏览器的后退按钮可进行修改！");
        }
        if (!PostSubmitCheck()) Refuse(MailFloodMessage(s));
        if (RecipientRecentlyMailed(Application_(), to_address, Now())) Refuse(kRecipientBusy);
        // The board sends in its own name and address; the visitor's address is where the
        // friend's answer goes.
        std::string error;
        if (!SendMail(s, *Context().services().clock, from_name, s.BBEMail, to_name, to_address,
                      subject, FriendMailBody(message, s.BBURL), error, from_address)) {
          Refuse(MailErrorMessage(error));
        }
        RecipientMailed(Application_(), to_address, Now());
        Wait("我们已经给 " + HtmlSafe(to_name) + " 发送了电子邮件",
             FriendReturnAddress(request("forwardurl").Str(), s.BBURL), "你发送这个电子邮件的页面",
             2);
      },
      [&] { Response_() << "</body></html>"; });
}

}  // namespace cb
