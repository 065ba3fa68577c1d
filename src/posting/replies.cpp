// Replies: the reply form (reply), the form with a quotation (replywquote), both with the thread
// review under them, and the submission (PostReply), which adds the reply row and mails the
// topic's author when the author asked for it.
#include <cstdlib>
#include <memory>

#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "mail/mail.h"
#include "markup/markup.h"
#include "members/member_checks.h"
#include "posting/post_form.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

constexpr const char* kNoForum =
    "对不起，该论坛不存在，可能是你输错了url或正好管理员刚刚删除了该论坛！";
constexpr const char* kClosedTopic = "该主题已被关闭，不再接受回复，请检查！";

// Abs of a 32-bit value, raising the overflow the legacy Abs raises for the lowest value.
int32_t Abs32(int32_t v) {
  if (v == INT32_MIN) throw ScriptError(err::kOverflow, "溢出", "Corkboard.reply");
  return std::abs(v);
}

// A message as the thread shows it: encoded, converted, with smileys where the post allows them.
std::string RenderMessage(const Server& server, const Recordset& rs) {
  const std::string message = rs("message").Str();
  if (message.empty()) return "";
  std::string html = ToHtml(server.HTMLEncode(message));
  const Variant smiles = rs("smiles");
  if (!smiles.IsNull() && !smiles.IsEmpty() && smiles.CBool()) html = SmiliesToHtml(html);
  return html;
}

}  // namespace

void Corkboard::reply() { WriteReplyForm(false); }

void Corkboard::replywquote() { WriteReplyForm(true); }

void Corkboard::WriteReplyForm(bool with_quote) {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunPage(
      [&] {
        const char* location = with_quote ? "引用话题回复" : "回复话题";
        std::string listed;
        UpdateOnline(Request_().ServerVariables("Remote_addr").Str(), location, listed);
        const Settings& s = S();
        Response& out = Response_();
        const Request& req = Request_();

        int32_t topic = 0;
        int32_t quotenum = 0;
        const Variant topic_value = req.QueryString("topic");
        if (with_quote) {
          const Variant quote_value = req.QueryString("quotenum");
          if (!ToLong(topic_value) || !ToLong(quote_value)) Refuse("参数错误！");
          topic = topic_value.CLng();
          quotenum = quote_value.CLng();
        } else {
          if (!IsNumeric(topic_value)) Refuse("参数错误");
          topic = Abs32(topic_value.CLng());
        }
        const std::string forum = req.QueryString("Forum").Str();
        const std::string topic_subject = req.QueryString("TopicSubject").Str();
        const std::string title = std::string(location) + " - " + s.BBName;
        const std::string topic_id = std::to_string(topic);

        con = OpenConnection_();
        if (!CheckForum(*con, forum)) Refuse(kNoForum);
        auto private_screen = [&](const std::string& name) {
          out << WritePageHead(s, title);
          PrivateForum(name);
          SkipToTail();
        };
        if (!Admitted(forum)) private_screen(forum);

        rs = con->Execute(
            "Select post.*,Register.email,Signature,Register.signdate,Register.nickname,"
            "Register.icon from post left outer join Register on "
            "post.username=Register.username where postid=" +
            topic_id);
        // A reply's number is no topic: replies are never nested.
        if (rs->Eof() || !rs->Fields("parentid").IsNull()) {
          Refuse("该主题已不存在，可能已经被删除，请检查！");
        }
        // The thread review shows the topic's own forum, which must admit the visitor too.
        const std::string topic_forum = rs->Fields("forumname").Str();
        if (topic_forum != forum && CheckForum(*con, topic_forum) && !Admitted(topic_forum)) {
          private_screen(topic_forum);
        }
        if (ToLower(rs->Fields("status").Str()) == "close") {
          Refuse(kClosedTopic);
        }

        std::string quotation;
        if (with_quote) {
          std::string quoted_name, quoted_text;
          bool found = false;
          if (quotenum == topic) {
            quoted_name = rs->Fields("userName").Str();
            quoted_text = rs->Fields("Message").Str();
            found = true;
          } else {
            auto q = con->Execute("select username,Message,forumname from post where postid=" +
                                  std::to_string(quotenum));
            // A post of a private forum is quoted only for visitors that forum admits.
            if (!q->Eof()) {
              const std::string quoted_forum = q->Fields("forumname").Str();
              found = quoted_forum == topic_forum || !CheckForum(*con, quoted_forum) ||
                      Admitted(quoted_forum);
              quoted_name = q->Fields("username").Str();
              quoted_text = q->Fields("Message").Str();
            }
          }
          if (found) {
            quotation = Server_().HTMLEncode(quoted_name) + "在上个贴子中说\r\n[quote] " +
                        Server_().HTMLEncode(quoted_text) + " [/quote]";
          }
        }
        rs->Close();

        out << WritePageHead(s, title) << "<center>";
        if (s.BBSTYLE == "CBK") {
          // Forum and subject came in the address: kept as text.
          out << "<table border=0 width=" << s.TableWidth << "><tr><td>" << s.Logo
              << "</td><td ><b>论坛：</b>" << HtmlSafe(forum) << "<br><b>话题：</b>"
              << HtmlSafe(topic_subject) << "</td></tr></table>";
        } else if (s.BBSTYLE == "CLUB") {
          out << ClubPageTop(s);
        }
        out << RegisterLinkTable(s) << "<FORM ACTION=posting.asp METHOD=POST NAME=PostTopic>"
            << s.TableBorderStart
            << "<table cellpadding=4 cellspacing=1 border=0 width=" << s.InnerTableWidth << ">"
            << StripRow(s, "谁能发表？", "全部注册用户均能发表和回复")
            << StripRow(s, "关于注册", "为了回复消息，您必须先注册");
        if (!SignedIn(Session_())) out << MemberRows(s, req);
        out << IconRow(s) << BodyRow(s, "您的回复：", quotation) << "<tr " << s.AltColumnColor2
            << "><td valign=top><b>选项：</b></td><td>"
            << "<INPUT TYPE=CHECKBOX NAME=Signature VALUE=on CHECKED><B>显示签名:</B> "
               "包含你在户口本中的签名。只有注册用户有此功能。<br>"
            << "<INPUT TYPE=CHECKBOX NAME=DisableSmilies VALUE=on><B>禁止笑脸转换：</b>"
               "如果你的帖子中有转帖代码，请筛选复选此项。</td></tr>"
            << "<tr " << s.AltColumnColor1 << "><td colspan=2 align=center>"
            << "<INPUT TYPE=HIDDEN NAME=forum VALUE=\"" << HtmlSafe(forum) << "\">"
            << "<INPUT TYPE=HIDDEN NAME=action VALUE=postreply>"
            << "<INPUT TYPE=HIDDEN NAME=Topic VALUE=" << topic_id << ">"
            << "<INPUT TYPE=HIDDEN NAME=TopicSubject VALUE=\"" << HtmlSafe(topic_subject) << "\">"
            << "<INPUT TYPE=SUBMIT NAME=Submit VALUE=发送回贴 class=buttonface>&nbsp;"
            << "<INPUT TYPE=RESET NAME=Reset VALUE=清除字段 class=buttonface></td></tr>"
            << "</table>" << s.TableBorderEnd << "</form>"
            << MarkupNotes(with_quote ? "cbkcode.asp" : "cbkcode.htm");

        out << "<table cellpadding=4 cellspacing=1 border=0 width=" << s.TableWidth
            << " align=center><tr " << s.TableColorStrip
            << "><td colspan=2><font color=" << s.TableStripTextColor
            << "><b>话题回顾</b></font></td></tr>";
        rs = con->Execute(
            "select post.*,Register.email,Signature ,Register.nickname,Register.signdate,"
            "Register.icon from post left outer join Register on "
            "post.username=Register.username where postid=" +
            topic_id + " or parentid=" + topic_id + " order by postid ");
        for (int i = 0; !rs->Eof(); ++i) {
          out << "<tr " << (i % 2 == 0 ? s.AltColumnColor2 : s.AltColumnColor1)
              << "><td noWrap vAlign=top width='18%'>" << HtmlSafe(rs->Fields("username").Str())
              << "</td><td>" << RenderMessage(Server_(), *rs) << "</td></tr>";
          rs->MoveNext();
        }
        rs->Close();
        out << "</table></center>" << s.Copyright;
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(rs.get(), con.get());
}

void Corkboard::PostReply() {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunPage(
      [&] {
        const Request& req = Request_();
        const Settings& s = S();
        const std::string address = req.ServerVariables("Remote_addr").Str();
        if (!IsAllowedIP(s, address)) {
          Refuse(kRefusedAddressStart + HtmlSafe(address) + kRefusedAddressEnd);
        }
        // An empty or non-numeric topic does not convert: the runtime error page.
        const int32_t topic = Variant(req.Form("topic").Str()).CLng();
        ActingMember who = ReadActingMember(Session_(), req);
        const Variant icon = req.Form("MsgIcon");
        const std::string subject = Trim(req.Form("topicsubject").Str());
        const std::string message = Trim(req.Form("Message").Str());
        const Variant signature = req.Form("Signature");
        std::string listed;
        UpdateOnline(address, "回复话题", listed);

        if (who.name.empty() || who.password.empty()) Refuse(kNameAndPassword);
        if (message.empty()) Refuse("请输入内容！按浏览器的后退按钮可重新输入！");
        if (!PostSubmitCheck()) Refuse(FloodMessage(s));
        Response_() << WritePageHead(s, s.BBName);
        con = OpenConnection_();
        bool may_post = false;
        if (!CanPost(who.name, who.password, *con, may_post)) Refuse(kNotMember);
        if (!may_post) Refuse(kBarred);

        const std::string topic_id = std::to_string(topic);
        rs = std::make_unique<Recordset>();
        rs->Open("select * from Post where postid=" + topic_id, *con, adOpenStatic,
                 adLockOptimistic);
        // A reply's number is no topic: replies are never nested.
        if (rs->Eof() || !rs->Fields("parentid").IsNull()) {
          Refuse("对不起，该主题已经不存在，可能已经被删除！");
        }
        // The reply belongs to the topic's own forum, whatever the form says; that forum must
        // admit this session, and a closed topic takes no reply.
        const std::string forum = rs->Fields("ForumName").Str();
        if (!CheckForum(*con, forum)) Refuse(kNoForum);
        if (!Admitted(forum)) {
          PrivateForum(forum);
          SkipToTail();
        }
        if (ToLower(rs->Fields("status").Str()) == "close") Refuse(kClosedTopic);
        const std::string author = rs->Fields("UserName").Str();
        const Variant notify = rs->Fields("emailnotification");
        // One insert: the store's triggers bring the counters along in the same statement.
        rs->AddNew();
        rs->Set("parentid", Variant(topic));
        rs->Set("message", Variant(message));
        rs->Set("subject", Variant(subject));
        rs->Set("ForumName", Variant(forum));
        rs->Set("username", Variant(who.name));
        rs->Set("icon", Variant(int32_t{Variant(icon.Str()).CByte()}));
        rs->Set("Smiles", Variant(int32_t{Checked(req("disablesmilies")) ? 0 : 1}));
        if (Checked(signature)) rs->Set("useSign", Variant(true));
        rs->Set("ip", Variant(address));
        rs->Update();
        rs->Close();

        const bool wants_notice = !notify.IsNull() && !notify.IsEmpty() && notify.CBool();
        if (s.MailOnReply && wants_notice && who.name != author) {
          rs = con->Execute("select username,email from Register where username='" +
                            SqlQuote(author) + "'");
          if (!rs->Eof() && !rs->Fields("email").IsNull()) {
            // The subject is the replier's text: kept as text in the mail.
            const std::string body = author + "," + who.name + "回复了您在" + s.BBName +
                                     "中发表的主题:" + HtmlSafe(subject) +
                                     "，请到以下地址查看详细情况<a href=" + s.BBURL + ">" +
                                     s.BBName + "</a><br>谢谢!";
            std::string error;
            SendMail(s, *Context().services().clock, s.BBName, s.BBEMail, author,
                     rs->Fields("email").Str(), "您的贴子已经有人回复了！", body, error);
          }
          rs->Close();
        }
        Wait(HtmlSafe(who.name) + "，谢谢您回复话题", "newsdetail.asp?id=" + topic_id,
             "您回复的话题", 2);
        con->Close();
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(rs.get(), con.get());
}

}  // namespace cb
