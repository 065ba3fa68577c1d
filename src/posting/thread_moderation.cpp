// Thread moderation from the thread view's tools: closing and reopening a topic (CloseThread),
// moving it to another forum or copying it into an archive (Transfer), and showing one post's raw
// text for copying (CopyPost). Rights are those of the topic's own forum, read from its row.
#include <functional>
#include <memory>
#include <vector>

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

// "CBK": the forum and the subject (markup-safe already) beside the logo; "CLUB": ClubPageTop.
std::string ForumAndSubjectTop(const Settings& s, const std::string& forum,
                               const std::string& subject) {
  if (s.BBSTYLE == "CBK") {
    return "<table border=0 width=" + s.TableWidth + "><tr><td>" + s.Logo +
           "</td><td><p><B>论坛: <FONT COLOR=#2f2f4f>" + forum +
           "</FONT><BR>话题: <FONT "
           "COLOR=#2f2f4f>" +
           subject + "</FONT></B></p></td></tr></table>";
  }
  if (s.BBSTYLE == "CLUB") return ClubPageTop(s);
  return "";
}

// The forums a topic may move to: every other forum, a private one only for a session it admits.
std::string ForumChoices(Connection& con, const std::string& own_forum,
                         const std::function<bool(const std::string&)>& admitted) {
  std::vector<std::string> names;
  auto rs = con.Execute("select * from Forum where Forumname<>'" + SqlQuote(Variant(own_forum)) +
                        "' order by rowid");
  for (; !rs->Eof(); rs->MoveNext()) names.push_back(rs->Fields("ForumName").Str());
  rs->Close();
  std::string html = "<select name=TransferToForumNum><option value=\"\">选一个转换的目标论坛：";
  for (const std::string& name : names) {
    if (admitted(name)) html += "<option value=\"" + HtmlSafe(name) + "\">" + HtmlSafe(name);
  }
  return html + "</select>";
}

std::string ArchiveChoices(Connection& con) {
  std::string html = "<select name=ArchiveSelect>";
  auto rs = con.Execute("select * from archive order by archiveid");
  if (rs->Eof()) return html + "<option value=0>目前没有档案被建立</select>";
  html += "<option value=0>请选择一个目标档案：";
  for (; !rs->Eof(); rs->MoveNext()) {
    html += "<option value=" + rs->Fields("archiveid").Str() + ">" +
            HtmlSafe(rs->Fields("ArchiveName").Str());
  }
  return html + "</select>";
}

// The move and archive form, from the top to the footer.
std::string TransferForm(const Settings& s, const Request& request, Connection& con,
                         const TopicRow& topic, bool signed_in,
                         const std::function<bool(const std::string&)>& admitted) {
  const std::string strip_font = "<font color=" + s.TableStripTextColor + ">";
  std::string html = ForumAndSubjectTop(s, HtmlSafe(topic.forum), topic.subject) +
                     "<FORM ACTION=archive.asp NAME=REPLIER METHOD=POST>"
                     "<B>注意：只有超级系统管理员, 版主才可以转移或将话题归档.</B>" +
                     s.TableBorderStart +
                     "<table cellpadding=4 cellspacing=1 border=0 width=" + s.InnerTableWidth +
                     "><tr " + s.TableColorStrip + "><td colspan=3>" + strip_font +
                     "<b>选择一个（转换或归档）</b></font></td></tr>";
  html +=
      "<tr " + s.AltColumnColor1 +
      "><td valign=top><INPUT TYPE=RADIO NAME=Option VALUE=Transfer CHECKED></td>"
      "<td valign=top><b>转换话题到此论坛：</b><br>注意：你有一个在话题被转换到别的论坛后是否在现有"
      "论坛删除的选项，你也可以在现有论坛中保留（它将在现有论坛成为关闭话题）。</td><td "
      "valign=top><INPUT TYPE=RADIO NAME=TransferChoiceOption VALUE=Keep CHECKED>"
      "转换后在现有论坛保留此话题。话题将在现有论坛中被关闭。<br>"
      "<INPUT TYPE=RADIO NAME=TransferChoiceOption VALUE=Delete>转换后在现有论坛删除此话题。<br>" +
      ForumChoices(con, topic.forum, admitted) + "</td></tr>";
  html +=
      "<tr " + s.AltColumnColor2 +
      "><td valign=top><INPUT TYPE=RADIO NAME=Option VALUE=Archive></td>"
      "<td valign=top><b>把话题归到这个档案: </b><br>注意: 话题将被移动到一个只读的档案中并且也可以"
      "在现有论坛中删除或者保留 (下面, 选择在归档后从论坛删除话题, "
      "当然你也可以希望让话题存活在论坛中.)</td><td valign=top>"
      "<INPUT TYPE=RADIO NAME=ArchiveChoiceOption VALUE=Keep CHECKED>"
      "归档后在现有论坛保留此话题.<br>"
      "<INPUT TYPE=RADIO NAME=ArchiveChoiceOption VALUE=Delete>归档后在现有论坛删除此话题.<br>" +
      ArchiveChoices(con) + "</td></tr>";
  if (!signed_in) {
    html += IdentityRows(
        s, request, {.name = "你的用户名", .password = "你的密码", .label_cell = " colspan=2"});
  }
  return html + "<tr " + s.AltColumnColor1 +
         "><td colspan=3 align=center><INPUT TYPE=HIDDEN NAME=action VALUE=submittransfer>"
         "<INPUT TYPE=HIDDEN NAME=topic VALUE=" +
         std::to_string(topic.id) +
         "><INPUT TYPE=SUBMIT NAME=Submit VALUE=这就发送 class=buttonface>&nbsp;"
         "<INPUT TYPE=RESET NAME=Reset VALUE=清除字段 class=buttonface></td></tr></table>" +
         s.TableBorderEnd + "</form></center>" + s.Copyright;
}

}  // namespace

void Corkboard::CloseThread() {
  std::unique_ptr<Connection> con;
  RunPage(
      [&] {
        std::string listed;
        UpdateOnline(Request_().ServerVariables("Remote_addr").Str(), "关闭/打开话题", listed);
        const Settings& s = S();
        const Request& req = Request_();
        const std::string title = "关闭主题 - " + s.BBName;
        const std::string action = ToLower(req("action").Str());
        const bool action_ok =
            action == "closethread" || action == "openthread" || action == "processclose";
        const bool posted = IsPostRequest(req);
        const std::string which = req("Which").Str();
        ActingMember who = ReadActingMember(Session_(), req);
        PostFacts f;
        f.number_ok = ToLong(req("Topic"));
        TopicRow topic;
        if (action_ok && f.number_ok) {
          con = OpenConnection_();
          topic = LoadTopic(*this, *con, Server_(), req("Topic").CLng(), f);
          if (posted && f.found && f.admitted) {
            f.role = GuardedRole(Application_(), Session_(), req, Now(), who, topic.forum, *con);
          }
        }
        Enforce(DecideCloseThread(f, action_ok, posted, which), title, topic.forum);

        const std::string id = std::to_string(topic.id);
        if (!posted) {
          const bool closing = action == "closethread";
          Response_()
              << WritePageHead(s, title) << "<center>"
              << AuthorizeFormText(
                     s, req,
                     {.heading = closing ? "关 闭 主 题 " : "开 放 主 题 ",
                      .hidden_fields = "<INPUT TYPE=HIDDEN NAME=action VALUE=processclose>"
                                       "<INPUT TYPE=HIDDEN NAME=which VALUE=" +
                                       std::string(closing ? "close" : "open") +
                                       "><INPUT TYPE=HIDDEN NAME=topic VALUE=" + id +
                                       "><INPUT TYPE=HIDDEN NAME=TopicSubject VALUE=\"" +
                                       topic.subject + "\"><INPUT TYPE=HIDDEN NAME=forum VALUE=\"" +
                                       HtmlSafe(topic.forum) + "\">",
                      .strip_text =
                          (closing ? "需要关闭的主题: " : "需要重新开放的主题: ") + topic.subject,
                      .signed_in = SignedIn(Session_())});
          return;
        }
        con->Execute("update post set status='" + SqlQuote(Variant(which)) +
                     "' where postid=" + id);
        con->Close();
        Wait(which == "close" ? "主题" + topic.subject + "已经被关闭，将不再接受任何回复"
                              : "主题" + topic.subject + "已经被重新开放以继续接受回复",
             "list.asp?groupname=" + Server_().URLEncode(topic.forum),
             HtmlSafe(topic.forum) + "贴子列表");
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(nullptr, con.get());
}

void Corkboard::Transfer() {
  std::unique_ptr<Connection> con;
  RunPage(
      [&] {
        std::string listed;
        UpdateOnline(Request_().ServerVariables("Remote_addr").Str(), "移动/归档", listed);
        const Settings& s = S();
        const Request& req = Request_();
        const std::string title = std::string("移动/归档") + " - " + s.BBName;
        ActingMember who = ReadActingMember(Session_(), req);
        PostFacts f;
        f.number_ok = ToLong(req("topic"));
        TransferRequest t{.posted = IsPostRequest(req),
                          .archive = ToLower(req("option").Str()) == "archive"};
        TopicRow topic;
        std::string target;
        int32_t archive = 0;
        // A private forum is a destination only for a session it admits, as it is a place to read.
        auto admitted = [&](const std::string& forum) {
          const ForumCheck c = CheckForum(*con, forum);
          return !c || Admitted(c);
        };
        // Only a ticked "Delete" removes the source thread: a missing choice keeps it.
        const bool keep =
            ToLower(req(t.archive ? "ArchiveChoiceOption" : "TransferChoiceOption").Str()) !=
            "delete";
        if (f.number_ok) {
          con = OpenConnection_();
          topic = LoadTopic(*this, *con, Server_(), req("topic").CLng(), f);
          if (t.posted && f.found && f.is_topic && f.admitted) {
            const std::string id = std::to_string(topic.id);
            if (t.archive) {
              const Variant chosen = req("ArchiveSelect");
              if (ToLong(chosen)) {
                archive = chosen.CLng();
                const std::string number = std::to_string(archive);
                t.destination_ok =
                    !con->Execute("select archiveid from archive where archiveid=" + number)->Eof();
                t.already_archived =
                    !con->Execute("select postid from archivelist where postid=" + id +
                                  " and archiveid=" + number)
                         ->Eof();
              }
            } else {
              // An existing forum other than the topic's own, under its stored name.
              auto rs = con->Execute("select forumname from forum where forumname='" +
                                     SqlQuote(req("TransfertoforumNum")) + "' and forumname<>'" +
                                     SqlQuote(Variant(topic.forum)) + "'");
              if (!rs->Eof()) target = rs->Fields("forumname").Str();
              t.destination_ok = !target.empty() && admitted(target);
            }
            f.role = GuardedRole(Application_(), Session_(), req, Now(), who, topic.forum, *con);
          }
        }
        Enforce(DecideTransfer(f, t), title, topic.forum);

        if (!t.posted) {
          Response_() << WritePageHead(s, title) << "<center>"
                      << TransferForm(s, req, *con, topic, SignedIn(Session_()), admitted);
          return;
        }
        if (t.archive) {
          ArchiveThread(*con, topic.id, archive, !keep);
        } else {
          MoveThread(*con, topic.id, target, keep);
        }
        con->Close();
        Wait("主题：" + topic.subject + "移动完成",
             "list.asp?groupname=" + Server_().URLEncode(topic.forum),
             HtmlSafe(topic.forum) + "贴子列表");
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(nullptr, con.get());
}

void Corkboard::CopyPost() {
  std::unique_ptr<Connection> con;
  RunPage(
      [&] {
        std::string listed;
        UpdateOnline(Request_().ServerVariables("Remote_addr").Str(), "复制主题", listed);
        const Settings& s = S();
        const Request& req = Request_();
        const std::string title = "复制主题 - " + s.BBName;
        PostFacts f;
        f.number_ok = ToLong(req("topic"));
        std::string forum, subject, message;
        if (f.number_ok) {
          con = OpenConnection_();
          auto rs = con->Execute("select * from post where postid=" +
                                 std::to_string(req("topic").CLng()));
          f.found = !rs->Eof();
          if (f.found) {
            forum = rs->Fields("forumname").Str();
            subject = rs->Fields("subject").Str();
            message = rs->Fields("message").Str();
            const ForumCheck c = CheckForum(*con, forum);
            f.admitted = !c || Admitted(c);
          }
          con->Close();
        }
        Enforce(DecideCopyPost(f), title, forum);

        const Server& server = Server_();
        const std::string strip_font = "<font color=" + s.TableStripTextColor + ">";
        Response_()
            << WritePageHead(s, title) << "<center>"
            << ForumAndSubjectTop(s, HtmlSafe(forum), server.HTMLEncode(subject))
            << "<table cellspacing=1 cellpadding=4 border=0 width=" << s.TableWidth << "><tr "
            << s.TableColorStrip << "><td>" << strip_font << "<b>怎样复制</b></font></td><td>"
            << strip_font
            << "按“选择全部”按钮，或者用鼠标、键盘选中下面的内容，然后按 Ctrl+C（苹果电脑按 "
               "Apple+C）复制。</font></td></tr><tr "
            << s.AltColumnColor1
            << "><td valign=top><b>复制内容</b></td><td><form name=CopyForm>"
               "<input type=button value=选择全部 class=buttonface "
               "onclick=\"document.CopyForm.CopyMessage.focus();"
               "document.CopyForm.CopyMessage.select()\"><br>"
               "<textarea name=CopyMessage rows=18 cols=100 wrap=soft>"
            << server.HTMLEncode(message) << "</textarea></form></td></tr></table></center>"
            << s.Copyright;
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(nullptr, con.get());
}

}  // namespace cb
