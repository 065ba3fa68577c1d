// Editing an archived post: the edit form (ArchiveEditPost) and its submission
// (ArchiveSubmitEdit: the edit, or the deletion when the form's box is ticked). Rights are those
// of the forum the post's thread came from, read from its row; authors may edit their own posts.
#include <memory>

#include "archives/archive_ops.h"
#include "archives/archive_rules.h"
#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "posting/acting_role.h"
#include "posting/moderation_forms.h"
#include "posting/post_form.h"
#include "posting/thread_ops.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

// The archive number an address or form names, 0 when none.
int32_t NamedArchive(const Variant& v) { return ToLong(v) ? v.CLng() : 0; }

}  // namespace

void Corkboard::ArchiveEditPost() {
  std::unique_ptr<Connection> con;
  RunPage(
      [&] {
        RecordVisit("编辑话题");
        const Settings& s = S();
        const Request& req = Request_();
        ArchivedFacts f{.number_ok = ToLong(req("Topic"))};
        ArchivedPost post;
        if (f.number_ok) {
          con = OpenConnection_();
          post = LoadArchivedPost(*con, req("Topic").CLng(), NamedArchive(req("forum")), f);
          con->Close();
        }
        Enforce(DecideArchiveEditForm(f), s.BBName, post.forum);

        const Server& server = Server_();
        const std::string subject = server.HTMLEncode(post.subject);
        Response& out = Response_();
        out << WritePageHead(s, "编辑话题 - " + s.BBName) << "<center>"
            << EditFormTop(s, "档案名称", HtmlSafe(post.archive_name), "归档话题", subject)
            << "<FORM ACTION=posting.asp NAME=PostTopic METHOD=POST>"
            << "<B>只有论坛领导（系统管理员，版主）或者发表这条消息的人才可以编辑和删除贴子</B>"
            << s.TableBorderStart
            << "<table cellpadding=4 cellspacing=1 border=0 width=" << s.InnerTableWidth << "><tr "
            << s.TableColorStrip << "><td colspan=2><font color=" << s.TableStripTextColor
            << "><INPUT TYPE=CHECKBOX NAME=DeletePost>删除？想删除的话，选中左边的复选框。"
               "</font></td></tr>";
        if (!SignedIn(Session_())) {
          out << IdentityRows(
              s, req,
              {.name = "你的用户名：", .password = "你的密码：", .lost_password_link = true});
        }
        out << "<tr " << s.AltColumnColor1
            << "><td><b>主题：</b></td><td><INPUT TYPE=TEXT NAME=TopicSubject SIZE=40 "
               "MAXLENGTH=30 VALUE=\""
            << subject << "\"></td></tr>"
            << BodyRow(s, "帖子内容编辑：", server.HTMLEncode(post.message),
                       "<FONT COLOR=#2f2f4f>原作者：" + HtmlSafe(post.author) + "　发表于：" +
                           post.posttime.Str() + "</FONT><P>")
            << "<tr " << s.AltColumnColor2 << "><td colspan=2 align=center>"
            << "<INPUT TYPE=HIDDEN NAME=action VALUE=archivesubmitedit>"
            << "<INPUT TYPE=HIDDEN NAME=archiveid VALUE=" << std::to_string(post.archive) << ">"
            << "<INPUT TYPE=HIDDEN NAME=Topic VALUE=" << std::to_string(post.id) << ">"
            << "<INPUT TYPE=SUBMIT NAME=Submit VALUE=确　定 class=buttonface>&nbsp;"
            << "<INPUT TYPE=RESET NAME=Reset VALUE=清　除 class=buttonface></td></tr>"
            << "</table>" << s.TableBorderEnd << "</form></center>" << s.Copyright;
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(nullptr, con.get());
}

void Corkboard::ArchiveSubmitEdit() {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunPage(
      [&] {
        const Request& req = Request_();
        const Settings& s = S();
        const std::string message = req.Form("message").Str();
        const std::string new_subject = req.Form("topicsubject").Str();
        ActingMember who = ReadActingMember(Session_(), req);
        ArchivedFacts f{.number_ok = ToLong(req("topic")), .posted = true};
        const EditSubmission e{.deleting = Checked(req.Form("deletepost")),
                               .subject_blank = Trim(new_subject).empty(),
                               .body_blank = Trim(message).empty()};
        ArchivedPost post;
        if (f.number_ok) {
          con = OpenConnection_();
          post = LoadArchivedPost(*con, req("topic").CLng(), NamedArchive(req("archiveid")), f);
          if (f.found) {
            f.role = GuardedRole(Application_(), Session_(), req, Now(), who, post.forum, *con);
            f.own = post.author == who.name;
          }
        }
        Enforce(DecideArchiveSubmitEdit(f, e), s.BBName, post.forum);

        const std::string archive = std::to_string(post.archive);
        if (e.deleting) {
          DeleteArchivedPost(*con, post.id, post.archive);
          con->Close();
          Wait(Server_().HTMLEncode(post.subject) + "，删除主题成功",
               "archivelist.asp?archiveid=" + archive, "归档贴子列表");
          return;
        }
        RunInTransaction(*con, [&] {
          rs = std::make_unique<Recordset>();
          rs->Open("select * from archivelist where postid=" + std::to_string(post.id) +
                       " and archiveid=" + archive,
                   *con, adOpenStatic, adLockOptimistic);
          rs->Set("message", Variant(message));
          if (f.is_topic) rs->Set("subject", Variant(new_subject));
          // The archive keeps the latest edit's note only.
          rs->Set("EditHistory", Variant(EditNote(HtmlSafe(who.name), Variant(Now()).Str())));
          rs->Update();
          rs->Close();
          if (f.is_topic) RenameArchivedThread(*con, post.id, post.archive, new_subject);
        });
        con->Close();
        Wait(Server_().HTMLEncode(f.is_topic ? new_subject : post.subject) + "，谢谢你编辑贴子",
             "archivecontent.asp?id=" + std::to_string(post.thread) + "&ArchiveID=" + archive,
             "编辑的话题");
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(rs.get(), con.get());
}

}  // namespace cb
