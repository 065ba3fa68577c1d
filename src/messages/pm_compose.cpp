// Writing private messages: the form (newpm, and ReplyPM with the original quoted) and PostPM,
// which stores the recipient's inbox copy and the sender's outbox copy together.
#include <memory>

#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "messages/pm.h"
#include "messages/pm_pages.h"
#include "posting/editor_toolbar.h"
#include "posting/flood_guard.h"
#include "posting/post_form.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

std::string InputRow(const std::string& colour, const char* label, const std::string& field) {
  return "<tr " + colour + "><td><b>" + label + "</b></td><td>" + field + "</td></tr>";
}

}  // namespace

void PM::WriteMessageForm(const char* title, const std::string& recipient,
                          const std::string& subject, const std::string& message) {
  const Settings& s = S();
  std::string editor;
  // The initial text is a member's message: encoded for the text area.
  EditorToolbar(s, editor, Server_().HTMLEncode(message));
  // The addressee and subject may come from a link: kept inside their attributes.
  Response_() << WritePageHead(s, title + s.BBName) << "<center>"
              << MailboxTop(s, kPageTitleCell, PmClubHeader())
              << "<form action=pm.asp method=post NAME=PostTopic>" << s.TableBorderStart
              << "<table border=0 cellpadding=4 cellspacing=1 width=" << s.InnerTableWidth << ">"
              << StripRow(s, "谁能发表？", "全部注册用户均能发表悄悄话")
              << InputRow(s.AltColumnColor1, "收件人",
                          "<INPUT TYPE=TEXT NAME=recipient SIZE=25 MAXLENGTH=255 value=\"" +
                              HtmlSafe(recipient) +
                              "\"> <a href=member.asp target=_blank>成员列表</a>")
              << InputRow(s.AltColumnColor1, "标题：",
                          "<INPUT TYPE=TEXT NAME=Subject SIZE=40 MAXLENGTH=85 value=\"" +
                              HtmlSafe(subject) + "\">")
              << IconRow(s) << "<tr " << s.AltColumnColor1
              << "><td valign=top><b>正文：</b><br><br>* HTML 代码关闭<BR><A HREF=cbkcode.htm "
                 "target=_blank>* CBK　代码开启</A></td><td>"
              << editor << "</td></tr>"
              << InputRow(s.AltColumnColor2, "选项：",
                          "<INPUT TYPE=CHECKBOX NAME=Signature VALUE=on CHECKED><B>显示签名:</B> "
                          "包含你在户口本中的签名。只有注册用户有此功能。")
              << "<tr " << s.AltColumnColor1 << "><td colspan=2 align=center>"
              << "<INPUT TYPE=HIDDEN NAME=action VALUE=postpm>"
              << "<INPUT TYPE=SUBMIT NAME=Submit VALUE=发送 class=buttonface>&nbsp;"
              << "<INPUT TYPE=RESET NAME=Reset VALUE=重来 class=buttonface></td></tr>"
              << "</table>" << s.TableBorderEnd << "</form>"
              << "*如果 HTML 和/或 <A HREF=cbkcode.htm target=_blank>CBK 代码</A> "
                 "功能被开放，则意味着你可以在消息使用 HTML 和/或 CBK 代码。"
              << "</center>" << s.Copyright << "</body></html>";
}

void PM::newpm() {
  WriteMessageForm("发表悄悄话 - ", Request_()("Recipient").Str(), Request_()("subject").Str(), "");
}

void PM::ReplyPM() {
  std::unique_ptr<Recordset> rs;
  RunAction([&] {
    const Variant asked = Request_()("PostID");
    if (!ToLong(asked)) Refuse("参数错误！");
    // Only the message's own recipient, still signed in with the right password, replies.
    rs = Con().Execute(
        "select pm.* from pm inner join register on pm.recipient=register.username where postid=" +
        std::to_string(asked.CLng()) + " and  recipient='" + SqlQuote(Variant(Member())) +
        "' and password='" + SqlQuote(Variant(MemberPassword())) + "'");
    if (rs->Eof()) Refuse("不存在被回复的悄悄话或你没有权限回复该悄悄话！");
    const std::string quote = "-----原始邮件-----\r\n发件人: " + rs->Fields("Sender").Str() +
                              "\r\n发送时间: " + rs->Fields("posttime").Str() +
                              "\r\n收件人: " + rs->Fields("recipient").Str() +
                              "\r\n主题: " + rs->Fields("subject").Str() + "\r\n\r\n" +
                              rs->Fields("message").Str();
    WriteMessageForm("回复悄悄话 - ", Request_()("Recipient").Str(),
                     "回复:" + rs->Fields("subject").Str(), quote);
  });
  CloseQuietly(rs.get(), nullptr);
}

bool PM::PostSubmitCheck() {
  return AcceptSubmission(Session_(), Application_(),
                          Request_().ServerVariables("Remote_addr").Str(), Now(),
                          S().SubmitInterval);
}

void PM::PostPM() {
  RunAction([&] {
    const Request& req = Request_();
    const Settings& s = S();
    const std::string sender = Member();
    const std::string address = req.ServerVariables("Remote_addr").Str();
    PostFacts f;
    f.address_allowed = IsAllowedIP(s, address);
    f.recipient = ToLower(req("Recipient").Str());
    f.message = Trim(req("Message").Str());
    f.subject = Trim(req("Subject").Str());
    f.account_ok = MemberSignsIn(f.can_post);
    f.recipient_exists = !Con()
                              .Execute("select * from register where username='" +
                                       SqlQuote(Variant(f.recipient)) + "'")
                              ->Eof();
    f.ignored =
        !Con()
             .Execute("select * from ignorelist where username='" + SqlQuote(Variant(f.recipient)) +
                      "' and ignoreusername='" + SqlQuote(Variant(sender)) + "'")
             ->Eof();
    // The flood guard counts the submission, so it is asked only when nothing before it refuses.
    PostRefusal refusal = DecidePostPM(f);
    if (refusal == PostRefusal::kNone || refusal > PostRefusal::kFlood) {
      f.submit_due = PostSubmitCheck();
      refusal = DecidePostPM(f);
    }
    if (refusal != PostRefusal::kNone) {
      Refuse(PostRefusalMessage(refusal, s, address, f.recipient));
    }

    // Both copies or neither.
    Connection& con = Con();
    con.BeginTrans();
    try {
      Recordset rs;
      rs.Open("select * from PM where 1=0", con, adOpenStatic, adLockOptimistic);
      rs.AddNew();
      rs.Set("icon", req("msgicon"));
      rs.Set("usesign", Variant(int32_t{Checked(req.Form("Signature")) ? 1 : 0}));
      rs.Set("recipient", Variant(f.recipient));
      rs.Set("sender", Variant(sender));
      rs.Set("Message", Variant(f.message));
      rs.Set("Subject", Variant(f.subject));
      rs.Update();
      rs.Close();
      const std::string postid = con.Execute("select @@identity")->Fields(0).Str();
      con.Execute(
          "Insert into outbox (postid,usesign,sender,recipient,subject,message,icon,posttime) "
          "select postid,usesign,sender,recipient,subject,message,icon,posttime from pm where "
          "postid=" +
          postid);
      con.CommitTrans();
    } catch (...) {
      con.RollbackTrans();
      throw;
    }
    Wait(HtmlSafe(sender) + ",谢谢你发表悄悄话", "pm.asp", "悄悄话首页", 2);
  });
}

}  // namespace cb
