// Mailing a post (download.asp, "打包下载"): the address form on a GET; on a POST one HTML mail
// with the post to the listed addresses, behind the flood guard, then back to the thread.
#include <memory>
#include <string>
#include <vector>

#include "archives/archive_rules.h"
#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "mail/mail.h"
#include "markup/markup.h"
#include "members/member_pages.h"
#include "posting/moderation_forms.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

// The post being mailed, texts as stored.
struct PackedPost {
  std::string author;
  std::string forum;
  std::string subject;
  std::string message;
  int32_t thread = 0;
};

std::string PackForm(const Settings& s, int32_t topic) {
  return HeadingTop(s, "打包下载") + "<form action=download.asp method=post name=PackForm>" +
         "<input type=hidden name=topic value=" + std::to_string(topic) + ">" + s.TableBorderStart +
         "<table cellpadding=4 cellspacing=1 border=0 width=" + s.InnerTableWidth + "><tr " +
         s.TableColorStrip + "><td><font color=" + s.TableStripTextColor +
         "><b>打包下载</b></font></td></tr><tr " + s.AltColumnColor1 +
         "><td>请输入电子邮件地址，你可以同时输入多个电子邮件地址，但中间必须用逗号(,)分隔<br>"
         "<input type=text name=email size=40 maxlength=255> "
         "<input type=submit name=Submit value=发送 class=buttonface></td></tr></table>" +
         s.TableBorderEnd + "</form></center>" + s.Copyright;
}

// The mail's body: who wrote the post where, its subject, the board, the post through the
// markup converter, and the way back to the thread. Member texts are written as text.
std::string PackBody(const Settings& s, const Server& server, const PackedPost& p) {
  const std::string board_link = "<a href=\"" + HtmlSafe(s.BBURL) + "\">" + s.BBName + "</a>";
  std::string base = s.BBURL;
  if (!base.empty() && base.back() != '/') base += '/';
  const std::string thread = base + "newsdetail.asp?id=" + std::to_string(p.thread);
  return "<html><body>发信人:" + HtmlSafe(p.author) + ",讨论区：" + HtmlSafe(p.forum) +
         "<br>主题:" + server.HTMLEncode(p.subject) + "<br>来自:" + board_link + "<br><br>" +
         ToHtml(server.HTMLEncode(p.message)) +
         "<br>---------------------------------<br>欢迎访问" + board_link + "<br><a href=\"" +
         HtmlSafe(thread) + "\">" + HtmlSafe(thread) + "</a></body></html>";
}

// A header value on one line.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  return text;
}

}  // namespace

void Corkboard::Pack() {
  std::unique_ptr<Connection> con;
  RunPage(
      [&] {
        RecordVisit("打包下载");
        const Settings& s = S();
        const Request& req = Request_();
        PackFacts f{.number_ok = ToLong(req("topic"))};
        if (!IsPostRequest(req)) {
          if (!f.number_ok) Refuse("参数错误");
          Response_() << WritePageHead(s, "打包下载 - " + s.BBName) << "<center>"
                      << PackForm(s, req("topic").CLng());
          return;
        }
        const std::vector<std::string> addresses = SplitAddresses(req.Form("email").Str());
        PackedPost post;
        if (f.number_ok) {
          const int32_t id = req("topic").CLng();
          con = OpenConnection_();
          auto rs = con->Execute("Select post.* from post  where postid=" + std::to_string(id));
          f.found = !rs->Eof();
          if (f.found) {
            post.author = rs->Fields("UserName").Str();
            post.forum = rs->Fields("forumname").Str();
            post.subject = rs->Fields("Subject").Str();
            post.message = rs->Fields("Message").Str();
            const Variant parent = rs->Fields("Parentid");
            post.thread = IsTopicParent(parent) ? id : parent.CLng();
            // Nothing of a private forum leaves the board for a session it has not admitted.
            const ForumCheck c = CheckForum(*con, post.forum);
            f.admitted = !c || Admitted(c);
          }
          rs->Close();
          con->Close();
        }
        Enforce(DecidePack(f, addresses), s.BBName, post.forum);
        if (!PostSubmitCheck()) Refuse(MailFloodMessage(s));
        for (const std::string& address : addresses) {
          if (RecipientRecentlyMailed(Application_(), address, Now())) Refuse(kRecipientBusy);
        }

        MailComponent mail(*Env().clock, *Env().random);
        mail.Server(s.SmtpServer);
        mail.DataFolder(s.DataDir);
        mail.Transport(s.Transport);
        mail.FromName(s.BBName);
        mail.FromAddress(s.BBEMail);
        for (const std::string& address : addresses) mail.AddRecipient("", address);
        mail.ContentType("text/html");
        mail.Charset("gb2312");
        mail.Subject(OneLine(post.subject));
        mail.Body(PackBody(s, Server_(), post));
        if (!mail.Send()) Refuse(MailErrorMessage(mail.ErrorText()));
        for (const std::string& address : addresses)
          RecipientMailed(Application_(), address, Now());
        Wait("你的邮件已经送出", "newsdetail.asp?id=" + std::to_string(post.thread), "原来的话题");
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(nullptr, con.get());
}

}  // namespace cb
