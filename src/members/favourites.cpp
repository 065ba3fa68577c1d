// Favourites: Favor (favor.asp) adds a topic to the member's list after a confirming form,
// Showfavor (showfavor.asp) lists the member's own favourites and deletes those he ticks.
#include <memory>

#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "members/member_checks.h"
#include "members/member_pages.h"
#include "posting/post_form.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

constexpr const char* kBadParameter = "参数错误！";

bool IsPost(const Request& request) {
  return EqualsNoCase(request.ServerVariables("REQUEST_METHOD").Str(), "POST");
}

// The top of the favourite form: the forum and the topic beside the logo.
std::string FavorTop(const Settings& s, const std::string& forum, const std::string& subject) {
  if (s.BBSTYLE == "CBK") {
    return "<table border=0 width=" + s.TableWidth + "><tr><td>" + s.Logo +
           "</td><td><p><b>在讨论区" + forum + "<br>收藏主题 [" + subject + "]" +
           "</b></p><p align=right>" + NavBarLinks(s) + "</p></td></tr></table>";
  }
  if (s.BBSTYLE == "CLUB") return ClubPageTop(s);
  return "";
}

// The day a favourite was kept; an empty cell for a missing one.
std::string DateCell(const Variant& v) {
  return v.IsNull() || v.IsEmpty() ? std::string() : v.CDate().Ymd();
}

// A post's icon number (the picture icon/iconN.gif).
std::string IconNumber(const Variant& v) {
  return IsNumeric(v) ? std::to_string(v.CLng()) : std::string("1");
}

}  // namespace

void Corkboard::Favor() {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunPage(
      [&] {
        RecordVisit("收藏话题");
        const Settings& s = S();
        const Request& request = Request_();
        Response& out = Response_();
        const bool signed_in = SignedIn(Session_());
        if (!IsPost(request)) {
          // Adding is a change: a GET only shows the form that confirms it. The names came in the
          // address: kept as text.
          const std::string forum = HtmlSafe(request.QueryString("GroupName").Str());
          const std::string subject = HtmlSafe(request.QueryString("Subject").Str());
          const std::string form_open = "<form action=Favor.asp method=post name=chkUser>";
          const std::string hidden =
              "<input type=hidden name=id value=" + AttributeValue(request("id").Str()) + ">";
          out << WritePageHead(s, "收藏主题 [" + subject + "] - " + s.BBName) << "<center>"
              << FavorTop(s, forum, subject);
          if (signed_in) {
            out << form_open << hidden << "<p>收藏主题 [" << subject << "]？</p>"
                << "<input type=submit value=收藏 class=buttonface></form>";
          } else {
            out << IdentityForm(s, request, form_open, hidden, "收藏主题，请您通过身份验证：");
          }
          out << "</center>" << s.Copyright;
          return;
        }

        const Variant id = request("id");
        if (!ToLong(id)) Refuse(kBadParameter);
        const std::string topic = std::to_string(id.CLng());
        ActingMember who = ReadActingMember(Session_(), request);
        who.name = Trim(who.name);
        who.password = Trim(who.password);
        con = OpenConnection_();
        rs = con->Execute("select postid,forumname from post where postid=" + topic +
                          " and parentid is null");
        if (rs->Eof()) Refuse(kBadParameter);
        // A topic of a private forum this visit was not admitted to is not shown, not even its
        // subject in the list of favourites.
        const std::string forum = rs->Fields("forumname").Str();
        rs->Close();
        const ForumCheck c = CheckForum(*con, forum);
        if (!c || !Admitted(c)) Refuse(kBadParameter);

        bool may_post = false;
        auto member = [&] { return CanPost(who.name, who.password, *con, may_post); };
        const bool known =
            signed_in
                ? member()
                : GuardedPasswordCheck(Application_(), request.ServerVariables("Remote_addr").Str(),
                                       who.name, Now(), member);
        if (!known) Refuse("对不起，您不是我们的注册用户，请注册后再使用该功能！");
        if (!signed_in) KeepMemberInSession(Session_(), who.name, who.password);
        try {
          con->Execute("insert into favor (username,postid) values ('" +
                       SqlQuote(Variant(who.name)) + "'," + topic + ")");
        } catch (const ScriptError&) {
          Refuse("收藏主题失败，通常情况是该主题已经被收藏！");
        }
        Wait(HtmlSafe(who.name) + "，该主题已被收藏！", "newsdetail.asp?id=" + topic,
             "您收藏的话题", 2);
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(rs.get(), con.get());
}

void Corkboard::Showfavor() {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunFramedPage({.location = "显示收藏", .title = "我的收藏", .heading = "我的收藏"}, [&] {
    const Settings& s = S();
    const Request& request = Request_();
    Response& out = Response_();
    Session& session = Session_();
    con = OpenConnection_();
    const std::string action = ToLower(request("Action").Str());
    if (action == "chkuser") {
      std::string name = Trim(request.Form("UserName").Str());
      std::string password = Trim(request.Form("Password").Str());
      bool may_post = false;
      if (!GuardedPasswordCheck(Application_(), request.ServerVariables("Remote_addr").Str(), name,
                                Now(), [&] { return CanPost(name, password, *con, may_post); })) {
        Refuse("对不起，你不是我们论坛的注册用户，请注册后再使用该功能！");
      }
      KeepMemberInSession(session, name, password);
    }

    // The list is the visit's own member's, checked again on every visit.
    std::string name = session.Get("UserName").Str();
    std::string password = session.Get("Password").Str();
    bool may_post = false;
    if (name.empty() || password.empty() || !CanPost(name, password, *con, may_post)) {
      out << IdentityForm(s, request, "<form action=ShowFavor.asp method=post name=frmSearch>",
                          "<input type=hidden name=action value=chkUser>",
                          "查看收藏，请您通过身份验证：");
      return;
    }
    const std::string quoted_name = SqlQuote(Variant(name));
    if (action == "deletefavor") {
      const ValueCollection& form = request.form();
      for (int i = 1; i <= form.Count("delete"); ++i) {
        const Variant postid = form.Item("delete", i);
        if (!ToLong(postid)) continue;
        con->Execute("delete from favor where username='" + quoted_name +
                     "' and postid=" + std::to_string(postid.CLng()));
      }
    }

    int32_t page = 1;
    const Variant page_value = request("Page");
    if (ToLong(page_value)) page = page_value.CLng();
    rs = std::make_unique<Recordset>();
    rs->SetCacheSize(s.PageSize);
    rs->Open(
        "select icon,post.username,favordate,favor.postid,subject,posttime from favor inner join "
        "post on favor.postid=post.postid where favor.username='" +
            quoted_name + "' order by favordate desc",
        *con, adOpenStatic, adLockReadOnly);
    const std::string table_start =
        s.TableBorderStart +
        "<table cellpadding=4 cellspacing=1 border=0 width=" + s.InnerTableWidth + ">";
    if (rs->Eof()) {
      out << table_start << "<tr><td><p><b>没有发现收藏！</b></p></td></tr></table>"
          << s.TableBorderEnd;
      return;
    }
    const int32_t record_count = static_cast<int32_t>(rs->RecordCount());
    rs->SetPageSize(s.PageSize);
    const int32_t page_count = rs->PageCount();
    if (page > page_count) page = page_count;
    rs->SetAbsolutePage(page);
    const std::string strip = "<td><font color=" + s.TableStripTextColor + "><b>";
    out << "<form action=showfavor.asp method=post>"
           "<input type=hidden name=action value='deletefavor'>"
        << table_start << "<tr " << s.TableColorStrip << ">" << strip << "主题</b></font></td>"
        << strip << "发表人</b></font></td>" << strip << "发表时间</b></font></td>" << strip
        << "收藏时间</b></font></td>" << strip << "删除？</b></font></td></tr>";
    const Server& server = Server_();
    for (int i = 0; i < s.PageSize && !rs->Eof(); ++i) {
      const std::string postid = rs->Fields("postid").Str();
      out << "<tr " << (i % 2 == 0 ? s.AltColumnColor1 : s.AltColumnColor2) << "><td>"
          << "<img src=icon/icon" << IconNumber(rs->Fields("icon"))
          << ".gif> <a href=newsdetail.asp?id=" << postid << ">"
          << server.HTMLEncode(rs->Fields("subject").Str()) << "</a></td><td>"
          << HtmlSafe(rs->Fields("username").Str()) << "</td><td>"
          << FormatPostTime(s, rs->Fields("posttime")) << "</td><td>"
          << DateCell(rs->Fields("favordate"))
          << "</td><td><input type=checkbox name=Delete value=" << postid << "></td></tr>";
      rs->MoveNext();
    }
    out << "<tr " << s.AltColumnColor1
        << "><td colspan=5 align=right><input type=submit value=删除选中的收藏 class=buttonface>"
           "</td></tr></table>"
        << s.TableBorderEnd << "</form>";
    PageStyle(record_count, static_cast<int16_t>(std::min<int32_t>(page, INT16_MAX)),
              static_cast<int16_t>(std::min<int32_t>(page_count, INT16_MAX)), s.PageSize);
  });
  CloseQuietly(rs.get(), con.get());
}

}  // namespace cb
