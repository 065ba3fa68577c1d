// misc.asp (Admin.DataMaintenance): the administrator recounts the forums' counters and last posts,
// the topics' reply counts and last replies, and the members' post counts and points from the
// posts themselves. Each part is a few statements over whole tables in one transaction: a board of
// any size is recounted in seconds, and a part that fails leaves its counters as they were.
#include <functional>
#include <memory>

#include "admin/admin.h"
#include "frame/procedures.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

constexpr const char* kNotAdministrator =
    "对不起，您没有执行这个操作的权限，只有管理员才可以执行该操作!";

// Topics and replies per forum; the newest post's author and time where the forum has posts.
void RecountForums(Connection& con) {
  con.Execute(
      "update forum set topiccount=(select count(*) from post where "
      "post.forumname=forum.forumname and post.parentid is null),replycount=(select count(*) "
      "from post where post.forumname=forum.forumname and post.parentid is not null)");
  con.Execute(
      "update forum set lastpostusername=(select top 1 username from post where "
      "post.forumname=forum.forumname order by posttime desc,postid desc),lastposttime=(select "
      "max(posttime) from post where post.forumname=forum.forumname) where exists (select postid "
      "from post where post.forumname=forum.forumname)");
  std::vector<std::string> forums;
  for (auto rs = con.Execute("select forumname from forum"); !rs->Eof(); rs->MoveNext()) {
    forums.push_back(rs->Fields(0).Str());
  }
  for (const std::string& forum : forums) RefreshForumMaster(con, forum);
}

// Replies per topic; the newest reply's author and time, or the topic's own without replies.
void RecountTopics(Connection& con) {
  con.Execute(
      "update post set replycount=(select count(*) from post r where r.parentid=post.postid),"
      "lastreplyusername=username,lastreplyposttime=posttime where parentid is null");
  con.Execute(
      "update post set lastreplyusername=(select top 1 r.username from post r where "
      "r.parentid=post.postid order by r.posttime desc,r.postid desc),lastreplyposttime=(select "
      "max(r.posttime) from post r where r.parentid=post.postid) where parentid is null and "
      "exists (select r.postid from post r where r.parentid=post.postid)");
}

// Posts per member; points: his posts outside the excluded forum plus the replies other members
// made to his topics there.
void RecountMembers(Connection& con, const std::string& excluded_forum) {
  std::string outside_own, outside_reply;
  if (!excluded_forum.empty()) {
    const std::string forum = SqlQuote(Variant(excluded_forum));
    outside_own = " and post.forumname<>'" + forum + "'";
    outside_reply = " and r.forumname<>'" + forum + "'";
  }
  con.Execute(
      "update register set postcount=(select count(*) from post where "
      "post.username=register.username),jf=(select count(*) from post where "
      "post.username=register.username" +
      outside_own +
      ")+(select count(*) from post r where r.parentid in (select t.postid from post t where "
      "t.username=register.username and t.parentid is null) and r.username<>register.username" +
      outside_reply + ")");
}

}  // namespace

void Admin::DataMaintenance() {
  std::unique_ptr<Connection> con;
  RunPage(
      [&] {
        WritePanelHead("数据维护");
        const Request& req = Request_();
        if (!EqualsNoCase(req.ServerVariables("REQUEST_METHOD").Str(), "POST")) {
          Response_() << "<center><h1>数据维护</h1><p>只有管理员可以执行此操作。</p><p><b>注意："
                         "</b>根据您的数据量大小，有时数据维护可能需要很长时间。同时也为了避免数据"
                         "冲突，请务必在空闲时进行该操作和耐心等待</p>"
                         "<FORM ACTION=misc.asp  NAME=Authorize METHOD=POST><table>"
                      << CredentialRows(13)
                      << "<tr><td><input type=checkbox name=foruminfo checked></td>"
                         "<td>版面信息维护</td></tr><tr><td><input type=checkbox name=topicinfo "
                         "checked></td><td>主题信息维护</td></tr><tr><td><input type=checkbox "
                         "name=userinfo checked></td><td>用户信息维护</td></tr><tr><td>"
                         "不计积分的论坛：</td><td><input type=text name=forumname size=25 "
                         "maxlength=50></td></tr></table><p><input type=submit value=进行数据维护>"
                         "</p></form></center>";
          return;
        }
        con = OpenConnection_();
        PanelCredentials who = PostedCredentials();
        if (!IsAdministrator(who.name, who.password, *con)) Refuse(kNotAdministrator);
        const std::pair<const char*, std::function<void()>> parts[] = {
            {"foruminfo", [&] { RecountForums(*con); }},
            {"topicinfo", [&] { RecountTopics(*con); }},
            {"userinfo", [&] { RecountMembers(*con, Trim(req.Form("forumname").Str())); }},
        };
        for (const auto& [box, recount] : parts) {
          if (req.Form(box).Str() != "on") continue;
          con->BeginTrans();
          recount();
          con->CommitTrans();
        }
        con->Execute("update register set url=null where url='http:///' or url='http://'");
        Response_() << "<br><br><center><h3>数据维护结束</h3></center>";
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(nullptr, con.get());
}

}  // namespace cb
