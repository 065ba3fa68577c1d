// Presence pages: "谁在线" (Online), the list of the online table, and "查看IP" (GetIP), the
// address a post was written from, for administrators and the forum's moderators.
#include "browse/online.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "frame/checks.h"
#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "frame/throttle.h"
#include "runtime/convert.h"
#include "markup/markup.h"
#include "members/member_checks.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

std::string HeaderCell(const Settings& s, const char* text) {
  return std::string("<td><font color=") + s.TableStripTextColor + "><b>" + text +
         "</b></font></td>";
}

// The identification form of the address lookup, for a visitor who is not signed in.
void WriteGetIPForm(const Settings& s, Response& out, const Server& server,
                    const Request& request) {
  out << "<center>";
  if (s.BBSTYLE == "CBK") {
    out << "<table border=0 width=" << s.TableWidth << "><tr><td>" << s.Logo << "</td>"
        << "<td align=center><font class=bbtitle color=\"" << s.BBTitleFontColor
        << "\">I P 显 示</font></td></tr></table>";
  } else if (s.BBSTYLE == "CLUB") {
    out << ClubPageTop(s);
  }
  out << "<form name=Authorize method=post action=cbkmisc.asp>"
      << "<input type=hidden name=action value=getip>"
      << "<input type=hidden name=Forum value=\""
      << server.HTMLEncode(request.QueryString("Forum").Str()) << "\">"
      << "<input type=hidden name=topic value=\""
      << server.HTMLEncode(request.QueryString("topic").Str()) << "\">"
      << "<p>只有论坛领导（超级系统管理员，版主）可以执行此操作。</p>" << s.TableBorderStart
      << "<table border=0 cellspacing=1 cellpadding=4 width=" << s.InnerTableWidth << ">"
      << "<tr " << s.TableColorStrip << "><td colspan=2><font color=" << s.TableStripTextColor
      << "><b>为了查看此贴的登录 IP，先在下面认证你的身份。</b></font></td></tr>"
      << "<tr " << s.AltColumnColor1
      << "><td>你的用户名</td><td><input type=text name=UserName size=25 maxlength=25 value=\""
      << server.HTMLEncode(request.Cookies("username").Str()) << "\"></td></tr>"
      << "<tr " << s.AltColumnColor2
      << "><td>你的密码</td><td><input type=password name=Password size=13 maxlength=13 "
         "value=\""
      << server.HTMLEncode(request.Cookies("password").Str()) << "\"></td></tr>"
      << "</table>" << s.TableBorderEnd
      << "<p><input type=submit name=Submit value=发送认证 class=buttonface></p></form></center>";
}

constexpr Rule<AddressFacts, AddressStop> kAddressRules[] = {
    {AddressStop::kBadTopic, [](const AddressFacts& f) { return !f.topic_ok; }},
    {AddressStop::kGuarded, [](const AddressFacts& f) { return Known(f.guarded); }},
    {AddressStop::kNotMember, [](const AddressFacts& f) { return f.role == -1; }},
    {AddressStop::kNoRight, [](const AddressFacts& f) { return f.role == 0; }},
    {AddressStop::kNoPost, [](const AddressFacts& f) { return KnownFalse(f.post); }},
};

// The online table below the page's top; debug adds the address and the last activity.
void WriteOnlineTable(const Settings& s, Response& out, const Server& server,
                      const Application& app, bool debug) {
  if (s.BBSTYLE == "CBK") {
    out << "<table border=0 width=" << s.TableWidth << "><tr><td>" << s.Logo << "</td>"
        << "<td align=center><font class=bbtitle color=\"" << s.BBTitleFontColor
        << "\">谁在线</font><br><p align=right>" << s.NavBar << "</p></td></tr></table>";
  } else {
    out << ClubPageTop(s);
  }
  out << s.TableBorderStart
      << "<table border=0 cellspacing=1 cellpadding=4 width=" << s.InnerTableWidth << ">"
      << "<tr " << s.TableColorStrip << ">" << HeaderCell(s, "用户名");
  if (debug) out << HeaderCell(s, "IP");
  out << HeaderCell(s, "登录时间");
  if (debug) out << HeaderCell(s, "最近活动时间");
  out << HeaderCell(s, "在哪里？") << "</tr>";

  // Read without the lock: a page sees one consistent copy of the table.
  const Variant stored = app.Get("Online");
  if (stored.type() == VType::kArray && stored.AsArray().cols() >= 6) {
    const Array2D& t = stored.AsArray();
    const int last = std::min<int>(s.maxUser, t.rows() - 1);
    int shown = 0;
    for (int r = 0; r <= last; ++r) {
      const std::string address = t.at(r, 1).Str();
      if (address.empty()) continue;
      out << "<tr " << (shown % 2 == 0 ? s.AltColumnColor1 : s.AltColumnColor2) << ">";
      const std::string name = t.at(r, 0).Str();
      if (name == "GUEST ") {
        out << "<td>" << s.GuestTitle << " (" << MaskIP(address) << ")</td>";
      } else {
        // A name from a visitor's cookie is shown as text.
        out << "<td><a href=viewuser.asp?username=" << server.URLEncode(name) << ">"
            << server.HTMLEncode(name) << "</a></td>";
      }
      if (debug) out << "<td>" << server.HTMLEncode(address) << "</td>";
      out << "<td>" << t.at(r, 2).Str() << "</td>";
      if (debug) out << "<td>" << t.at(r, 3).Str() << "</td>";
      // Locations of some pages carry member-written subjects: shown as text.
      out << "<td>" << server.HTMLEncode(t.at(r, 5).Str()) << "</td></tr>";
      ++shown;
    }
  }
  out << "</table>" << s.TableBorderEnd;
}

// The address a post was written from, with the post, for whoever passed the checks.
void WritePostAddress(const Settings& s, Response& out, const Server& server, const Recordset& rs,
                      const std::string& forum) {
  const Variant parent = rs.Fields("parentid");
  const std::string topic_id = (parent.IsNull() || parent.Str().empty())
                                   ? rs.Fields("postid").Str()
                                   : rs.Fields("Parentid").Str();
  out << "<P><center>I P 显示"
      << "<p>返回到: <a href=list.asp?GroupName=" << server.URLEncode(forum) << ">"
      << server.HTMLEncode(forum) << "</a> - "
      << "<a href=NewsDetail.asp?id=" << topic_id << ">"
      << server.HTMLEncode(rs.Fields("Subject").Str()) << "</a></p>" << s.TableBorderStart
      << "<table border=0 cellspacing=1 cellpadding=4 width=" << s.InnerTableWidth << ">"
      << "<tr " << s.TableColorStrip << "><td colspan=2>"
      << "<font color=" << s.TableStripTextColor
      << "><b>Here is the requested IP number:</b></font></td></tr>"
      << "<tr " << s.AltColumnColor1 << "><td width=20%>IP 地址</td><td><b>"
      << server.HTMLEncode(rs.Fields("ip").Str()) << "</b></td></tr>"
      << "<tr " << s.AltColumnColor2 << "><td valign=top>Post:</td><td>由"
      << server.HTMLEncode(rs.Fields("username").Str()) << "发表于"
      << FormatPostTime(s, rs.Fields("posttime")) << "<hr>"
      << ToHtml(server.HTMLEncode(rs.Fields("Message").Str())) << "</td></tr>"
      << "</table>"
      << "</CENTER>" << s.TableBorderEnd;
}

}  // namespace

bool Corkboard::VisitorIsAdministrator() {
  // Only a session signed in with Login counts: a cookie pair tried here would let a visitor test
  // passwords without the sign-in guard.
  if (Session_().Get("Login").Str() != "1") return false;
  std::string user = Session_().Get("UserName").Str();
  std::string password = Session_().Get("Password").Str();
  auto con = OpenConnection_();
  const bool administrator = CheckModerator(user, password, "", *con) == 1;
  con->Close();
  return administrator;
}

void Corkboard::Online() {
  RunFramedPage({.location = "谁在线",
                 .title = "谁在线",
                 .own_top = true,
                 .on_error = ErrorPage::kReplacesFooter},
                [&] {
                  // Unmasked addresses are for administrators only; anyone else gets the list.
                  const bool debug =
                      Request_()("action").Str() == "debug" && VisitorIsAdministrator();
                  WriteOnlineTable(S(), Response_(), Server_(), Application_(), debug);
                });
}

std::optional<AddressStop> AddressRefusal(const AddressFacts& f) {
  return FirstRefusal(kAddressRules, f);
}

const char* AddressStopText(AddressStop stop) {
  switch (stop) {
    case AddressStop::kBadTopic:
      return "参数错误！";
    case AddressStop::kGuarded:
    case AddressStop::kNotMember:
      return "对不起，您不是本系统的注册用户，请先注册后再使用！";
    case AddressStop::kNoRight:
      return "对不起，您没有执行这个操作的权限，只有管理员和该版版主才可以执行该操作!";
    case AddressStop::kNoPost:
      break;
  }
  return "该记录不存在，按浏览器“后退“按钮可以重新处理！";
}

void Corkboard::GetIP() {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunPage(
      [&] {
        RecordVisit("查看IP");
        const Settings& s = S();
        Response& out = Response_();
        out << WritePageHead(s, s.BBName);
        const bool signed_in = Session_().Get("Login").Str() == "1";
        if (Request_().ServerVariables("request_method").Str() != "POST" && !signed_in) {
          WriteGetIPForm(s, out, Server_(), Request_());
          return;
        }
        AddressFacts facts;
        const auto stop_if_refused = [&] {
          if (const std::optional<AddressStop> stop = AddressRefusal(facts)) {
            Refuse(Variant(AddressStopText(*stop)));
          }
        };

        const Variant topic = Request_()("Topic");
        facts.topic_ok = ToLong(topic);
        stop_if_refused();
        std::string user = Session_().Get("UserName").Str();
        std::string password = Session_().Get("Password").Str();
        if (!signed_in) {
          user = Request_().Form("UserName").Str();
          password = Request_().Form("Password").Str();
        }
        // The form is a sign-in form: guessing through it is slowed like any other.
        SignInGuard guard(Application_(), Request_().ServerVariables("Remote_addr").Str(),
                          signed_in ? std::string() : user, Now());
        facts.guarded = guard.Refused();
        stop_if_refused();
        con = OpenConnection_();
        // Rights are those over the post's own forum; the requested one only names a missing
        // post's.
        rs = con->Execute("Select * from Post where postid=" + std::to_string(topic.CLng()));
        facts.post = !rs->Eof();
        const std::string forum =
            *facts.post ? rs->Fields("forumname").Str() : Request_()("Forum").Str();
        facts.role = CheckModerator(user, password, forum, *con);
        if (*facts.role == -1) {
          guard.Failed();
        } else {
          guard.Succeeded();
        }
        stop_if_refused();
        WritePostAddress(s, out, Server_(), *rs, forum);
      },
      [&] { Response_() << S().Copyright << "</body></html>"; });
  CloseQuietly(rs.get(), con.get());
}

}  // namespace cb
