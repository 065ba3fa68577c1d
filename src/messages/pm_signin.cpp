// The mailbox sign-in: the form (Login), the check of a posted name and password (SignInCheck),
// and the identity every mailbox page works under afterwards.
#include <memory>

#include "frame/board_address.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "frame/throttle.h"
#include "messages/pm.h"
#include "messages/pm_pages.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

Connection& PM::Con() {
  if (!con_) throw ScriptError(err::kRecordsetState, "没有打开的数据库连接", "PM");
  return *con_;
}

std::string PM::Member() const { return Session_().Get("UserName").Str(); }
std::string PM::MemberPassword() const { return Session_().Get("Password").Str(); }

bool PM::MemberSignsIn(bool& can_post) {
  auto rs =
      Con().Execute("select canPost from register where username='" + SqlQuote(Variant(Member())) +
                    "' and password='" + SqlQuote(Variant(MemberPassword())) + "'");
  if (rs->Eof()) return false;
  const Variant flag = rs->Fields("canPost");
  can_post = !flag.IsNull() && flag.CBool();
  return true;
}

void PM::RunAction(const std::function<void()>& body) {
  RunPage(body, [&] {
    static constexpr std::string_view kEnd = "</body></html>";
    if (!Response_().body().ends_with(kEnd)) Response_() << kEnd;
  });
}

void PM::Login() {
  const Settings& s = S();
  Response& out = Response_();
  const Request& req = Request_();
  out << WritePageHead(s, "悄悄话 - " + s.BBName) << "<center>";
  if (s.BBSTYLE == "CBK") {
    out << "<table border=0 width=" << s.TableWidth << "><tr><td>" << s.Logo << "</td>"
        << "<td><p><b>　　　　悄　悄　话　　　　</b></p></td></tr></table>";
  } else if (s.BBSTYLE == "CLUB") {
    out << PmClubHeader();
  }
  // The cookies and the query string are the visitor's own text: kept inside their attributes.
  out << "<br><br><form action=pm.asp method=post name=frmPM>"
      << "<input type=hidden name=action value=idcheck>" << s.TableBorderStart
      << "<table border=0 cellpadding=4 cellspacing=1 width=" << s.InnerTableWidth << ">"
      << "<tr " << s.TableColorStrip << "><td colspan=2><font color=" << s.TableStripTextColor
      << "><b>要发表或查看悄悄话，您必须通过身份验证！</b></font></td></tr>"
      << "<tr " << s.AltColumnColor1 << "><td><b>用户名：</b></td><td>"
      << "<input type=text name=userName size=25 maxlength=25 value=\""
      << HtmlSafe(req.Cookies("username").Str()) << "\"></td></tr>"
      << "<tr " << s.AltColumnColor2 << "><td><b>密码：</b></td><td>"
      << "<input type=password name=Password size=13 maxlength=13 value=\""
      << HtmlSafe(req.Cookies("Password").Str()) << "\"></td></tr>"
      << "</table>" << s.TableBorderEnd << "<input type=hidden name=QueryString value=\""
      << HtmlSafe(req.RawQueryString())
      << "\"><p><input type=submit value=现在认证我 class=buttonface></p>"
      << "<input type=hidden name=action value=viewPM></form></center>" << s.Copyright
      << "</body></html>";
}

void PM::SignInCheck() {
  std::unique_ptr<Recordset> rs;
  RunAction([&] {
    const Request& req = Request_();
    const Variant user = req("username");
    const Variant password = req("password");
    SignInGuard guard(Application_(), req.ServerVariables("Remote_addr").Str(), user.Str(), Now());
    if (guard.Refused()) Refuse(kAccountProblem);
    rs = std::make_unique<Recordset>();
    rs->Open("select canPost,username,password from register where username='" + SqlQuote(user) +
                 "' and password='" + SqlQuote(password) + "'",
             Con(), adOpenForwardOnly);
    if (rs->Eof()) {
      guard.Failed();
      Refuse(kAccountProblem);
    }
    guard.Succeeded();
    const Variant can_post = rs->Fields("canpost");
    if (can_post.IsNull() || !can_post.CBool()) Refuse(kSignInBarred);
    Session_().Set("UserName", user);
    Session_().Set("Password", password);
    Session_().RenewId();
    // The address first asked for comes back from the form: only this board's own pages.
    Wait("谢谢你！我们已经确认了你的身份并允许你进入悄悄话。",
         BoardReturnAddress("pm.asp?" + req("QueryString").Str()), "悄悄话", 2);
  });
  CloseQuietly(rs.get(), nullptr);
}

}  // namespace cb
