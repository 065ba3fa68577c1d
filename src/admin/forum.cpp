// forum.asp (Admin.Forum): the administrator's sign-in, the forum summary with its sort and display
// order, and the dispatch to the add and edit steps (forum_edit.cpp). Every step checks that the
// one who sends it is an administrator.
#include <memory>

#include "admin/admin.h"
#include "admin/forum_rules.h"
#include "frame/procedures.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

constexpr const char* kForumTitle = "论 坛 设 置";

struct SortChoice {
  const char* value;
  const char* key;
  const char* label;
};
constexpr SortChoice kSortChoices[] = {
    {"Category", "category", "按类别次序"},
    {"Number", "number", "按论坛数字排序"},
    {"Alpha", "alpha", "按字母排序"},
    {"PostCount", "postcount", "按贴子数排序"},
};

struct SummaryRow {
  std::string name;
  std::string sequence;
  long posts = 0;
  std::string catalog;
};

std::string SortForm(std::string_view sortby) {
  bool known = false;
  for (const SortChoice& c : kSortChoices) known = known || sortby == c.key;
  const std::string_view current = known ? sortby : "number";
  std::string out =
      "<form action=forum.asp method=get><input type=hidden name=action value=order>"
      "<select name=sortby>";
  for (const SortChoice& c : kSortChoices) {
    out +=
        std::string("<option value=") + c.value + (current == c.key ? " selected>" : ">") + c.label;
  }
  return out + "</select> <input type=submit value=排序></form>";
}

}  // namespace

void Admin::Forum() {
  std::unique_ptr<Connection> con;
  RunPage(
      [&] {
        const std::string action = ToLower(Request_()("action").Str());
        WritePanelHead(kForumTitle);
        if (action == "login" || action == "order" || action == "setforums" ||
            action == "addforums" || action == "addnewforum" || action == "getforum" ||
            action == "submitedit") {
          con = OpenConnection_();
        }
        if (action == "login") {
          Forum_Summary(*con, PostedCredentials());
        } else if (action == "order") {
          Forum_Summary(*con, SessionCredentials());
        } else if (action == "setforums") {
          Forum_SetForums(*con);
        } else if (action == "addforums") {
          Forum_AddForums(*con);
        } else if (action == "addnewforum") {
          Forum_AddNewForum(*con);
        } else if (action == "getforum") {
          Forum_GetForum(*con);
        } else if (action == "submitedit") {
          Forum_SubmitEdit(*con);
        } else {
          Forum_Start();
        }
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(nullptr, con.get());
}

void Admin::Forum_Start() {
  Response_() << "<center><h1>论 坛 设 置</h1><p>你必须是超级管理员才能改变论坛设置。</p>"
                 "<FORM ACTION=forum.asp METHOD=POST NAME=THEFORM ><table>"
              << CredentialRows(13)
              << "</table><input type=hidden name=action value=login>"
                 "<input type=hidden name=StartPoint value=0>"
                 "<p><input type=submit value=\"发 送 身 份 确 认\"></p></form></center>";
}

void Admin::Forum_Summary(Connection& con, PanelCredentials who) {
  if (!IsAdministrator(who.name, who.password, con)) Refuse("对不起，没有找到该用户的记录！");
  std::string sortby = ToLower(Request_()("sortby").Str());
  if (sortby.empty()) sortby = "number";

  std::vector<SummaryRow> rows;
  for (auto rs = con.Execute("select * from forum " + ForumOrderClause(sortby)); !rs->Eof();
       rs->MoveNext()) {
    const Variant topics = rs->Fields("topiccount");
    const Variant replies = rs->Fields("replycount");
    rows.push_back({rs->Fields("forumname").Str(), rs->Fields("sequence").Str(),
                    (topics.IsNull() ? 0 : topics.CLng()) + (replies.IsNull() ? 0 : replies.CLng()),
                    rs->Fields("catalog").Str()});
  }

  Response& out = Response_();
  const Server& server = Server_();
  out << "<center><h1>设 置 论 坛 变 量</h1><p>在下面的表中可以改变论坛的显示次序：在“次序”一栏"
         "填入整数，数字小的论坛排在前面，然后按“完 成 论 坛 设 置”。</p><p>你现在共有 "
      << std::to_string(rows.size())
      << " 个论坛（包括开放的和关闭的）。想对针对某个论坛设定权限和其它设置，单击该论坛的"
         "\"详细资料\"链接。</p><p><a href=forum.asp?action=addforums>增加新论坛</a></p>"
      << SortForm(sortby)
      << "<form action=forum.asp method=post name=forums><table border=1 cellspacing=0 "
         "cellpadding=3><tr><td colspan=6 align=center><b>论坛摘要</b></td></tr><tr><td>号码</td>"
         "<td>名称</td><td>次序</td><td>贴子总数</td><td>类别</td><td>&nbsp;</td></tr>";
  int number = 0;
  for (const SummaryRow& row : rows) {
    // Forum names and catalogs are text wherever they are written.
    out << "<TR bgcolor=#FFFFFF><TD>" << std::to_string(++number) << "</TD><TD>"
        << server.HTMLEncode(row.name) << "<input type=hidden name=forumname value=\""
        << server.HTMLEncode(row.name)
        << "\"></TD><TD><input type=text name=sequence size=5 maxlength=5 value=\""
        << server.HTMLEncode(row.sequence) << "\"></TD><TD>" << std::to_string(row.posts)
        << "</TD><TD>" << server.HTMLEncode(row.catalog)
        << "</TD><TD><a href='forum.asp?action=getforum&forumname=" << server.URLEncode(row.name)
        << "'>详细资料</A></TD></TR>";
  }
  out << "</table><input type=hidden name=action value=setforums><table>" << CredentialRows(13)
      << "</table><p><input type=submit value=\"完 成 论 坛 设 置\"></p></form></center>";
}

void Admin::Forum_SetForums(Connection& con) {
  PanelCredentials who = PostedCredentials();
  if (!IsAdministrator(who.name, who.password, con)) Refuse("对不起，没有找到该用户");
  const ValueCollection& form = Request_().form();
  std::vector<std::string> names, sequences;
  for (int i = 1; i <= form.Count("forumname"); ++i) {
    names.push_back(form.Item("forumname", i).Str());
  }
  for (int i = 1; i <= form.Count("sequence"); ++i) {
    sequences.push_back(form.Item("sequence", i).Str());
  }
  const ForumOrders orders = ReadForumOrders(sequences, names.size());
  if (orders.refusal != nullptr) Refuse(orders.refusal);

  con.BeginTrans();
  for (size_t i = 0; i < names.size(); ++i) {
    con.Execute("update forum set sequence=" + std::to_string(orders.orders[i]) +
                " where forumname='" + SqlQuote(names[i]) + "'");
  }
  con.CommitTrans();
  EmptyForumMenus(Application_());
  Response_() << kForumsUpdated;
}

}  // namespace cb
