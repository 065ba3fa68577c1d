// The control-panel check (IsAdministrator, isAdminOrModerater) with its sign-in guard and
// session values, the sign-in rows of the panel forms, and Admin.PM, the message to all members
// or all moderators.
#include <memory>

#include "admin/admin.h"
#include "frame/procedures.h"
#include "frame/throttle.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

// The generic "unspecified error" number for a failure that carries no number of its own.
constexpr long kUnspecifiedError = -2147467259;

std::vector<std::string> FirstColumn(Connection& con, const std::string& sql) {
  std::vector<std::string> out;
  for (auto rs = con.Execute(sql); !rs->Eof(); rs->MoveNext()) out.push_back(rs->Fields(0).Str());
  return out;
}

}  // namespace

bool Admin::CheckPanelIdentity(std::string& UserName, std::string& Password, Connection& con) {
  panel_ = PanelIdentity{};
  if (UserName.empty() || Password.empty()) return false;
  // Every panel form checks a password: guesses count here as at the board's own sign-in.
  SignInGuard guard(Application_(), Request_().ServerVariables("Remote_addr").Str(), UserName,
                    Now());
  if (guard.Refused()) return false;
  auto rs = con.Execute("select * from register where username='" + SqlQuote(UserName) +
                        "' and password='" + SqlQuote(Password) + "'");
  if (rs->Eof()) {
    guard.Failed();
    return false;
  }
  guard.Succeeded();
  const std::string role = ToLower(rs->Fields("status").Str());
  panel_.name = rs->Fields("username").Str();
  rs->Close();
  if (role == "administrator") {
    panel_.administrator = true;
    panel_.forums = FirstColumn(con, "select forumname from forum order by sequence ");
  } else if (role == "moderater") {
    panel_.forums = FirstColumn(
        con, "select forum from moderated where moderater='" + SqlQuote(panel_.name) + "' ");
  } else {
    return false;
  }
  panel_.admitted = true;
  return true;
}

void Admin::RememberPanelSignIn(const std::string& UserName, const std::string& Password) {
  const bool same = Session_().Get("UserNamecp").Str() == UserName &&
                    Session_().Get("Passwordcp").Str() == Password;
  Session_().Set("UserNamecp", Variant(UserName));
  Session_().Set("Passwordcp", Variant(Password));
  Session_().Set("Status", Variant(panel_.administrator ? "administrator" : "moderater"));
  // A new control-panel identity gets a new session id, so an id known before cannot ride on it.
  if (!same) Session_().RenewId();
}

bool Admin::IsAdministrator(std::string& UserName, std::string& Password, Connection& con) {
  if (!CheckPanelIdentity(UserName, Password, con) || !panel_.administrator) {
    panel_ = PanelIdentity{};
    return false;
  }
  RememberPanelSignIn(UserName, Password);
  return true;
}

bool Admin::isAdminOrModerater(std::string& UserName, std::string& Password, Connection& con,
                               std::string& ForumList, bool* Administrator) {
  if (!CheckPanelIdentity(UserName, Password, con)) return false;
  RememberPanelSignIn(UserName, Password);
  if (Administrator != nullptr) *Administrator = panel_.administrator;
  if (!panel_.forums.empty()) ForumList = panel_.ForumList();
  return true;
}

PanelCredentials Admin::SessionCredentials() const {
  return {Session_().Get("UserNamecp").Str(), Session_().Get("Passwordcp").Str()};
}

PanelCredentials Admin::PostedCredentials() const {
  return {Request_().Form("UserName").Str(), Request_().Form("Password").Str()};
}

std::string Admin::CredentialRows(int password_size) const {
  const PanelCredentials kept = SessionCredentials();
  const std::string size = std::to_string(password_size);
  return "<tr><td>用户名：</td><td><INPUT TYPE=TEXT NAME=UserName SIZE=25 MAXLENGTH=25 VALUE=\"" +
         Server_().HTMLEncode(kept.name) +
         "\"></td></tr><tr><td>密码：</td><td><INPUT TYPE=PASSWORD NAME=Password SIZE=" + size +
         " MAXLENGTH=" + size + " VALUE=\"" + Server_().HTMLEncode(kept.password) + "\"></td></tr>";
}

void Admin::WritePanelHead(const std::string& title) {
  Response_() << WritePageHead(S(), title + " - " + S().BBName);
}

std::string Admin::PM() {
  std::unique_ptr<Connection> con;
  std::string failure;
  // The page around this method shows a non-empty answer on the error page: a runtime error is
  // answered with its number, description and source.
  try {
    const Request& req = Request_();
    std::string user = req("UserName").Str();
    std::string password = req("Password").Str();
    const std::string message = req("message").Str();
    const std::string option = req("option").Str();
    const std::string subject = req("Subject").Str();
    if (user.empty() || password.empty() || message.empty() || subject.empty()) {
      return "用户名、密码、消息均不能为空！";
    }
    con = OpenConnection_();
    if (!IsAdministrator(user, password, *con)) {
      failure = "对不起，该操作只有管理员才能进行！";
    } else {
      const std::string values =
          "'" + SqlQuote(user) + "','" + SqlQuote(subject) + "','" + SqlQuote(message) + "' ";
      con->Execute(option == "allmember"
                       ? "Insert into PM (recipient,sender,subject,message) select username," +
                             values + "from register"
                       : "Insert into PM (recipient,sender,subject,message) select distinct "
                         "moderater," +
                             values + "from moderated");
    }
  } catch (const ScriptError& e) {
    failure = ErrorText(e);
  } catch (const std::exception& e) {
    failure = ErrorText(ScriptError(kUnspecifiedError, e.what()));
  }
  CloseQuietly(nullptr, con.get());
  return failure;
}

}  // namespace cb
