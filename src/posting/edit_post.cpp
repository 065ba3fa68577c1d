// Editing and deleting posts: the edit form (EditPost), its submission (SubmitEdit: the edit, or
// the deletion when the form's box is ticked) and the moderators' delete-topic page (DeletePost).
// Rights are always those of the post's own forum, read from its row.
#include <memory>

#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "posting/acting_role.h"
#include "posting/moderation_forms.h"
#include "posting/moderation_rules.h"
#include "posting/post_form.h"
#include "posting/thread_ops.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

constexpr const char* kDeleteBox =
    "<INPUT TYPE=CHECKBOX NAME=DeletePost>删除？想删除的话，选中左边的复选框。";
constexpr const char* kDeleteTopicWarning =
    "<b>注意：</b>删除此贴会导致整个话题，因为此贴是话题中的第 1 个贴子。";
constexpr const char* kEditNotes =
    "* 如果 HTML 和/或 <a href=cbkcode.htm target=_blank>CBK 代码</A> "
    "功能被打开，则意味着你可以在消息中使用 HTML 和/或 CBK 代码。";

bool FlagOn(const Variant& v) { return !v.IsNull() && !v.IsEmpty() && v.CBool(); }

// The post a page acts on, read from its row.
struct PostRow {
  std::string forum;
  std::string author;
  std::string subject;
  std::string message;
  Variant posttime;
  bool smileys = false;
  int32_t thread = 0;  // the topic's number: the post's own, or its parent's
};

PostRow ReadPostRow(const Recordset& rs, int32_t id, PostFacts& f) {
  PostRow p;
  p.forum = rs("forumname").Str();
  p.author = rs("username").Str();
  p.subject = rs("subject").Str();
  p.message = rs("message").Str();
  p.posttime = rs("posttime");
  p.smileys = FlagOn(rs("smiles"));
  const Variant parent = rs("parentid");
  f.is_topic = IsTopicParent(parent);
  p.thread = f.is_topic ? id : parent.CLng();
  return p;
}

}  // namespace

void Corkboard::Enforce(const Decision& decision, const std::string& title,
                        const std::string& forum) {
  switch (decision.verdict) {
    case Verdict::kProceed:
      return;
    case Verdict::kPrivateForum:
      Response_().Clear();
      Response_() << WritePageHead(S(), title);
      PrivateForum(forum);
      SkipToTail();
    case Verdict::kRefuse:
      Refuse(decision.message);
  }
}

void Corkboard::EditPost() {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunPage(
      [&] {
        std::string listed;
        UpdateOnline(Request_().ServerVariables("Remote_addr").Str(), "编辑话题", listed);
        const Settings& s = S();
        const Request& req = Request_();
        const std::string title = "编辑话题 - " + s.BBName;
        PostFacts f;
        f.number_ok = ToLong(req("Topic"));
        // Without the post, its forum is the one the address names.
        std::string forum = req.QueryString("forum").Str();
        PostRow post;
        int32_t id = 0;
        if (f.number_ok) {
          id = req("Topic").CLng();
          con = OpenConnection_();
          rs = con->Execute("select * from post where postid=" + std::to_string(id));
          f.found = !rs->Eof();
          if (f.found) {
            post = ReadPostRow(*rs, id, f);
            forum = post.forum;
          }
          rs->Close();
          const ForumCheck c = CheckForum(*con, forum);
          f.forum_ok = bool(c);
          f.admitted = Admitted(c);
          con->Close();
        }
        Enforce(DecideEditForm(f), title, forum);

        const Server& server = Server_();
        const std::string subject = server.HTMLEncode(post.subject);
        Response& out = Response_();
        out << WritePageHead(s, title) << "<center>" << EditFormTop(s, "论坛名称", HtmlSafe(forum), "帖子名称", subject)
            << "<FORM ACTION=posting.asp NAME=PostTopic METHOD=POST>" << s.TableBorderStart
            << "<table cellpadding=4 cellspacing=1 border=0 width=" << s.InnerTableWidth << ">"
            << "<tr " << s.TableColorStrip << "><td colspan=2><font color=" << s.TableStripTextColor
            << ">" << kDeleteBox << (f.is_topic ? kDeleteTopicWarning : "") << "</font></td></tr>";
        if (!SignedIn(Session_())) {
          out << IdentityRows(
              s, req,
              {.name = "你的用户名：", .password = "你的密码：", .lost_password_link = true});
        }
        if (f.is_topic) {
          out << "<tr " << s.AltColumnColor1
              << "><td><b>主题：</b></td><td><INPUT TYPE=TEXT NAME=TopicSubject SIZE=40 "
                 "MAXLENGTH=30 VALUE=\""
              << subject << "\"></td></tr>";
        }
        // Author and time come from the row; the author's name is member text.
        out << BodyRow(s, "帖子内容编辑：", server.HTMLEncode(post.message),
                       "<FONT COLOR=#2f2f4f>原作者：" + HtmlSafe(post.author) + "　发表于：" +
                           post.posttime.Str() + "</FONT><P>")
            << "<tr " << s.AltColumnColor2
            << "><td valign=top><b>选项：</b></td><td><INPUT TYPE=CHECKBOX NAME=DisableSmilies "
               "VALUE=on"
            << (post.smileys ? "" : " CHECKED")
            << "><B>禁止笑脸转换：</b>如果你的帖子中有转帖代码，请筛选复选此项。</td></tr>"
            << "<tr " << s.AltColumnColor1 << "><td colspan=2 align=center>"
            << "<INPUT TYPE=HIDDEN NAME=action VALUE=submitedit>"
            << "<INPUT TYPE=HIDDEN NAME=forum VALUE=\"" << HtmlSafe(forum) << "\">"
            << "<INPUT TYPE=HIDDEN NAME=Topic VALUE=" << std::to_string(id) << ">"
            << "<INPUT TYPE=SUBMIT NAME=Submit VALUE=确　定 class=buttonface>&nbsp;"
            << "<INPUT TYPE=RESET NAME=Reset VALUE=清　除 class=buttonface></td></tr>"
            << "</table>" << s.TableBorderEnd << "</form>" << kEditNotes << "</center>"
            << s.Copyright;
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(rs.get(), con.get());
}

void Corkboard::SubmitEdit() {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunPage(
      [&] {
        const Request& req = Request_();
        const Settings& s = S();
        const std::string message = req.Form("message").Str();
        const std::string new_subject = req.Form("topicsubject").Str();
        ActingMember who = ReadActingMember(Session_(), req);
        PostFacts f;
        f.number_ok = ToLong(req("topic"));
        EditSubmission e{.deleting = Checked(req.Form("deletepost")),
                         .subject_blank = Trim(new_subject).empty(),
                         .body_blank = Trim(message).empty()};
        int32_t id = 0;
        PostRow post;
        if (f.number_ok) {
          id = req("topic").CLng();
          con = OpenConnection_();
          rs = std::make_unique<Recordset>();
          rs->Open("select * from post where postid=" + std::to_string(id), *con, adOpenStatic,
                   adLockOptimistic);
          f.found = !rs->Eof();
          if (f.found) {
            post = ReadPostRow(*rs, id, f);
            const ForumCheck c = CheckForum(*con, post.forum);
            f.admitted = !c || Admitted(c);
            if (f.admitted) {
              f.role = GuardedRole(Application_(), Session_(), req, Now(), who, post.forum, *con);
              f.own = post.author == who.name;
            }
          }
        }
        Enforce(DecideSubmitEdit(f, e), s.BBName, post.forum);

        const std::string list_url = "list.asp?groupname=" + Server_().URLEncode(post.forum);
        if (e.deleting) {
          rs->Close();
          DeletePostAndReplies(*con, id);
          con->Close();
          Wait(HtmlSafe(who.name) + "，删除主题成功", list_url, HtmlSafe(post.forum) + "贴子列表");
          return;
        }
        const std::string history = rs->Fields("EditHistory").Str();
        const bool renamed = f.is_topic && post.subject != new_subject;
        RunInTransaction(*con, [&] {
          rs->Set("message", Variant(message));
          // The box only ever turns smileys off: an unticked box leaves the post as it was.
          if (Checked(req("DisableSmilies"))) rs->Set("smiles", Variant(int32_t{0}));
          rs->Set("EditHistory", Variant(history + EditNote(HtmlSafe(who.name),
                                                            FormatPostTime(s, Variant(Now())))));
          rs->Update();
          if (renamed) RenameThread(*con, id, new_subject);
        });
        rs->Close();
        con->Close();
        Wait(HtmlSafe(who.name) + "，谢谢你编辑贴子",
             "newsdetail.asp?id=" + std::to_string(post.thread), "编辑的话题");
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(rs.get(), con.get());
}

void Corkboard::DeletePost() {
  std::unique_ptr<Connection> con;
  RunPage(
      [&] {
        std::string listed;
        UpdateOnline(Request_().ServerVariables("Remote_addr").Str(), "删除话题", listed);
        const Settings& s = S();
        const Request& req = Request_();
        const std::string title = "删除话题 - " + s.BBName;
        const bool posted = IsPostRequest(req);
        ActingMember who = ReadActingMember(Session_(), req);
        PostFacts f;
        f.number_ok = ToLong(req("Topic"));
        TopicRow topic;
        if (f.number_ok) {
          con = OpenConnection_();
          topic = LoadTopic(*this, *con, Server_(), req("Topic").CLng(), f);
          if (posted && f.found && f.admitted) {
            f.role = GuardedRole(Application_(), Session_(), req, Now(), who, topic.forum, *con);
          }
        }
        Enforce(DecideDeleteTopic(f, posted), title, topic.forum);

        if (!posted) {
          Response_() << WritePageHead(s, title) << "<center>"
                      << AuthorizeFormText(
                             s, req,
                             {.heading = "删除话题",
                              .hidden_fields = "<INPUT TYPE=HIDDEN NAME=action VALUE=deletepost>"
                                               "<INPUT TYPE=HIDDEN NAME=topic VALUE=" +
                                               std::to_string(topic.id) + ">",
                              .strip_text = "需要删除的话题: " + topic.subject,
                              .signed_in = SignedIn(Session_())});
          return;
        }
        DeletePostAndReplies(*con, topic.id);
        con->Close();
        Wait("话题" + topic.subject + "已经被删除",
             "list.asp?groupname=" + Server_().URLEncode(topic.forum),
             HtmlSafe(topic.forum) + "贴子列表");
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(nullptr, con.get());
}

}  // namespace cb
