// edit.asp (Admin.Edit): the dispatch, the start form, the three forum-choice forms and the topic
// lists for editing and pruning. Every step checks the administrator or moderator again; a
// moderator sees and touches only the forums he moderates.
#include <memory>

#include "admin/admin.h"
#include "frame/procedures.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

constexpr const char* kNoRight = "对不起，你没有执行该操作的权限";

// The topics of a forum as the editing and pruning lists show them.
struct TopicRow {
  std::string postid;
  std::string subject;
  std::string author;
  std::string replies;
  std::string last;  // yyyy-mm-dd
};

std::vector<TopicRow> ReadTopics(Connection& con, const std::string& sql) {
  std::vector<TopicRow> rows;
  for (auto rs = con.Execute(sql); !rs->Eof(); rs->MoveNext()) {
    const Variant last = rs->Fields("lastreplyposttime");
    rows.push_back({rs->Fields("postid").Str(), rs->Fields("subject").Str(),
                    rs->Fields("username").Str(), rs->Fields("replycount").Str(),
                    last.IsNull() ? std::string() : last.CDate().Ymd()});
  }
  return rows;
}

// The topics of the chosen forum posted since DaysPrune days ago, newest activity first.
std::string RecentTopicsSql(const std::string& forum, const DateTime& start) {
  return "select subject,postid,lastreplyposttime,username,replycount  from post where "
         "forumname='" +
         SqlQuote(forum) + "' and posttime>='" + start.YmdHms() +
         "' and parentid is null order by lastreplyposttime desc";
}

std::string TopicTable(const Server& server, const std::vector<TopicRow>& rows, bool pruning) {
  std::string out =
      "<table border=1 cellspacing=0 cellpadding=3><tr><td>主题</td><td>原作者</td><td>回复</td>"
      "<td>最后发表日期</td>";
  out += pruning ? "<td>删除？</td></tr>" : "</tr>";
  if (rows.empty()) out += "<tr><td colspan=5>没有找到话题</td></tr>";
  for (const TopicRow& r : rows) {
    out += "<tr><td>";
    if (pruning) {
      out += server.HTMLEncode(r.subject);
    } else {
      out += "<a href=edit.asp?action=GetEditthreads&Topic=" + r.postid + ">" +
             server.HTMLEncode(r.subject) + "</a>";
    }
    out += "</td><td>" + server.HTMLEncode(r.author) + "</td><td>" + r.replies + "</td><td>" +
           r.last + "</td>";
    if (pruning) {
      out += "<td><input type=checkbox name=Delete value=" + r.postid + " checked></td>";
    }
    out += "</tr>";
  }
  return out + "</table>";
}

}  // namespace

void Admin::Edit() {
  const std::string action = ToLower(Request_()("action").Str());
  // Saving a message has its own error handler and connection.
  if (action == "domessageedit") {
    Edit_DoMeassageEdit();
    return;
  }
  std::unique_ptr<Connection> con;
  RunPage(
      [&] {
        WritePanelHead("编辑和删除贴子");
        const bool posted = action == "editfunction" || action == "submitprune" ||
                            action == "submiteditsubject" || action == "dodeletethread";
        const bool from_session = action == "admineditthisforum" || action == "geteditthreads" ||
                                  action == "getexacteditmessage" || action == "prunebydate" ||
                                  action == "prunebyuser";
        if (!posted && !from_session) {
          Response_() << "<center><h1>编 辑 和 删 除 帖 子</h1><B><FONT COLOR=#800000>注意：只有"
                         "超级管理员和版主才可以编辑或删除消息。版主只能在他们自己的论坛中改变"
                         "消息。在下面认证你的身份。</font></B></center>"
                         "<center><FORM ACTION=edit.asp METHOD=POST NAME=THEFORM ><table>"
                      << CredentialRows(15)
                      << "</table><p><INPUT TYPE=RADIO NAME=EditFunction VALUE=Prune CHECKED>"
                         "根据日期删除：<br><INPUT TYPE=RADIO NAME=EditFunction VALUE=PruneUser>"
                         "根据用户删除：<INPUT TYPE=TEXT NAME=DeleteName SIZE=20 MAXLENGTH=25>"
                         "<br><INPUT TYPE=RADIO NAME=EditFunction VALUE=Edit>编辑/删除消息："
                         "</p><input type=hidden name=action value='EditFunction'><input "
                         "type=submit value='完 成 选 择'></form></center>";
          return;
        }
        con = OpenConnection_();
        if (action == "submitprune") {
          Edit_SubmitPrune(*con);
          return;
        }
        if (action == "submiteditsubject") {
          Edit_SubmitEditSubject(*con);
          return;
        }
        if (action == "dodeletethread") {
          Edit_DoDeleteThread(*con);
          return;
        }
        PanelCredentials who = posted ? PostedCredentials() : SessionCredentials();
        std::string forum_list;
        if (!isAdminOrModerater(who.name, who.password, *con, forum_list)) Refuse(kNoRight);
        const Request& req = Request_();
        if (action == "editfunction") {
          const std::string function = ToLower(req("Editfunction").Str());
          if (function == "prune") {
            Edit_Prune();
          } else if (function == "pruneuser") {
            if (req("deletename").Str().empty()) Refuse("您没有输入要删除的用户名!");
            edit_prunesuer(*con);
          } else {
            Edit_Edit();
          }
        } else if (action == "admineditthisforum") {
          Edit_AdminEditThisForum(*con);
        } else if (action == "geteditthreads") {
          int32_t topic = req("topic").CLng();
          Edit_GetEditThreads(*con, topic);
        } else if (action == "getexacteditmessage") {
          if (req("editsubject").Str() == "yes") {
            Edit_EditSubject(*con);
          } else if (req("deletethread").Str() == "yes") {
            Edit_DeleteThread(*con);
          } else {
            int32_t number = req("editMessageNumber").CLng();
            Edit_EditPost(*con, number);
          }
        } else {
          std::string style = action;
          Edit_DeletePost(*con, style);
        }
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(nullptr, con.get());
}

void Admin::RequireForum(const std::string& forum, const Variant& refusal) {
  if (!panel_.administrator && !panel_.Manages(forum)) Refuse(refusal);
}

std::string Admin::ForumSelect() const {
  std::string out = "<SELECT NAME=ForumName>";
  for (const std::string& f : panel_.forums) {
    out += "<OPTION VALUE=\"" + Server_().HTMLEncode(f) + "\">" + Server_().HTMLEncode(f);
  }
  return out + "</SELECT>";
}

void Admin::Edit_Edit() {
  Response_() << "<center><h1>编 辑 论 坛 贴 子</h1><FORM ACTION='edit.asp' METHOD='POST'>"
                 "<p>选择论坛："
              << ForumSelect()
              << "</p><p>列出最近 <INPUT TYPE=TEXT NAME=DaysPrune VALUE=60 SIZE=3 MAXLENGTH=3> "
                 "天。</p><input type=hidden name=action value='AdminEditThisForum'><input "
                 "type=submit value='发 送 论 坛 选 择'></form></center>";
}

void Admin::Edit_Prune() {
  Response_() << "<center><h1>删 除 论 坛 贴 子</h1><FORM ACTION='edit.asp' METHOD='POST'>"
                 "<p>选择论坛："
              << ForumSelect()
              << "</p><p>列出最近 <INPUT TYPE=TEXT NAME=DaysPrune VALUE=60 SIZE=3 MAXLENGTH=3> "
                 "天。</p><input type=hidden name=action value='PrunebyDate'><input "
                 "type=submit value='发 送 论 坛 选 择'></form></center>";
}

void Admin::edit_prunesuer(Connection& con) {
  std::vector<std::string> names;
  for (auto rs = con.Execute("select username from register where username like '%" +
                             SqlQuote(Request_()("deletename")) + "%'");
       !rs->Eof(); rs->MoveNext()) {
    names.push_back(rs->Fields(0).Str());
  }
  if (names.empty()) Refuse("没有发现与之相匹配的用户！");
  Response_() << "<center><h1>删 除 论 坛 贴 子</h1><FORM ACTION='edit.asp' METHOD='POST'>"
                 "<p>选择论坛："
              << ForumSelect() << "</p><p>选择用户：<SELECT NAME=MatchUser>";
  for (const std::string& name : names) {
    Response_() << "<OPTION VALUE=\"" << Server_().HTMLEncode(name) << "\">"
                << Server_().HTMLEncode(name);
  }
  Response_() << "</SELECT></p><input type=hidden name=action value='PruneByUser'><input "
                 "type=submit value='发 送 论 坛 选 择'></form></center>";
}

void Admin::Edit_AdminEditThisForum(Connection& con) {
  const std::string forum = Request_()("ForumName").Str();
  RequireForum(forum, kNoRight);
  const int32_t days = Request_()("DaysPrune").CLng();
  const std::vector<TopicRow> rows = ReadTopics(con, RecentTopicsSql(forum, Now().AddDays(-days)));
  Response_() << "<center><h1>编 辑 消 息</h1><p>" << Server_().HTMLEncode(forum) << "</p>"
              << TopicTable(Server_(), rows, false) << "</center>";
}

void Admin::Edit_DeletePost(Connection& con, std::string& PruneStyle) {
  const Request& req = Request_();
  const std::string forum = req("ForumName").Str();
  RequireForum(forum, kNoRight);
  std::string sql;
  if (PruneStyle == "prunebydate") {
    sql = RecentTopicsSql(forum, Now().AddDays(-req("DaysPrune").CLng()));
  } else {
    sql =
        "select subject,postid,lastreplyposttime,username,replycount  from post where "
        "forumname='" +
        SqlQuote(forum) + "'  and username='" + SqlQuote(req("MatchUser")) +
        "' and parentid is null order by lastreplyposttime  desc";
  }
  const std::vector<TopicRow> rows = ReadTopics(con, sql);
  Response_() << "<center><h1>删 除 消 息</h1><p>如果不想删除某个辩论，则不要选右边的框。</p>"
                 "<form action=edit.asp method=post>"
              << TopicTable(Server_(), rows, true)
              << "<p>基于安全因素，请再输入你的用户名和密码：</p><table>" << CredentialRows(15)
              << "</table><input type=hidden name=action value='SubmitPrune'><input type=submit "
                 "value='删 除 '></form></center>";
}

}  // namespace cb
