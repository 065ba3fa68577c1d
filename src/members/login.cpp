// Sign-in and identity: Login puts a member's name and password into the session; IDCheck admits
// a session to a private forum (administrators, its moderators, or the forum password).
#include <memory>

#include "frame/corkboard.h"
#include "frame/procedures.h"
#include "members/member_checks.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

// The address IDCheck returns to comes from a form field, so it is taken only when it is an
// address of this board: a path or a relative name, never a scheme or another host. Characters
// that could leave the href or the refresh attribute are percent-encoded.
std::string BoardAddress(const std::string& url) {
  if (url.empty()) return "default.asp";
  for (unsigned char c : url) {
    if (c < 0x20 || c == 0x7f || c == ' ' || c == '\\') return "default.asp";
  }
  if (url.starts_with("//")) return "default.asp";
  const size_t end_of_name = url.find_first_of("/?#");
  if (url.substr(0, end_of_name).find(':') != std::string::npos) return "default.asp";
  std::string safe;
  for (char c : url) {
    switch (c) {
      case '"':
        safe += "%22";
        break;
      case '\'':
        safe += "%27";
        break;
      case '<':
        safe += "%3C";
        break;
      case '>':
        safe += "%3E";
        break;
      default:
        safe += c;
    }
  }
  return safe;
}

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
        con = OpenConnection_();
        rs = con->Execute("select * from register where username='" + SqlQuote(Variant(user)) +
                          "' and password='" + SqlQuote(Variant(password)) + "'");
        if (rs->Eof()) {
          Refuse(
              Variant("对不起，您不是我们论坛的注册用户，请先<a href=signup.asp>注册</a>，"
                      "按浏览器的“后退“按钮可以重新处理！"));
        }
        Session_().Set("UserName", Variant(user));
        Session_().Set("Password", Variant(password));
        Session_().Set("Login", Variant(int16_t{1}));
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
        if (Session_().Get("Login").Str() == "1") {
          user = Session_().Get("UserName").Str();
          password = Session_().Get("Password").Str();
        } else {
          user = Trim(Request_()("UserName").Str());
          password = Trim(Request_()("Password").Str());
        }
        const std::string forum = Trim(Request_()("Forum").Str());
        const std::string forum_password = Trim(Request_()("ForumPassword").Str());
        const std::string url = Request_()("url").Str();

        con = OpenConnection_();
        const int16_t role = CheckModerator(user, password, forum, *con);
        if (role == -1) {
          Refuse(Variant(
              "对不起，您不是本论坛的注册用户，请注册后再使用！按浏览器的后退按钮可重新处理！"));
        }
        if (role == 0) {
          rs = con->Execute(forum_password.empty()
                                ? "select forumpassword from forum where forumname='" +
                                      SqlQuote(Variant(forum)) + "' and forumpassword is null"
                                : "select forumpassword from forum where forumname='" +
                                      SqlQuote(Variant(forum)) + "' and forumpassword='" +
                                      SqlQuote(Variant(forum_password)) + "'");
          if (rs->Eof()) {
            Refuse(Variant("对不起，您不能进入该身份认证论坛，按浏览器后退按钮可重新处理！"));
          }
        }
        Session_().Set(forum, Variant(true));
        Wait("谢谢你！我们已经确认了你的身份并允许你进入此论坛", BoardAddress(url), "该论坛", 2);
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(rs.get(), con.get());
}

}  // namespace cb
