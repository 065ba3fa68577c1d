// Sign-in and identity: Login puts a member's name and password into the session; IDCheck admits
// a session to a private forum (administrators, its moderators, or the forum password).
#include <memory>

#include "frame/board_address.h"
#include "frame/corkboard.h"
#include "frame/procedures.h"
#include "frame/throttle.h"
#include "members/member_checks.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

constexpr const char* kIDCheckNotMember =
    "对不起，您不是本论坛的注册用户，请注册后再使用！按浏览器的后退按钮可重新处理！";
constexpr const char* kIDCheckRefused =
    "对不起，您不能进入该身份认证论坛，按浏览器后退按钮可重新处理！";

}  // namespace

void Corkboard::Login() {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunPage(
      [&] {
        const std::string user = Trim(Request_()("UserName").Str());
        const std::string password = Trim(Request_()("Password").Str());
        if (user.empty() || password.empty()) {
          Refuse(Variant("请输入您的用户名和密码！按浏览器“后退“按钮可以重新处理！"));
        }
        const Variant not_member(
            "对不起，您不是我们论坛的注册用户，请先<a href=signup.asp>注册</a>，"
            "按浏览器的“后退“按钮可以重新处理！");
        SignInGuard guard(Application_(), Request_().ServerVariables("Remote_addr").Str(), user,
                          Now());
        if (guard.Refused()) Refuse(not_member);
        con = OpenConnection_();
        rs = con->Execute("select * from register where username='" + SqlQuote(Variant(user)) +
                          "' and password='" + SqlQuote(Variant(password)) + "'");
        if (rs->Eof()) {
          guard.Failed();
          Refuse(not_member);
        }
        guard.Succeeded();
        Session_().Set("UserName", Variant(user));
        Session_().Set("Password", Variant(password));
        Session_().Set("Login", Variant(int16_t{1}));
        Session_().RenewId();
        Response_().Redirect("Default.htm");
      },
      [&] {
        if (!Response_().redirect()) Response_() << "</body></html>";
      });
  CloseQuietly(rs.get(), con.get());
}

void Corkboard::IDCheck() {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunPage(
      [&] {
        std::string user, password;
        const bool from_session = Session_().Get("Login").Str() == "1";
        if (from_session) {
          user = Session_().Get("UserName").Str();
          password = Session_().Get("Password").Str();
        } else {
          user = Trim(Request_()("UserName").Str());
          password = Trim(Request_()("Password").Str());
        }
        const std::string forum = Trim(Request_()("Forum").Str());
        const std::string forum_password = Trim(Request_()("ForumPassword").Str());
        const std::string url = Request_()("url").Str();

        // Both the member's password and the forum's are guessed here: both failures count.
        // A signed-in session's own name is not at stake, only its address counts.
        SignInGuard guard(Application_(), Request_().ServerVariables("Remote_addr").Str(),
                          from_session ? std::string() : user, Now());
        if (guard.Refused()) Refuse(from_session ? kIDCheckRefused : kIDCheckNotMember);
        con = OpenConnection_();
        const int16_t role = CheckModerator(user, password, forum, *con);
        if (role == -1) {
          guard.Failed();
          Refuse(kIDCheckNotMember);
        }
        if (role == 0) {
          rs = con->Execute(forum_password.empty()
                                ? "select forumpassword from forum where forumname='" +
                                      SqlQuote(Variant(forum)) + "' and forumpassword is null"
                                : "select forumpassword from forum where forumname='" +
                                      SqlQuote(Variant(forum)) + "' and forumpassword='" +
                                      SqlQuote(Variant(forum_password)) + "'");
          if (rs->Eof()) {
            guard.Failed();
            Refuse(kIDCheckRefused);
          }
        }
        guard.Succeeded();
        Session_().Set(forum, Variant(true));
        Session_().RenewId();
        Wait("谢谢你！我们已经确认了你的身份并允许你进入此论坛", BoardReturnAddress(url), "该论坛",
             2);
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(rs.get(), con.get());
}

}  // namespace cb
