// The profile page (profile.asp): the sign-in form, the edit form of the member's own register
// row, and its save, which changes only the row of the member this visit signed in as.
#include <memory>

#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "frame/throttle.h"
#include "members/member_pages.h"
#include "posting/post_form.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

std::string ProfileTop(const Settings& s) {
  if (s.BBSTYLE == "CBK") {
    return "<table border=0 width=" + s.TableWidth + "><tr><td>" + s.Logo +
           "</td><td><p align=Left><font class=bbtitle>编辑个人资料</font><br><br><p>" +
           NavBarLinks(s) + "</p></td></tr></table>";
  }
  if (s.BBSTYLE == "CLUB") return "<CENER>" + ClubPageTop(s) + "</CENTER>";
  return "";
}

// The rows of the edit form alternate the two column colours.
class FormRows {
 public:
  explicit FormRows(const Settings& s) : s_(s) {}
  std::string Row(const std::string& caption, const std::string& field) {
    return "<tr " + std::string(n_++ % 2 == 0 ? s_.AltColumnColor1 : s_.AltColumnColor2) +
           "><td width=40%><b>" + caption + "</b></td><td>" + field + "</td></tr>";
  }

 private:
  const Settings& s_;
  int n_ = 0;
};

// A text field pre-filled with a stored value (the member's own text, kept in its attribute).
std::string Text(const char* name, int size, int maxlength, const Variant& value) {
  return std::string("<input type=text name=") + name + " size=" + std::to_string(size) +
         " maxlength=" + std::to_string(maxlength) + " value=\"" + HtmlSafe(value.Str()) +
         "\" class=smallinput>";
}

std::string YesNo(const char* name, bool yes) {
  return std::string("<input type=radio name=") + name + " value=yes" + (yes ? " checked" : "") +
         ">是 <input type=radio name=" + name + " value=no" + (yes ? "" : " checked") + ">否";
}

std::string EditForm(const Settings& s, const Server& server, const Recordset& row) {
  const std::string name = row("username").Str();
  FormRows rows(s);
  std::string out =
      "<form method=POST action=profile.asp name=frmFillOut>"
      "<input type=hidden name=action value=check>"
      "<input type=hidden name=username value=\"" +
      HtmlSafe(name) + "\">" + s.TableBorderStart +
      "<table cellpadding=4 cellspacing=1 border=0 width=" + s.InnerTableWidth + "><tr " +
      s.TableColorStrip + "><td colspan=2><font color=" + s.TableStripTextColor +
      "><b>请填写下表完成个人信息修改</b></font></td></tr>";
  out += rows.Row("名字:", server.HTMLEncode(name));
  out += rows.Row("密码:",
                  "<input type=password name=password size=13 maxlength=10 class=smallinput> "
                  "<font class=smallFont>(3-10字节)</font>");
  out += rows.Row("密码确认:",
                  "<input type=password name=Password1 size=13 maxlength=10 class=smallinput>");
  // Changing the password or the address asks for the one in use (see docs/SECURITY.md).
  out += rows.Row("原密码:",
                  "<input type=password name=OldPassword size=13 maxlength=13 class=smallinput> "
                  "<font class=smallFont>(修改密码或 E-Mail 时必填)</font>");
  out += rows.Row("E-Mail:", Text("Email", 30, 50, row("email")));
  out += rows.Row("OICQ:", Text("OICQ", 10, 10, row("oicq")));
  out += rows.Row("ICQ:", Text("ICQ", 10, 10, row("icq")));
  out += rows.Row("所在市，省，国:", Text("Location", 30, 50, row("location")));
  out += rows.Row("职业:", Text("Occupation", 30, 50, row("occupation")));
  out += rows.Row("主页:", Text("URL", 30, 100, row("url")));
  out += rows.Row("兴趣:", Text("Interests", 30, 200, row("interests")));
  out += rows.Row("是否公开Email:", YesNo("EmailView", FlagSet(row("emailview"))));
  out += rows.Row("签名:<br><font class=smallFont>(最多255字节)</font>",
                  "<textarea name=Signature rows=3 cols=25>" +
                      server.HTMLEncode(row("signature").Str()) + "</textarea>");
  out += rows.Row("是否允许版主和主持人发送 Email 通知给你？",
                  YesNo("AllowMassMail", FlagSet(row("allowmassmail"))));
  out += "<tr " + s.AltColumnColor1 +
         "><td colspan=2 align=center><input type=submit value=' 确 定 ' class=buttonface> "
         "<input type=reset value=' 重 写 ' class=buttonface></td></tr></table>" +
         s.TableBorderEnd + "</form>";
  return out;
}

}  // namespace

void Corkboard::Profile() {
  std::unique_ptr<Connection> con;
  Recordset rs;
  RunFramedPage({.location = "编辑个人资料", .title = "编辑个人资料", .own_top = true}, [&] {
    const Settings& s = S();
    const Request& request = Request_();
    Response& out = Response_();
    out << ProfileTop(s);
    std::string action = ToLower(request("action").Str());
    const bool signed_in = SignedIn(Session_());
    // A signed-in visit needs no sign-in form; its save still comes as "check".
    if (signed_in && action != "check") action = "chkuser";
    const std::string address = request.ServerVariables("Remote_addr").Str();

    if (action == "chkuser") {
      ActingMember who;
      if (signed_in) {
        who = {Session_().Get("UserName").Str(), Session_().Get("Password").Str()};
      } else {
        who = {Trim(request("username").Str()), Trim(request("password").Str())};
      }
      con = OpenConnection_();
      auto find = [&] {
        rs.Open("select * from register where username='" + SqlQuote(Variant(who.name)) +
                    "' and password='" + SqlQuote(Variant(who.password)) + "'",
                *con, adOpenStatic, adLockReadOnly);
        return !rs.Eof();
      };
      const bool found =
          signed_in ? find() : GuardedPasswordCheck(Application_(), address, who.name, Now(), find);
      if (!found) Refuse(kProfileNotMember);
      // The save is made for the member checked here, not for the form's hidden name.
      if (!signed_in) KeepMemberInSession(Session_(), rs("username").Str(), who.password);
      out << EditForm(s, Server_(), rs);
      return;
    }
    if (action != "check") {
      out << IdentityForm(s, request, "<form action=profile.asp method=post name=chkUser>",
                          "<input type=hidden name=action value=chkUser>",
                          "编辑个人资料，请您通过身份验证：");
      return;
    }

    // The save: the member this visit checked, then the form.
    ProfileSave save;
    const std::string visit_name = Session_().Get("UserName").Str();
    const std::string visit_password = Session_().Get("Password").Str();
    con = OpenConnection_();
    if (!visit_name.empty() && !visit_password.empty()) {
      auto member = con->Execute(
          "select username,password,email from register where "
          "username='" +
          SqlQuote(Variant(visit_name)) + "' and password='" + SqlQuote(Variant(visit_password)) +
          "'");
      if (!member->Eof()) {
        save.member_verified = true;
        save.member = member->Fields("username").Str();
        save.stored_password = member->Fields("password").Str();
        save.stored_email = member->Fields("email").Str();
      }
    }
    save.form_user = request.Form("username").Str();
    save.password = request.Form("password").Str();
    save.password1 = request.Form("Password1").Str();
    save.old_password = request.Form("OldPassword").Str();
    save.email = request.Form("Email").Str();
    save.oicq = Trim(request("oicq").Str());
    save.icq = Trim(request("icq").Str());
    if (s.EMailCheck && save.member_verified && save.email != save.stored_email) {
      save.email_taken = !con->Execute("select username from register where email='" +
                                       SqlQuote(Variant(save.email)) + "' and username<>'" +
                                       SqlQuote(Variant(save.member)) + "'")
                              ->Eof();
    }
    SignInGuard guard(Application_(), address, save.member, Now());
    save.guard_refused = guard.Refused();
    const char* refusal = ProfileSaveRefusal(save);
    if (refusal == kProfileOldPassword) {
      if (!save.guard_refused) guard.Failed();
    } else if (refusal == nullptr && ProfileSaveNeedsOldPassword(save)) {
      guard.Succeeded();
    }
    if (refusal != nullptr) Refuse(Variant(refusal));

    std::string signature = request.Form("Signature").Str();
    if (!signature.empty()) signature = LeftChars(signature, 500);
    const bool name_storage = ToLower(request.Cookies("NameStorage").Str()) == "yes";
    rs.Open("select * from Register where username='" + SqlQuote(Variant(save.member)) + "'", *con,
            adOpenKeyset, adLockOptimistic);
    rs.Set("Password", Variant(save.password));
    rs.Set("email", Variant(save.email));
    rs.Set("location", request.Form("Location"));
    rs.Set("Occupation", request.Form("Occupation"));
    rs.Set("url", request.Form("URL"));
    rs.Set("Interests", request.Form("Interests"));
    rs.Set("Oicq", Variant(save.oicq));
    rs.Set("icq", Variant(save.icq));
    rs.Set("Signature", Variant(signature));
    rs.Set("emailview",
           Variant(static_cast<int16_t>(request.Form("emailview").Str() == "yes" ? 1 : 0)));
    rs.Set("allowmassmail", Variant(request.Form("allowmassmail").Str() == "yes"));
    rs.Set("NameStorage", Variant(name_storage));
    const Variant days_prune = rs("DaysPrune");
    rs.Update();

    // The visit goes on with the new password.
    if (save.password != visit_password) {
      KeepMemberInSession(Session_(), save.member, save.password);
    }
    const DateTime now = Now();
    const DateTime expires = now.DateOnly().AddDays(365);
    const DateTime gone = now.DateOnly().AddDays(-365);
    auto cookie = [&](const char* cookie_name, const std::string& value, DateTime until) {
      out.SetCookie(cookie_name, value);
      out.SetCookieExpires(cookie_name, until);
    };
    if (name_storage) {
      cookie("NameStorage", "yes", expires);
      cookie("UserName", save.member, expires);
      cookie("Password", save.password, expires);
      cookie("DaysPrune",
             days_prune.IsNull() || days_prune.IsEmpty() ? std::to_string(s.DaysPruneDefault)
                                                         : days_prune.Str(),
             expires);
    } else {
      cookie("NameStorage", "no", expires);
      cookie("UserName", "", gone);
      cookie("Password", "", gone);
    }
    out << "<p align=center><a href=default.asp><b>编辑用户资料成功，按此回 " << s.BBName
        << " 首页>></a></b></p>";
  });
  CloseQuietly(&rs, con.get());
}

}  // namespace cb
