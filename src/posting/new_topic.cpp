// New topics: the form (NewTopic) and its submission (posttopic), which adds one row to post.
#include <memory>
#include <optional>

#include "frame/corkboard.h"
#include "frame/fragments.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "members/member_checks.h"
#include "posting/post_form.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

std::string OptionsRow(const Settings& s) {
  return "<tr " + s.AltColumnColor2 +
         "><td valign=top><b>选项：</b></td><td>"
         "<INPUT TYPE=CHECKBOX NAME=EmailNotification VALUE=on><B>Email 提醒:</B> "
         "如果有回复则通过电子邮件提醒。只有注册用户才有此功能。<br>"
         "<INPUT TYPE=CHECKBOX NAME=DisableSmilies VALUE=on><B>禁止笑脸转换：</b>"
         "如果你的帖子中有转帖代码，请筛选复选此项。<br>"
         "<INPUT TYPE=CHECKBOX NAME=Signature VALUE=on CHECKED><B>显示签名:</B> "
         "包含你在户口本中的签名。只有注册用户有此功能。</td></tr>";
}

// The topic row on an open record set (static, optimistic).
void AddTopic(Recordset& rs, const Request& req, const std::string& forum,
              const std::string& member, const std::string& subject, const std::string& message,
              const std::string& address, int16_t icon) {
  rs.AddNew();
  rs.Set("username", Variant(member));
  rs.Set("Subject", Variant(subject));
  rs.Set("message", Variant(message));
  rs.Set("Forumname", Variant(forum));
  rs.Set("ip", Variant(address));
  rs.Set("smiles", Variant(int32_t{Checked(req("DisableSmilies")) ? 0 : 1}));
  if (Checked(req.Form("Signature"))) rs.Set("useSign", Variant(true));
  if (Checked(req.Form("EMailNotification"))) rs.Set("emailNotification", Variant(true));
  rs.Set("icon", Variant(icon));
  rs.Update();
}

}  // namespace

void Corkboard::NewTopic() {
  std::unique_ptr<Connection> con;
  RunPage(
      [&] {
        RecordVisit("发表话题");
        const Settings& s = S();
        Response& out = Response_();
        const std::string forum = Request_().QueryString("Forum").Str();
        con = OpenConnection_();
        out << WritePageHead(s, "发表新话题");
        const ForumCheck checked = CheckForum(*con, forum);
        if (!checked) Refuse(kNoForumMessage);
        if (!Admitted(checked)) {
          PrivateForum(forum);
          SkipToTail();
        }
        con->Close();

        out << "<center>";
        if (s.BBSTYLE != "CBK") {
          out << ClubPageTop(s);
        } else {
          // The forum name came in the address: kept as text.
          out << "<table border=0 width=" << s.TableWidth << "><tr><td>" << s.Logo
              << "</td><td><b>在 " << HtmlSafe(forum) << " 论坛发表新话题</b></td></tr></table>";
        }
        out << RegisterLinkTable(s) << "<FORM ACTION=posting.asp METHOD=POST NAME=PostTopic>"
            << s.TableBorderStart
            << "<table cellpadding=4 cellspacing=1 border=0 width=" << s.InnerTableWidth << ">"
            << StripRow(s, "谁能发表？", "全部注册用户均能发表和回复")
            << StripRow(s, "关于注册", "为了发表新的消息，您必须先注册");
        if (!SignedIn(Session_())) out << MemberRows(s, Request_());
        out << "<tr " << s.AltColumnColor1
            << "><td><b>标题：</b></td><td><INPUT TYPE=TEXT NAME=TopicSubject SIZE=40 "
               "MAXLENGTH=30></td></tr>"
            << IconRow(s) << BodyRow(s, "正文：", "") << OptionsRow(s) << "<tr "
            << s.AltColumnColor1 << "><td colspan=2 align=center>"
            << "<INPUT TYPE=HIDDEN NAME=forum VALUE=\"" << HtmlSafe(forum) << "\">"
            << "<INPUT TYPE=HIDDEN NAME=action VALUE=posttopic>"
            << "<INPUT TYPE=SUBMIT NAME=Submit VALUE=发表新话题 class=buttonface>&nbsp;"
            << "<INPUT TYPE=RESET NAME=Reset VALUE=清除字段 class=buttonface></td></tr>"
            << "</table>" << s.TableBorderEnd << "</form>" << MarkupNotes("cbkcode.htm")
            << "</center>" << s.Copyright;
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(nullptr, con.get());
}

void Corkboard::posttopic() {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunPage(
      [&] {
        const Request& req = Request_();
        const Settings& s = S();
        const std::string forum = req.Form("Forum").Str();
        ActingMember who = ReadActingMember(Session_(), req);
        // A missing icon is an empty text, which does not convert: the runtime error page.
        const int16_t icon = Variant(req.Form("MsgIcon").Str()).CInt();
        const std::string subject = Trim(req.Form("topicsubject").Str());
        const std::string message = Trim(req.Form("Message").Str());
        const std::string address = req.ServerVariables("Remote_addr").Str();
        RecordVisit("发表话题");
        SubmitFacts facts;
        const auto stop_if_refused = [&] {
          const std::optional<PostStop> stop = SubmitRefusal(facts);
          if (!stop) return;
          if (*stop != PostStop::kPrivate) Refuse(SubmitRefusalText(*stop, s, address, false));
          Response_() << WritePageHead(s, s.BBName);
          PrivateForum(forum);
          SkipToTail();
        };

        facts.address_allowed = IsAllowedIP(s, address);
        facts.named = !who.name.empty() && !who.password.empty();
        facts.has_content = !subject.empty() && !message.empty();
        stop_if_refused();
        facts.flood_free = PostSubmitCheck();
        stop_if_refused();
        con = OpenConnection_();
        bool may_post = false;
        facts.member = CanPost(who.name, who.password, *con, may_post);
        facts.may_post = may_post;
        stop_if_refused();
        // The form names the forum: it must exist and admit this session, as its pages require.
        const ForumCheck checked = CheckForum(*con, forum);
        facts.forum = checked.exists;
        facts.admitted = !checked || Admitted(checked);
        stop_if_refused();

        // One insert: the store's triggers bring the counters along in the same statement.
        rs = std::make_unique<Recordset>();
        rs->Open("Select * from post where 1<>0", *con, adOpenStatic, adLockOptimistic);
        AddTopic(*rs, req, forum, who.name, subject, message, address, icon);
        rs->Close();

        Response_() << WritePageHead(s, s.BBName);
        // The forum came with the form: kept as text in the target's name.
        Wait(HtmlSafe(who.name) + ",谢谢您发表新主题",
             "list.asp?groupname=" + Server_().URLEncode(forum), HtmlSafe(forum) + "贴子列表", 2);
        con->Close();
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(rs.get(), con.get());
}

}  // namespace cb
