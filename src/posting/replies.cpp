// Replies: the reply form (reply), the form with a quotation (replywquote), both with the thread
// review under them, and the submission (PostReply), which adds the reply row and mails the
// topic's author when the author asked for it.
#include "posting/replies.h"

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>

#include "frame/checks.h"
#include "frame/corkboard.h"
#include "frame/fragments.h"
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

constexpr Rule<ReplyFormFacts, ReplyFormStop> kReplyFormRules[] = {
    {ReplyFormStop::kBadParameters, [](const ReplyFormFacts& f) { return !f.parameters_ok; }},
    {ReplyFormStop::kNoForum, [](const ReplyFormFacts& f) { return KnownFalse(f.forum); }},
    {ReplyFormStop::kPrivate, [](const ReplyFormFacts& f) { return KnownFalse(f.admitted); }},
    {ReplyFormStop::kNoTopic, [](const ReplyFormFacts& f) { return KnownFalse(f.topic); }},
    {ReplyFormStop::kTopicPrivate,
     [](const ReplyFormFacts& f) { return KnownFalse(f.topic_forum_admitted); }},
    {ReplyFormStop::kClosed, [](const ReplyFormFacts& f) { return Known(f.closed); }},
};

// The text a quoted reply starts with: the topic itself when quotenum is the topic, else the post
// quotenum names when it lies in the topic's forum or in one readable() admits; "" without one.
std::string Quotation(Connection& con, const Server& server, const Recordset& topic_row,
                      int32_t topic, int32_t quotenum, const std::string& topic_forum,
                      const std::function<bool(const std::string& forum)>& readable) {
  std::string name, text;
  if (quotenum == topic) {
    name = topic_row.Fields("userName").Str();
    text = topic_row.Fields("Message").Str();
  } else {
    auto q = con.Execute("select username,Message,forumname from post where postid=" +
                         std::to_string(quotenum));
    // A post of a private forum is quoted only for visitors that forum admits.
    if (q->Eof()) return "";
    const std::string quoted_forum = q->Fields("forumname").Str();
    if (quoted_forum != topic_forum && !readable(quoted_forum)) return "";
    name = q->Fields("username").Str();
    text = q->Fields("Message").Str();
  }
  return server.HTMLEncode(name) + "在上个贴子中说\r\n[quote] " + server.HTMLEncode(text) +
         " [/quote]";
}

// The reply form page after its head.
struct ReplyFormWriter {
  const Settings& s;
  const Request& req;
  const Session& session;
  Response& out;
  const std::string& forum;
  const std::string& topic_subject;
  const std::string& topic_id;

  void Top() const;
  void Form(const std::string& quotation, bool with_quote) const;
  void Review(Connection& con, const Server& server) const;
};

void ReplyFormWriter::Top() const {
  if (s.BBSTYLE == "CBK") {
    // Forum and subject came in the address: kept as text.
    out << "<table border=0 width=" << s.TableWidth << "><tr><td>" << s.Logo
        << "</td><td ><b>论坛：</b>" << HtmlSafe(forum) << "<br><b>话题：</b>"
        << HtmlSafe(topic_subject) << "</td></tr></table>";
  } else if (s.BBSTYLE == "CLUB") {
    out << ClubPageTop(s);
  }
}

void ReplyFormWriter::Form(const std::string& quotation, bool with_quote) const {
  out << RegisterLinkTable(s) << "<FORM ACTION=posting.asp METHOD=POST NAME=PostTopic>"
      << s.TableBorderStart
      << "<table cellpadding=4 cellspacing=1 border=0 width=" << s.InnerTableWidth << ">"
      << StripRow(s, "谁能发表？", "全部注册用户均能发表和回复")
      << StripRow(s, "关于注册", "为了回复消息，您必须先注册");
  if (!SignedIn(session)) out << MemberRows(s, req);
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
}

void ReplyFormWriter::Review(Connection& con, const Server& server) const {
  out << "<table cellpadding=4 cellspacing=1 border=0 width=" << s.TableWidth
      << " align=center><tr " << s.TableColorStrip
      << "><td colspan=2><font color=" << s.TableStripTextColor
      << "><b>话题回顾</b></font></td></tr>";
  auto rs = con.Execute(
      "select post.*,Register.email,Signature ,Register.nickname,Register.signdate,"
      "Register.icon from post left outer join Register on "
      "post.username=Register.username where postid=" +
      topic_id + " or parentid=" + topic_id + " order by postid ");
  for (int i = 0; !rs->Eof(); ++i) {
    out << "<tr " << (i % 2 == 0 ? s.AltColumnColor2 : s.AltColumnColor1)
        << "><td noWrap vAlign=top width='18%'>" << HtmlSafe(rs->Fields("username").Str())
        << "</td><td>" << RenderMessage(server, *rs) << "</td></tr>";
    rs->MoveNext();
  }
  rs->Close();
  out << "</table>";
}

// The reply row on the topic's own record set (static, optimistic).
void AddReply(Recordset& rs, const Request& req, int32_t topic, const std::string& forum,
              const std::string& member, const std::string& subject, const std::string& message,
              const std::string& address) {
  rs.AddNew();
  rs.Set("parentid", Variant(topic));
  rs.Set("message", Variant(message));
  rs.Set("subject", Variant(subject));
  rs.Set("ForumName", Variant(forum));
  rs.Set("username", Variant(member));
  rs.Set("icon", Variant(int32_t{Variant(req.Form("MsgIcon").Str()).CByte()}));
  rs.Set("Smiles", Variant(int32_t{Checked(req("disablesmilies")) ? 0 : 1}));
  if (Checked(req.Form("Signature"))) rs.Set("useSign", Variant(true));
  rs.Set("ip", Variant(address));
  rs.Update();
}

// Tells the topic's author by mail that replier answered, when the author has an address.
void NoticeToAuthor(Connection& con, const Settings& s, const Clock& clock,
                    const std::string& author, const std::string& replier,
                    const std::string& subject) {
  auto rs =
      con.Execute("select username,email from Register where username='" + SqlQuote(author) + "'");
  if (!rs->Eof() && !rs->Fields("email").IsNull()) {
    // The subject is the replier's text: kept as text in the mail.
    const std::string body =
        author + "," + replier + "回复了您在" + s.BBName + "中发表的主题:" + HtmlSafe(subject) +
        "，请到以下地址查看详细情况<a href=" + s.BBURL + ">" + s.BBName + "</a><br>谢谢!";
    std::string error;  // a failed notice does not stop the reply
    SendMail(s, clock, s.BBName, s.BBEMail, author, rs->Fields("email").Str(),
             "您的贴子已经有人回复了！", body, error);
  }
  rs->Close();
}

}  // namespace

std::optional<ReplyFormStop> ReplyFormRefusal(const ReplyFormFacts& f) {
  return FirstRefusal(kReplyFormRules, f);
}

const char* ReplyFormStopText(ReplyFormStop stop, bool with_quote) {
  switch (stop) {
    case ReplyFormStop::kBadParameters:
      return with_quote ? "参数错误！" : "参数错误";
    case ReplyFormStop::kNoForum:
      return kNoForumMessage;
    case ReplyFormStop::kNoTopic:
      return "该主题已不存在，可能已经被删除，请检查！";
    case ReplyFormStop::kClosed:
      return kClosedTopicMessage;
    case ReplyFormStop::kPrivate:
    case ReplyFormStop::kTopicPrivate:
      break;
  }
  return "";
}

void Corkboard::reply() { WriteReplyForm(false); }

void Corkboard::replywquote() { WriteReplyForm(true); }

void Corkboard::WriteReplyForm(bool with_quote) {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunPage(
      [&] {
        const char* location = with_quote ? "引用话题回复" : "回复话题";
        RecordVisit(location);
        const Settings& s = S();
        Response& out = Response_();
        const Request& req = Request_();
        const std::string title = std::string(location) + " - " + s.BBName;
        ReplyFormFacts facts;
        std::string private_forum;  // the forum whose sign-in form a private stop shows
        const auto stop_if_refused = [&] {
          const std::optional<ReplyFormStop> stop = ReplyFormRefusal(facts);
          if (!stop) return;
          if (*stop != ReplyFormStop::kPrivate && *stop != ReplyFormStop::kTopicPrivate) {
            Refuse(ReplyFormStopText(*stop, with_quote));
          }
          out << WritePageHead(s, title);
          PrivateForum(private_forum);
          SkipToTail();
        };

        const Variant topic_value = req.QueryString("topic");
        const Variant quote_value = req.QueryString("quotenum");
        facts.parameters_ok =
            with_quote ? ToLong(topic_value) && ToLong(quote_value) : IsNumeric(topic_value);
        stop_if_refused();
        const int32_t topic = with_quote ? topic_value.CLng() : Abs32(topic_value.CLng());
        const int32_t quotenum = with_quote ? quote_value.CLng() : 0;
        const std::string forum = req.QueryString("Forum").Str();
        const std::string topic_subject = req.QueryString("TopicSubject").Str();
        const std::string topic_id = std::to_string(topic);

        con = OpenConnection_();
        const ForumCheck checked = CheckForum(*con, forum);
        facts.forum = checked.exists;
        facts.admitted = !checked || Admitted(checked);
        private_forum = forum;
        stop_if_refused();
        rs = con->Execute(
            "Select post.*,Register.email,Signature,Register.signdate,Register.nickname,"
            "Register.icon from post left outer join Register on "
            "post.username=Register.username where postid=" +
            topic_id);
        // A reply's number is no topic: replies are never nested.
        facts.topic = !rs->Eof() && rs->Fields("parentid").IsNull();
        stop_if_refused();
        // The thread review shows the topic's own forum, which must admit the visitor too.
        const std::string topic_forum = rs->Fields("forumname").Str();
        const auto readable = [&](const std::string& name) {
          const ForumCheck other = CheckForum(*con, name);
          return !other || Admitted(other);
        };
        if (topic_forum != forum) {
          facts.topic_forum_admitted = readable(topic_forum);
          private_forum = topic_forum;
        }
        facts.closed = ToLower(rs->Fields("status").Str()) == "close";
        stop_if_refused();
        const std::string quotation =
            with_quote ? Quotation(*con, Server_(), *rs, topic, quotenum, topic_forum, readable)
                       : "";
        rs->Close();

        const ReplyFormWriter w{s, req, Session_(), out, forum, topic_subject, topic_id};
        out << WritePageHead(s, title) << "<center>";
        w.Top();
        w.Form(quotation, with_quote);
        w.Review(*con, Server_());
        out << "</center>" << s.Copyright;
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
        SubmitFacts facts;
        std::string forum;
        const auto stop_if_refused = [&] {
          const std::optional<PostStop> stop = SubmitRefusal(facts);
          if (!stop) return;
          if (*stop != PostStop::kPrivate) Refuse(SubmitRefusalText(*stop, s, address, true));
          PrivateForum(forum);
          SkipToTail();
        };

        facts.address_allowed = IsAllowedIP(s, address);
        stop_if_refused();
        // An empty or non-numeric topic does not convert: the runtime error page.
        const int32_t topic = Variant(req.Form("topic").Str()).CLng();
        ActingMember who = ReadActingMember(Session_(), req);
        const std::string subject = Trim(req.Form("topicsubject").Str());
        const std::string message = Trim(req.Form("Message").Str());
        RecordVisit("回复话题");
        facts.named = !who.name.empty() && !who.password.empty();
        facts.has_content = !message.empty();
        stop_if_refused();
        facts.flood_free = PostSubmitCheck();
        stop_if_refused();

        Response_() << WritePageHead(s, s.BBName);
        con = OpenConnection_();
        bool may_post = false;
        facts.member = CanPost(who.name, who.password, *con, may_post);
        facts.may_post = may_post;
        stop_if_refused();
        const std::string topic_id = std::to_string(topic);
        rs = std::make_unique<Recordset>();
        rs->Open("select * from Post where postid=" + topic_id, *con, adOpenStatic,
                 adLockOptimistic);
        // A reply's number is no topic: replies are never nested.
        facts.topic = !rs->Eof() && rs->Fields("parentid").IsNull();
        stop_if_refused();
        // The reply belongs to the topic's own forum, whatever the form says; that forum must
        // admit this session, and a closed topic takes no reply.
        forum = rs->Fields("ForumName").Str();
        const ForumCheck checked = CheckForum(*con, forum);
        facts.forum = checked.exists;
        facts.admitted = !checked || Admitted(checked);
        facts.closed = ToLower(rs->Fields("status").Str()) == "close";
        stop_if_refused();

        const std::string author = rs->Fields("UserName").Str();
        const Variant notify = rs->Fields("emailnotification");
        // One insert: the store's triggers bring the counters along in the same statement.
        AddReply(*rs, req, topic, forum, who.name, subject, message, address);
        rs->Close();
        const bool wants_notice = !notify.IsNull() && !notify.IsEmpty() && notify.CBool();
        if (s.MailOnReply && wants_notice && who.name != author) {
          NoticeToAuthor(*con, s, *Env().clock, author, who.name, subject);
        }
        Wait(HtmlSafe(who.name) + "，谢谢您回复话题", "newsdetail.asp?id=" + topic_id,
             "您回复的话题", 2);
        con->Close();
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(rs.get(), con.get());
}

}  // namespace cb
