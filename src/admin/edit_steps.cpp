// edit.asp's steps on one topic or message: the thread with its messages, the rename, delete and
// message forms, and the steps that change posts (prune, rename, delete a topic, save or delete a
// message). A moderator acts only on posts of his forums; each change is one transaction.
#include <memory>

#include "admin/admin.h"
#include "frame/procedures.h"
#include "markup/markup.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

constexpr const char* kNotAllowed = "对不起，您不能进行该操作！";

// The forum of a post, or nothing when the post is gone.
std::optional<std::string> ForumOfPost(Connection& con, int32_t postid) {
  auto rs = con.Execute("select forumname from post where postid=" + std::to_string(postid));
  if (rs->Eof()) return std::nullopt;
  return rs->Fields(0).Str();
}

}  // namespace

void Admin::Edit_GetEditThreads(Connection& con, int32_t& Topic) {
  const std::string topic = std::to_string(Topic);
  auto rs = con.Execute("select * from post where postid=" + topic + " or parentid=" + topic +
                        " order by postid");
  if (rs->Eof()) Refuse("对不起，该主题不存在！");
  if (!rs->Fields("parentid").IsNull()) Refuse("对不起，你选择的不是主题！");
  RequireForum(rs->Fields("forumname").Str(), "对不起，你没有该权限！");

  const Server& server = Server_();
  Response& out = Response_();
  out << "<center><h1>编 辑 消 息</h1><form action=edit.asp method=post><p>帖子主题："
      << server.HTMLEncode(rs->Fields("subject").Str())
      << "</p><p><INPUT TYPE=CHECKBOX NAME=EditSubject VALUE=yes>选中这里编辑主题。<br>"
         "<INPUT TYPE=CHECKBOX NAME=DeleteThread VALUE=yes>选中这里删除整个帖子。<br>"
         "否则，在下面选择编辑/删除消息。</p><table border=1 cellspacing=0 cellpadding=3 width="
      << S().TableWidth << ">";
  for (; !rs->Eof(); rs->MoveNext()) {
    out << "<tr><td valign=top><INPUT TYPE=RADIO NAME=EditMessageNumber VALUE="
        << rs->Fields("postid").Str() << " SELECTED></td><td><b>"
        << server.HTMLEncode(rs->Fields("username").Str()) << "</b> 发表于 "
        << rs->Fields("posttime").Str() << "<hr>"
        << ToHtml(server.HTMLEncode(rs->Fields("message").Str())) << "</td></tr>";
  }
  out << "</table><input type=hidden name=action value='GetExactEditMessage'><input type=hidden "
         "name=topic value="
      << topic << "><p><input type=submit value='调 出 要 编 辑 的 消 息'></p></form></center>";
}

TopicHead Admin::RequestedTopic(Connection& con) {
  const std::string topic = std::to_string(Request_()("topic").CLng());
  auto rs = con.Execute("select subject,postid,forumname from post where postid=" + topic +
                        " and parentid is null");
  if (rs->Eof()) Refuse("该主题已经不存在！");
  TopicHead head{topic, rs->Fields("subject").Str(), rs->Fields("forumname").Str()};
  RequireForum(head.forum, "对不起，你没有该权限！");
  return head;
}

void Admin::Edit_EditSubject(Connection& con) {
  const TopicHead head = RequestedTopic(con);
  const std::string& topic = head.postid;
  Response_() << "<center><form action=edit.asp method=post><p>编辑主题，再次输入你的用户名和"
                 "密码，然后按发送按钮。</p><p>主题：<INPUT TYPE=TEXT NAME=NewSubject SIZE=40 "
                 "MAXLENGTH=120 VALUE=\""
              << Server_().HTMLEncode(head.subject) << "\"></p><table>" << CredentialRows(15)
              << "</table><input type=hidden name=topic value=" << topic
              << "><input type=hidden name=action value=submitEditSubject><input type=submit "
                 "value='完 成 主 题 编 辑'></form></center>";
}

void Admin::Edit_DeleteThread(Connection& con) {
  const TopicHead head = RequestedTopic(con);
  const std::string& topic = head.postid;
  Response_() << "<center><form action=edit.asp method=post><p>删除主题，再次输入你的用户名和"
                 "密码，然后按发送按钮。<br>话题主题: "
              << Server_().HTMLEncode(head.subject) << "</p><table>" << CredentialRows(15)
              << "</table><input type=hidden name=topic value=" << topic
              << "><input type=hidden name=action value=doDeleteThread><input type=submit "
                 "value='删除整个话题'></form></center>";
}

void Admin::Edit_EditPost(Connection& con, int32_t& Topic) {
  auto rs = con.Execute("select * from post where postid=" + std::to_string(Topic));
  if (rs->Eof()) Refuse("对不起，该贴子已经不存在！");
  RequireForum(rs->Fields("forumname").Str(), "对不起，你没有该权限！");
  const Server& server = Server_();
  const std::string message = server.HTMLEncode(rs->Fields("message").Str());
  Response& out = Response_();
  out << "<center><form action=edit.asp method=post><p>编辑消息，再次输入你的用户名和密码，"
         "然后按发送按钮。</p><p><INPUT TYPE=CHECKBOX NAME=DeleteMessage VALUE=yes>"
         "要删除消息，选中此框。</p>";
  if (rs->Fields("parentid").IsNull()) {
    out << "<p><font color=red>警告：这个消息同时也是话题。如果你删除了这个。所有的回复也将被"
           "删除！！</font></p>";
  }
  out << "<table border=1 cellspacing=0 cellpadding=3 width=" << S().TableWidth << "><tr><td><b>"
      << server.HTMLEncode(rs->Fields("username").Str()) << "</b> 发表于 "
      << rs->Fields("posttime").Str() << "</td></tr><tr><td>" << message
      << "</td></tr></table><p><TEXTAREA NAME=MessageText ROWS=10 COLS=80>" << message
      << "</TEXTAREA></p><table>" << CredentialRows(15)
      << "</table><input type=hidden name=MessageNumber value=" << std::to_string(Topic)
      << "><input type=hidden name=action value=DoMessageEdit><input type=submit value='完 成 "
         "消 息 编 辑'></form></center>";
}

void Admin::Edit_SubmitPrune(Connection& con) {
  PanelCredentials who = PostedCredentials();
  std::string forum_list;
  if (!isAdminOrModerater(who.name, who.password, con, forum_list)) {
    Refuse("对不起，你不能进行该操作！");
  }
  // Every ticked topic is checked before the first one goes.
  const ValueCollection& form = Request_().form();
  std::vector<int32_t> topics;
  for (int i = 1; i <= form.Count("delete"); ++i) {
    const Variant value = form.Item("delete", i);
    if (!ToLong(value)) Refuse("参数错误");
    const int32_t postid = value.CLng();
    const std::optional<std::string> forum = ForumOfPost(con, postid);
    if (!forum) continue;
    RequireForum(*forum, "对不起，你不能进行该操作！");
    topics.push_back(postid);
  }
  con.BeginTrans();
  for (int32_t postid : topics) {
    const std::string id = std::to_string(postid);
    con.Execute("delete from post where postid=" + id + " or parentid=" + id);
  }
  con.CommitTrans();
  Response_() << "<br><br><center><p><h3>贴子删除完毕，重新进入<a href=edit.asp>编辑和删除贴子"
                 "功能</a></h3></p></center>";
}

void Admin::Edit_SubmitEditSubject(Connection& con) {
  const Request& req = Request_();
  const std::string subject = req.Form("newsubject").Str();
  PanelCredentials who = PostedCredentials();
  if (subject.empty() || who.name.empty() || who.password.empty()) {
    Refuse("用户名，口令或主题均不能为空！");
  }
  std::string forum_list;
  if (!isAdminOrModerater(who.name, who.password, con, forum_list)) Refuse(kNotAllowed);
  const int32_t topic = req("topic").CLng();
  const std::optional<std::string> forum = ForumOfPost(con, topic);
  if (forum) RequireForum(*forum, kNotAllowed);
  const std::string id = std::to_string(topic);
  con.Execute("update post set subject='" + SqlQuote(subject) + "' where postid=" + id +
              " or parentid=" + id);
  Response_() << "<br><br><center><p><h3>主题更新完毕，重新进入<a href=edit.asp>编辑和删除贴子"
                 "功能</a></h3></p></center>";
}

void Admin::Edit_DoDeleteThread(Connection& con) {
  PanelCredentials who = PostedCredentials();
  if (who.name.empty() || who.password.empty()) Refuse("用户名，口令均不能为空！");
  std::string forum_list;
  if (!isAdminOrModerater(who.name, who.password, con, forum_list)) Refuse(kNotAllowed);
  const int32_t topic = Request_()("topic").CLng();
  const std::optional<std::string> forum = ForumOfPost(con, topic);
  if (forum) RequireForum(*forum, kNotAllowed);
  const std::string id = std::to_string(topic);
  con.BeginTrans();
  con.Execute("delete from post where postid=" + id + " or parentid=" + id);
  con.CommitTrans();
  Response_() << "<br><br><center><p><h3>主题删除完毕，重新进入<a href=edit.asp>编辑和删除贴子"
                 "功能</a></h3></p></center>";
}

void Admin::Edit_DoMeassageEdit() {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunPage(
      [&] {
        const Request& req = Request_();
        const Variant number = req.Form("MessageNumber");
        const std::string text = req.Form("Messagetext").Str();
        PanelCredentials who = PostedCredentials();
        if (const char* refusal = FirstRefusal({
                {!ToLong(number), "参数错误"},
                {Trim(text).empty(), "贴子内容不能为空！"},
            })) {
          Refuse(refusal);
        }
        con = OpenConnection_();
        std::string forum_list;
        if (!isAdminOrModerater(who.name, who.password, *con, forum_list)) Refuse(kNotAllowed);
        const std::string id = std::to_string(number.CLng());
        rs = std::make_unique<Recordset>();
        rs->Open("select * from post where postid=" + id, *con, adOpenStatic, adLockOptimistic);
        if (rs->Eof()) Refuse("数据库中找不到该记录！");
        RequireForum(rs->Fields("forumname").Str(), kNotAllowed);

        con->BeginTrans();
        if (req.Form("deletemessage").Str() == "yes") {
          con->Execute("delete from post where  parentid=" + id);
          rs->Delete();
        } else {
          rs->Set("message", Variant(text));
          rs->Set("EditHistory",
                  Variant(rs->Fields("EditHistory").Str() + "[这消息被" + who.name +
                          "编辑过(编辑时间" + FormatPostTime(S(), Variant(Now())) + ")]<br>"));
          rs->Update();
        }
        rs->Close();
        con->CommitTrans();
        WritePanelHead("编辑和删除贴子");
        Response_() << "<br><center><p><h3>贴子编辑结束！重新进入<a href=edit.asp>编辑/删除贴子"
                       "</a>功能</h3></p></center>";
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(rs.get(), con.get());
}

}  // namespace cb
