// Moderating archived topics: moving one to another archive (TransferArchive), deleting it
// (DeleteArchive) and returning it to a live forum (RestoreArchive). Each shows its form on a GET
// and acts on a POST; rights are those of the forum the topic came from, read from its row.
#include <functional>
#include <memory>
#include <vector>

#include "archives/archive_ops.h"
#include "archives/archive_rules.h"
#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "members/member_checks.h"
#include "posting/acting_role.h"
#include "posting/moderation_forms.h"
#include "posting/post_form.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

// "CBK": the archive and the subject beside the logo; "CLUB": ClubPageTop.
std::string ArchiveAndSubjectTop(const Settings& s, const Server& server, const ArchivedPost& p) {
  if (s.BBSTYLE == "CBK") {
    return "<table border=0 width=" + s.TableWidth + "><tr><td>" + s.Logo +
           "</td><td><p><B>档案: <FONT COLOR=#2f2f4f>" + HtmlSafe(p.archive_name) +
           "</FONT><BR>话题: <FONT COLOR=#2f2f4f>" + server.HTMLEncode(p.subject) +
           "</FONT></B></p></td></tr></table>";
  }
  if (s.BBSTYLE == "CLUB") return ClubPageTop(s);
  return "";
}

// The form of the moving and restoring pages: the note, one strip row, the choice (a select),
// the identity rows for a session not signed in, the hidden fields and the two buttons.
struct ChoiceForm {
  const char* note = "";
  const char* strip = "";
  std::string explanation{};  // markup; may be empty
  std::string select{};
  const char* action = "";
};
std::string ChoiceFormText(const Settings& s, const Request& request, const ArchivedPost& p,
                           bool signed_in, const ChoiceForm& f) {
  std::string html = "<FORM ACTION=archive.asp NAME=REPLIER METHOD=POST><B>" + std::string(f.note) +
                     "</B>" + s.TableBorderStart +
                     "<table cellpadding=4 cellspacing=1 border=0 width=" + s.InnerTableWidth +
                     "><tr " + s.TableColorStrip +
                     "><td colspan=2><font color=" + s.TableStripTextColor + "><b>" + f.strip +
                     "</b></font></td></tr><tr " + s.AltColumnColor1 + "><td colspan=2>" +
                     f.explanation + f.select + "</td></tr>";
  if (!signed_in) {
    html += IdentityRows(s, request, {.name = "你的用户名", .password = "你的密码"});
  }
  return html + "<tr " + s.AltColumnColor2 +
         "><td colspan=2 align=center><INPUT TYPE=HIDDEN NAME=action VALUE=" + f.action +
         "><INPUT TYPE=HIDDEN NAME=topic VALUE=" + std::to_string(p.id) +
         "><INPUT TYPE=HIDDEN NAME=archiveid VALUE=" + std::to_string(p.archive) +
         "><INPUT TYPE=SUBMIT NAME=Submit VALUE=这就发送 class=buttonface>&nbsp;"
         "<INPUT TYPE=RESET NAME=Reset VALUE=清除字段 class=buttonface></td></tr></table>" +
         s.TableBorderEnd + "</form></center>" + s.Copyright;
}

std::string ArchiveSelect(Connection& con) {
  const std::string pad = "&nbsp;&nbsp;&nbsp;&nbsp;";
  std::string html = "<select name=ArchiveSelect>";
  auto rs = con.Execute("select * from archive order by archiveid");
  if (rs->Eof()) return html + "<option value=0>目前没有档案被建立</select>";
  html += "<option value=0>请选择一个目标档案：";
  for (; !rs->Eof(); rs->MoveNext()) {
    html += "<option value=" + rs->Fields("archiveid").Str() + ">" +
            HtmlSafe(rs->Fields("ArchiveName").Str()) + pad;
  }
  return html + "</select>";
}

// Every forum the session may read, the topic's own forum selected.
std::string ForumSelect(Connection& con, const std::string& own_forum,
                        const std::function<bool(const std::string&)>& admitted) {
  std::vector<std::string> names;
  for (auto rs = con.Execute("select forumname from forum order by sequence"); !rs->Eof();
       rs->MoveNext()) {
    names.push_back(rs->Fields("forumname").Str());
  }
  std::string html = "<select name=RestoreToForum><option value=\"\">选一个目标论坛：";
  for (const std::string& name : names) {
    if (!admitted(name)) continue;
    html += std::string("<option value=\"") + HtmlSafe(name) + "\"" +
            (name == own_forum ? " selected" : "") + ">" + HtmlSafe(name);
  }
  return html + "</select>";
}

// The archive number an address or form names, 0 when none.
int32_t NamedArchive(const Variant& v) { return ToLong(v) ? v.CLng() : 0; }

}  // namespace

void Corkboard::TransferArchive() {
  std::unique_ptr<Connection> con;
  RunPage(
      [&] {
        RecordVisit("移动归档话题");
        const Settings& s = S();
        const Request& req = Request_();
        ActingMember who = ReadActingMember(Session_(), req);
        ArchivedFacts f{.number_ok = ToLong(req("topic")), .posted = IsPostRequest(req)};
        ArchivedPost post;
        int32_t target = 0;
        bool target_ok = false, already_there = false;
        if (f.number_ok) {
          con = OpenConnection_();
          post = LoadArchivedPost(*con, req("topic").CLng(), NamedArchive(req("archiveid")), f);
          if (f.posted && f.found && f.is_topic) {
            target = NamedArchive(req("ArchiveSelect"));
            const std::string number = std::to_string(target);
            target_ok =
                target != 0 &&
                !con->Execute("select archiveid from archive where archiveid=" + number)->Eof();
            already_there = target_ok && ArchiveHolding(*con, post.id, target) == target;
            f.role = GuardedRole(Application_(), Session_(), req, Now(), who, post.forum, *con);
          }
        }
        Enforce(DecideTransferArchive(f, target_ok, already_there), s.BBName, post.forum);

        if (!f.posted) {
          Response_() << WritePageHead(s, "移动归档话题 - " + s.BBName) << "<center>"
                      << ArchiveAndSubjectTop(s, Server_(), post)
                      << ChoiceFormText(
                             s, req, post, SignedIn(Session_()),
                             {.note = "注意：只有超级系统管理员, 版主才可以转移归档话题.",
                              .strip = "选择一个归档",
                              .select = ArchiveSelect(*con),
                              .action = "submittransfer"});
          return;
        }
        MoveArchivedThread(*con, post.id, post.archive, target);
        con->Close();
        Wait("主题：" + Server_().HTMLEncode(post.subject) + "移动完成",
             "archivelist.asp?archiveid=" + std::to_string(target), "贴子列表");
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(nullptr, con.get());
}

void Corkboard::DeleteArchive() {
  std::unique_ptr<Connection> con;
  RunPage(
      [&] {
        RecordVisit("删除话题");
        const Settings& s = S();
        const Request& req = Request_();
        ActingMember who = ReadActingMember(Session_(), req);
        ArchivedFacts f{.number_ok = ToLong(req("Topic")), .posted = IsPostRequest(req)};
        ArchivedPost post;
        if (f.number_ok) {
          con = OpenConnection_();
          post = LoadArchivedPost(*con, req("Topic").CLng(), NamedArchive(req("archiveid")), f);
          if (f.posted && f.found && f.is_topic) {
            f.role = GuardedRole(Application_(), Session_(), req, Now(), who, post.forum, *con);
          }
        }
        Enforce(DecideDeleteArchive(f), s.BBName, post.forum);

        const std::string subject = Server_().HTMLEncode(post.subject);
        // A GET only asks: the deletion itself always comes from the form.
        if (!f.posted) {
          Response_() << WritePageHead(s, "删除话题 - " + s.BBName) << "<center>"
                      << AuthorizeFormText(
                             s, req,
                             {.heading = "删除话题",
                              .hidden_fields = "<INPUT TYPE=HIDDEN NAME=action VALUE=deletearchive>"
                                               "<INPUT TYPE=HIDDEN NAME=topic VALUE=" +
                                               std::to_string(post.id) +
                                               "><INPUT TYPE=HIDDEN NAME=archiveid VALUE=" +
                                               std::to_string(post.archive) + ">",
                              .strip_text = "需要删除的话题: " + subject,
                              .signed_in = SignedIn(Session_())});
          return;
        }
        DeleteArchivedPost(*con, post.id, post.archive);
        con->Close();
        Wait("话题" + subject + "已经被删除",
             "archivelist.asp?archiveid=" + std::to_string(post.archive),
             HtmlSafe(post.archive_name) + "贴子列表");
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(nullptr, con.get());
}

void Corkboard::RestoreArchive() {
  std::unique_ptr<Connection> con;
  RunPage(
      [&] {
        RecordVisit("恢复归档话题");
        const Settings& s = S();
        const Request& req = Request_();
        ActingMember who = ReadActingMember(Session_(), req);
        ArchivedFacts f{.number_ok = ToLong(req("topic")), .posted = IsPostRequest(req)};
        ArchivedPost post;
        std::string target;
        bool target_ok = false, still_live = false;
        // A private forum is a destination only for a session it admits.
        auto admitted = [&](const std::string& forum) {
          const ForumCheck c = CheckForum(*con, forum);
          return !c || Admitted(c);
        };
        if (f.number_ok) {
          con = OpenConnection_();
          post = LoadArchivedPost(*con, req("topic").CLng(), NamedArchive(req("archiveid")), f);
          if (f.posted && f.found && f.is_topic) {
            // The forum under its stored name.
            auto rs = con->Execute("select forumname from forum where forumname='" +
                                   SqlQuote(req("RestoreToForum")) + "'");
            if (!rs->Eof()) target = rs->Fields("forumname").Str();
            rs->Close();
            target_ok = !target.empty() && admitted(target);
            f.role = GuardedRole(Application_(), Session_(), req, Now(), who, post.forum, *con);
            if (target_ok && f.role != role::kNotMember) {
              f.role = WeakerRole(f.role, CheckModerator(who.name, who.password, target, *con));
            }
            still_live = ArchivedThreadIsLive(*con, post.id, post.archive);
          }
        }
        Enforce(DecideRestoreArchive(f, target_ok, still_live), s.BBName, target);

        if (!f.posted) {
          Response_() << WritePageHead(s, "恢复归档话题 - " + s.BBName) << "<center>"
                      << ArchiveAndSubjectTop(s, Server_(), post)
                      << ChoiceFormText(
                             s, req, post, SignedIn(Session_()),
                             {.note = "注意：只有超级系统管理员, 版主才可以把归档话题恢复到论坛.",
                              .strip = "选择一个论坛",
                              .explanation =
                                  "话题和它的回复将以原来的编号、时间、作者和编辑记录回到论坛，"
                                  "并从档案中移除。<br>",
                              .select = ForumSelect(*con, post.forum, admitted),
                              .action = "submitrestore"});
          return;
        }
        RestoreArchivedThread(*con, post.id, post.archive, target);
        con->Close();
        Wait("主题：" + Server_().HTMLEncode(post.subject) + "已经恢复到论坛",
             "list.asp?groupname=" + Server_().URLEncode(target), HtmlSafe(target) + "贴子列表");
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(nullptr, con.get());
}

}  // namespace cb
