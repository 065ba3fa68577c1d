// announce.asp (Admin.Announce, "公告中心"): administrators and moderators publish announcements to
// their forums for a period of dates, and edit or delete them. "action" is compared exactly; every
// step but the start form checks the identity again, and a moderator reaches only the
// announcements he published.
#include <memory>

#include "admin/admin.h"
#include "admin/announce_rules.h"
#include "frame/procedures.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

constexpr const char* kNoUser = "对不起，没有发现该用户！";
constexpr const char* kNotOwn = "对不起，你只能编辑自己发布的公告！";
constexpr const char* kAnnounceDone =
    "<br><br><center><p><h3>公告修改结束，重新进入<a href=announce.asp>公告发布中心</a></h3></p>"
    "</center>";
constexpr const char* kMonths[] = {"正月", "二月", "三月", "四月", "五月",   "六月",
                                   "七月", "八月", "九月", "十月", "十一月", "十二月"};

std::string TwoDigits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

// A month select, a day select and a year field preset to date.
std::string DateFields(const char* prefix, const DateTime& date) {
  std::string p = prefix;
  std::string out = "<SELECT NAME=" + p + "Month>";
  for (int m = 1; m <= 12; ++m) {
    out +=
        "<OPTION VALUE=" + TwoDigits(m) + (m == date.month() ? " SELECTED>" : ">") + kMonths[m - 1];
  }
  out += "</SELECT><SELECT NAME=" + p + "Day>";
  for (int d = 1; d <= 31; ++d) {
    out += "<OPTION VALUE=" + TwoDigits(d) + (d == date.day() ? " SELECTED>" : ">") + TwoDigits(d);
  }
  return out + "</SELECT> <INPUT TYPE=TEXT NAME=" + p +
         "Year SIZE=4 MAXLENGTH=4 VALUE=" + std::to_string(date.year()) + ">";
}

// What the announcement form holds: the new form's empty fields or the announcement's row.
struct AnnouncementForm {
  std::string heading;
  std::string credentials;  // the sign-in rows
  std::string subject;
  std::string content;
  DateTime start, end;
  std::string middle;  // the rows between the text and the dates
  std::string tail;    // rows after the dates, hidden fields and buttons
};

std::string WriteAnnouncementForm(const Server& server, const AnnouncementForm& f) {
  return "<center><h1>" + f.heading +
         "</h1><FORM ACTION=announce.asp NAME=REPLIER METHOD=POST><table border=0 cellpadding=4>" +
         f.credentials +
         "<tr><td colspan=2><a href=../cbkmisc.asp?action=lostpw>忘了你的密码？</a></td></tr>"
         "<tr><td>主题：</td><td><INPUT TYPE=TEXT NAME=Subject SIZE=30 MAXLENGTH=100 VALUE=\"" +
         server.HTMLEncode(f.subject) + "\"></td></tr>" + f.middle +
         "<tr><td valign=top>内容：<br>你可以在消息中<BR>使用 <A HREF=../cbkcode.htm "
         "target=_new>CBK 代码</a><BR></td><td><TEXTAREA NAME=EditedMessage ROWS=10 COLS=50>" +
         server.HTMLEncode(f.content) + "</TEXTAREA></td></tr><tr><td>开始日期：</td><td>" +
         DateFields("Start", f.start) + "</td></tr><tr><td>结束日期：</td><td>" +
         DateFields("End", f.end) + "</td></tr>" + f.tail + "</form></center>";
}

AnnouncementDraft ReadDraft(const Request& req) {
  return {req.Form("Subject").Str(),   req.Form("EditedMessage").Str(),
          req.Form("Startyear").Str(), req.Form("startmonth").Str(),
          req.Form("startday").Str(),  req.Form("endyear").Str(),
          req.Form("endmonth").Str(),  req.Form("endday").Str()};
}

// The posted announcement into its row; the one who posts it becomes its publisher.
void WriteAnnouncement(Recordset& rs, const Request& req, const AnnouncementCheck& check) {
  rs.Set("subject", req.Form("Subject"));
  rs.Set("content", req.Form("EditedMessage"));
  rs.Set("startdate", Variant(check.start));
  rs.Set("enddate", Variant(check.end));
  rs.Set("username", req.Form("username"));
  rs.Update();
}

}  // namespace

void Admin::Announce() {
  std::unique_ptr<Connection> con;
  RunPage(
      [&] {
        const Request& req = Request_();
        const std::string action = req("action").Str();
        WritePanelHead("公告中心");
        if (action != "enter" && action != "submitannounce" && action != "reviewannounce" &&
            action != "submitanncedit") {
          Response_() << "<B><CENTER><h1>公 告 中 心</h1></B></CENTER><center><FORM "
                         "ACTION=announce.asp METHOD=POST NAME=THEFORM><p>识别自己：</p><table>"
                      << CredentialRows(13)
                      << "</table><p>选择一项：</p><p><INPUT TYPE=RADIO NAME=AnnounceFunction "
                         "VALUE=CreateAnnouncement CHECKED>建立新的公告<br><INPUT TYPE=RADIO "
                         "NAME=AnnounceFunction VALUE=EditAnnouncement>查看和编辑公告</p><input "
                         "type=hidden name=action value=enter><input type=submit value='根 据 "
                         "选 择 进 入 中 心'></form><p>注意：只有超级管理员或者版主可以建立，查看"
                         "或编辑告示。</p></center>";
          return;
        }
        if (action == "reviewannounce" && req("editannounce").Str().empty()) {
          Refuse("请选择要编辑的公告！");
        }
        con = OpenConnection_();
        PanelCredentials who = PostedCredentials();
        std::string forum_list;
        if (!isAdminOrModerater(who.name, who.password, *con, forum_list)) Refuse(kNoUser);
        if (action == "enter") {
          const std::string function = ToLower(req("announcefunction").Str());
          if (function == "createannouncement") {
            Announce_CreateAnnouncement();
          } else if (function == "editannouncement") {
            Announce_EditAnnouncement(*con);
          }
        } else if (action == "submitannounce") {
          Announce_SubmitAnnounce(*con);
        } else if (action == "reviewannounce") {
          Announce_ReViewAnnounce(*con);
        } else {
          Announce_submitAnncedit(*con);
        }
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(nullptr, con.get());
}

void Admin::Announce_CreateAnnouncement() {
  AnnouncementForm f;
  f.heading = "建 立 新 告 示";
  f.credentials = CredentialRows(13);
  f.start = f.end = Now();
  f.tail =
      "<tr><td valign=top>想要发表公告的论坛：</td><td><SELECT NAME=ForumName SIZE=5 "
      "MULTIPLE>";
  for (const std::string& forum : panel_.forums) {
    f.tail +=
        "<OPTION VALUE=\"" + Server_().HTMLEncode(forum) + "\">" + Server_().HTMLEncode(forum);
  }
  f.tail +=
      "</SELECT></td></tr></table><input type=hidden name=action value=submitannounce><input "
      "type=submit value='发 布 公 告'> <input type=reset value='清 除 内 容'>";
  Response_() << WriteAnnouncementForm(Server_(), f);
}

void Admin::Announce_EditAnnouncement(Connection& con) {
  const std::string sql = panel_.administrator
                              ? "select * from announce order by posttime desc"
                              : "select * from announce where username='" + SqlQuote(panel_.name) +
                                    "' order by posttime desc";
  const Server& server = Server_();
  Response& out = Response_();
  out << "<center><h1>查看和编辑告示</h1><FORM ACTION=announce.asp METHOD=POST><table border=1 "
         "cellspacing=0 cellpadding=3><tr><td>&nbsp;</td><td>主题</td><td>论坛</td><td>开始日期"
         "</td><td>结束日期</td></tr>";
  for (auto rs = con.Execute(sql); !rs->Eof(); rs->MoveNext()) {
    out << "<tr><td><INPUT TYPE=RADIO NAME=EditAnnounce VALUE=" << rs->Fields("id").Str()
        << "></td><td>" << server.HTMLEncode(rs->Fields("subject").Str())
        << "</td><td>忽略显示</td><td>" << rs->Fields("startdate").CDate().Ymd() << "</td><td>"
        << rs->Fields("enddate").CDate().Ymd() << "</td></tr>";
  }
  out << "</table><table>" << CredentialRows(13)
      << "</table><input type=hidden name=action value=reviewannounce><input type=submit "
         "value='选 定 公 告'> <input type=reset value='清 除 内 容'></form></center>";
}

void Admin::Announce_ReViewAnnounce(Connection& con) {
  const std::string id = std::to_string(Request_()("editannounce").CLng());
  auto rs = con.Execute("select * from announce where id=" + id);
  if (rs->Eof()) Refuse("该公告不存在！");
  const std::string publisher = rs->Fields("username").Str();
  if (!panel_.administrator && !EqualsNoCase(publisher, panel_.name)) Refuse(kNotOwn);
  const Server& server = Server_();
  AnnouncementForm f;
  f.heading = "查看和编辑公告";
  f.credentials = CredentialRows(13);
  f.subject = rs->Fields("subject").Str();
  f.content = rs->Fields("content").Str();
  f.start = rs->Fields("startdate").CDate();
  f.end = rs->Fields("enddate").CDate();
  f.middle = "<tr><td>原来的发布人：</td><td>" + server.HTMLEncode(publisher) +
             "</td></tr><tr><td valign=top>原来的内容：</td><td>" + server.HTMLEncode(f.content) +
             "</td></tr><tr><td>想要发表公告的论坛：</td><td>忽略</td></tr>";
  f.tail =
      "<tr><td colspan=2><INPUT TYPE=CHECKBOX NAME=Delete>要删除告示，选中此框</td></tr></table>"
      "<input type=hidden name=announceid value=" +
      id +
      "><input type=hidden name=action value=submitanncedit><input type=submit value='完 成 公 "
      "告'> <input type=reset value='清 除 内 容'>";
  Response_() << WriteAnnouncementForm(server, f);
}

void Admin::Announce_SubmitAnnounce(Connection& con) {
  const Request& req = Request_();
  std::vector<std::string> chosen;
  for (int i = 1; i <= req.form().Count("ForumName"); ++i) {
    chosen.push_back(req.form().Item("ForumName", i).Str());
  }
  const AnnouncementCheck check = CheckAnnouncement(ReadDraft(req));
  if (check.refusal != nullptr) Refuse(check.refusal);
  if (const char* refusal = AnnouncementForumsRefusal(panel_.forums, chosen)) Refuse(refusal);

  con.BeginTrans();
  auto rs = std::make_unique<Recordset>();
  rs->Open("select * from announce where 1=0", con, adOpenStatic, adLockOptimistic);
  rs->AddNew();
  WriteAnnouncement(*rs, req, check);
  rs->Close();
  const std::string id = std::to_string(con.Execute("select @@identity")->Fields(0).CLng());
  for (const std::string& forum : chosen) {
    con.Execute("insert into announceto (id,forumname) values (" + id + ",'" + SqlQuote(forum) +
                "')");
  }
  con.CommitTrans();
  Response_() << "<br><br><center><p><h3>公告发布结束，重新进入<a href=announce.asp>公告发布中心"
                 "</a></h3></p></center>";
}

void Admin::Announce_submitAnncedit(Connection& con) {
  const Request& req = Request_();
  const std::string id = std::to_string(req("announceid").CLng());
  auto rs = std::make_unique<Recordset>();
  rs->Open("select * from announce where id=" + id, con, adOpenStatic, adLockOptimistic);
  if (rs->Eof()) Refuse("该公告已经不存在！");
  if (!panel_.administrator && !EqualsNoCase(rs->Fields("username").Str(), panel_.name)) {
    Refuse(kNotOwn);
  }
  if (req.Form("delete").Str() == "on") {
    rs->Close();
    con.Execute("delete from announce where id=" + id);
    Response_() << kAnnounceDone;
    return;
  }
  const AnnouncementCheck check = CheckAnnouncement(ReadDraft(req));
  if (check.refusal != nullptr) Refuse(check.refusal);
  WriteAnnouncement(*rs, req, check);
  rs->Close();
  Response_() << kAnnounceDone;
}

}  // namespace cb
