// Registration: Agree (the board's rules), Signup (the form) and RegSubmit, which checks the form,
// mails a generated password when the board says so, creates the member and sets its cookies.
#include "members/registration.h"

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "frame/checks.h"
#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "mail/mail.h"
#include "members/member_pages.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

constexpr int kDaysPruneChoices[] = {1, 2, 5, 10, 20, 30, 45, 60, 75, 100, 365, 0};

// The top of the two registration pages: the logo and the board's name, or the CLUB top.
std::string RegistrationTop(const Settings& s) {
  if (s.BBSTYLE == "CBK") {
    return "<table border=0 width=" + s.TableWidth + "><tr><td>" + s.Logo + "</td>" +
           "<td align=center valign=middle><font class=bbtitle>" + s.BBName +
           " 用户注册</font></td></tr></table>";
  }
  if (s.BBSTYLE == "CLUB") return ClubPageTop(s);
  return "";
}

// Rows of a form table alternate the two column colours.
class Rows {
 public:
  explicit Rows(const Settings& s) : s_(s) {}
  std::string Next() {
    return "<tr " + std::string(odd_++ % 2 == 0 ? s_.AltColumnColor1 : s_.AltColumnColor2) + ">";
  }
  // A caption cell and a field cell.
  std::string Field(const std::string& caption, const std::string& field) {
    return Next() + "<td width=40%><b>" + caption + "</b></td><td>" + field + "</td></tr>";
  }

 private:
  const Settings& s_;
  int odd_ = 0;
};

std::string TextInput(const char* name, int size, int maxlength, const char* value = "") {
  return std::string("<input type=text name=") + name + " size=" + std::to_string(size) +
         " maxlength=" + std::to_string(maxlength) + " value=\"" + value + "\" class=smallinput>";
}

std::string YesNo(const char* name) {
  return std::string("<input type=radio name=") + name + " value=yes checked>是 " +
         "<input type=radio name=" + name + " value=no>否";
}

std::string DaysPruneSelect(int16_t chosen) {
  std::string out = "<select name=DaysPrune class=smallsel>";
  for (int days : kDaysPruneChoices) {
    out += "<option value=" + std::to_string(days) + (days == chosen ? " selected>" : ">") +
           (days == 0 ? std::string("所有的话题") : std::to_string(days) + " 天内的话题");
  }
  return out + "</select>";
}

const Rule<RegistrationFacts, const char*> kRegistrationRules[] = {
    {"用户名输入错误，请检查！用户名允许输入中文、英文字母、数字，最大长度为15！",
     [](const RegistrationFacts& f) {
       std::string name = f.name_field;
       return !CheckUserName(name, 15);
     }},
    {"口令不能为空，请输入您的口令！",
     [](const RegistrationFacts& f) { return !f.email_register && f.password.empty(); }},
    {"两口令输入不符，请重新检查您输入的口令。",
     [](const RegistrationFacts& f) { return !f.email_register && f.password != f.password2; }},
    {"你必须输入用户名！按浏览器的后退按钮可重新处理！",
     [](const RegistrationFacts& f) { return f.user.empty(); }},
    {kEmailMissing, [](const RegistrationFacts& f) { return f.email.empty(); }},
    {kEmailInvalid, [](const RegistrationFacts& f) { return EmailMalformed(f.email); }},
    // Messenger numbers end up inside a script address of the thread view: digits only.
    {kMessengerNumberMessage,
     [](const RegistrationFacts& f) {
       return !CheckMessengerNumber(f.oicq) || !CheckMessengerNumber(f.icq);
     }},
    {kEmailTaken, [](const RegistrationFacts& f) { return Known(f.email_taken); }},
    {"用户名称同已有用户重复，请使用其它名称！按浏览器的后退按钮可重新处理！",
     [](const RegistrationFacts& f) { return Known(f.name_taken); }},
};

RegistrationFacts ReadRegistration(const Request& request, const Settings& s) {
  RegistrationFacts f;
  f.email_register = s.EMailRegister;
  f.name_field = request("UserName").Str();
  if (!s.EMailRegister) {
    f.password = request("Password").Str();
    f.password2 = request("Password2").Str();
  }
  f.user = Trim(f.name_field);
  f.email = request("Email").Str();
  f.oicq = Trim(request("OICQ").Str());
  f.icq = Trim(request("ICQ").Str());
  return f;
}

// A registration that passed its checks, with the password it gets.
struct Registered {
  const RegistrationFacts& form;
  std::string password;
  std::string signature;  // at most 255 characters
};

std::string PasswordMailBody(const Settings& s, const std::string& user,
                             const std::string& password) {
  return "这是您在" + s.BBName + "注册的用户名和口令:<br>" + "用户名：" + user + "<br>" + "口令：" +
         password + "<br>" + "你可通过如下地址:<a href=" + s.BBURL + ">" + s.BBURL +
         "</a>更改您的缺省口令！";
}

// The member's row on the record set that found the name free.
void AddMember(Recordset& rs, const Request& request, const Registered& m) {
  const std::string url = request("URL").Str();
  const int16_t days_prune = request("DaysPrune").CInt();  // may raise: before the row starts
  rs.AddNew();
  rs.Set("username", Variant(m.form.user));
  rs.Set("email", Variant(m.form.email));
  rs.Set("location", request("Location"));
  rs.Set("Occupation", request("Occupation"));
  rs.Set("Interests", request("Interests"));
  // An absent or blank number is stored as the form sent it (usually no value at all).
  rs.Set("OICQ", m.form.oicq.empty() ? request("OICQ") : Variant(m.form.oicq));
  rs.Set("icq", m.form.icq.empty() ? request("ICQ") : Variant(m.form.icq));
  if (url != "http://" && url != "http:///") rs.Set("URL", Variant(url));
  rs.Set("Signature", Variant(m.signature));
  rs.Set("NameStorage", Variant(static_cast<int16_t>(request("NameStorage").Str() == "yes")));
  rs.Set("DaysPrune", Variant(days_prune));
  rs.Set("EmailView", Variant(static_cast<int16_t>(request("EmailView").Str() == "yes")));
  rs.Set("Password", Variant(m.password));
  rs.Set("allowmassmail", Variant(request("allowmassmail").Str() == "yes"));
  rs.Update();
}

// The identity cookies of the new member, a year long.
void SetMemberCookies(Response& out, const Settings& s, const Request& request, const Registered& m,
                      const DateTime& now) {
  const DateTime expires = now.DateOnly().AddDays(365);
  if (request("NameStorage").Str() == "yes") {
    out.SetCookie("NameStorage", "yes", expires);
    out.SetCookie("UserName", m.form.user, expires);
    if (!s.EMailRegister) {
      out.SetCookie("Password", m.password, expires);
    } else {
      out.SetCookie("Password", "", now.DateOnly().AddDays(-365));
    }
    out.SetCookie("DaysPrune", std::to_string(request("DaysPrune").CInt()), expires);
  } else {
    out.SetCookie("NameStorage", "no", expires);
  }
  out.SetCookie(kLastVisitCookie, now.GeneralText(), expires);
}

// The page that shows the new member what was registered; what the visitor typed is text.
void WriteRegistered(Response& out, const Settings& s, const Server& server, const Request& request,
                     const Registered& m) {
  const std::string& user = m.form.user;
  Rows rows(s);
  out << WritePageHead(s, "用户注册") << user << " 您好,您已经成功在 " << s.BBName
      << " 注册，以下是您的注册信息！"
      << "<table cellspacing=1 cellpadding=4 border=0 width=" << s.TableWidth << ">";
  const std::pair<const char*, std::string> shown[] = {
      {"注册名", user},
      {"口令", m.password},
      {"电子邮件", m.form.email},
      {"OICQ", m.form.oicq},
      {"ICQ", m.form.icq},
      {"主页", request("URL").Str()},
      {"来自", request("Location").Str()},
      {"职业", request("Occupation").Str()},
      {"兴趣", request("Interests").Str()},
      {"签名", m.signature},
  };
  for (const auto& [caption, value] : shown) {
    out << rows.Next() << "<td width=20%>" << caption << "</td><td>" << server.HTMLEncode(value)
        << "</td></tr>";
  }
  out << "</table>"
      << "按<a href=default.asp>此进入 " << s.BBName << "</a>"
      << "</body>"
      << "</html>";
}

// The form's first table: the member's name, password and particulars. Rows alternate their
// colours in order, so each is appended in a statement of its own.
std::string MemberFields(const Settings& s) {
  Rows rows(s);
  std::string out = s.TableBorderStart +
                    "<table cellpadding=4 cellspacing=1 border=0 width=" + s.InnerTableWidth + ">";
  out += rows.Next();
  out +=
      "<td colspan=2><b>要发表贴子，你首先要注册.</b><br>"
      "用户名最长15个字符，只能使用中文、英文字母和数字。<br>"
      "除了密码以外，你填写的资料将对其他成员公开。</td></tr>";
  out += rows.Field("用户名*", TextInput("UserName", 25, 15));
  if (!s.EMailRegister) {
    out += rows.Field("密码*",
                      "<input type=password name=password size=13 maxlength=13 class=smallinput>");
    out += rows.Field("重复密码*",
                      "<input type=password name=password2 size=13 maxlength=13 class=smallinput>");
  }
  out += rows.Next();
  out += "<td colspan=2>";
  out += s.EMailRegister ? "重要信息：我们将根据你提供的邮件地址把注册密码发送给你。因此，错误的电"
                           "子邮件地址将导致"
                           "你无法发表信息。"
                         : "重要信息：为了便于其他成员和您联系，请输入您正确的电子邮件地址！";
  out += "</td></tr>";
  const std::pair<const char*, std::string> fields[] = {
      {"Email*", TextInput("Email", 30, 50)},
      {"OICQ(有的话还是输入它吧)", TextInput("OICQ", 10, 10)},
      {"ICQ(我们的论坛允许别人在Web页发消息给您)", TextInput("ICQ", 10, 10)},
      {"所在市, 省, 国", TextInput("Location", 30, 50)},
      {"职业", TextInput("Occupation", 30, 50)},
      {"主页", TextInput("URL", 30, 100, "http://")},
      {"兴趣", TextInput("Interests", 30, 200)},
      {"签名<br><font class=smallFont>(最多255个字符)</font>",
       "<textarea name=Signature rows=3 cols=25></textarea>"},
      {"是否允许版主和主持人发送 Email通知给你？", YesNo("AllowMassMail")},
  };
  for (const auto& [caption, field] : fields) out += rows.Field(caption, field);
  return out + "</table>" + s.TableBorderEnd + "<br>";
}

// The form's second table: the choices kept in cookies.
std::string OptionFields(const Settings& s) {
  Rows rows(s);
  std::string out = s.TableBorderStart +
                    "<table cellpadding=4 cellspacing=1 border=0 width=" + s.InnerTableWidth + ">" +
                    "<tr " + s.TableColorStrip +
                    "><td colspan=2><font color=" + s.TableStripTextColor +
                    "><b>设置个人选项:</b></font></td></tr>";
  out += rows.Next();
  out +=
      "<td colspan=2>以下选项使用 cookie 保存在你的浏览器中，请不要在浏览器中关闭 cookie。</td>"
      "</tr>";
  out += rows.Field("在浏览器中保存用户名和密码一年？", YesNo("NameStorage"));
  out += rows.Field("缺省显示多少天内的话题？", DaysPruneSelect(s.DaysPruneDefault));
  out += rows.Field("在贴子中显示你的Email地址？", YesNo("EmailView"));
  return out + "</table>" + s.TableBorderEnd;
}

}  // namespace

// Agree and Signup install no error handler: an error reaches the host.
const FramedPage kRegistrationFrame{
    .location = "用户注册", .title = "用户注册", .own_top = true, .handles_errors = false};

void Corkboard::Agree() {
  RunFramedPage(kRegistrationFrame, [&] {
    const Settings& s = S();
    Response_()
        << RegistrationTop(s) << "<form NAME=Register METHOD=POST ACTION=Signup.asp>"
        << "<table cellpadding=4 cellspacing=1 border=0 width=" << s.TableWidth << " align=center>"
        << "<tr " << s.TableColorStrip << "><td align=center><font color=" << s.TableStripTextColor
        << "><b>论坛规则及用户协议</b></font></td></tr>"
        << "<tr " << s.AltColumnColor1 << "><td>"
        << "在此论坛注册是完全免费的！但你必须首先同意遵守以下的规则，请仔细阅读下列条款，单击“我同"
           "意“"
           "按钮，进行注册，如果你不同意，按“不同意”按钮退出."
        << "</td></tr>"
        // The rules are the operator's HTML, written as stored.
        << "<tr " << s.AltColumnColor2 << "><td>" << Application_().Get("BBRules").Str()
        << "</td></tr>"
        << "</table>"
        << "<input type=hidden name=action value=Agree>"
        << "<p><input type=submit name=Submit value=同意 class=buttonface>&nbsp;&nbsp;"
        << "<input type=submit name=Submit value=不同意 class=buttonface></p>"
        << "</form>";
  });
}

void Corkboard::Signup() {
  RunFramedPage(kRegistrationFrame, [&] {
    const Settings& s = S();
    Response_() << RegistrationTop(s) << "<form NAME=Register METHOD=POST ACTION=Signup.asp>"
                << MemberFields(s) << OptionFields(s)
                << "<input type=hidden name=action value=RegSubmit>"
                << "<p><input type=submit name=Submit value=提交 class=buttonface>&nbsp;&nbsp;"
                << "<input type=reset name=Reset value=重置 class=buttonface></p>"
                << "</form>";
  });
}

std::optional<const char*> RegistrationRefusal(const RegistrationFacts& f) {
  return FirstRefusal(kRegistrationRules, f);
}

void Corkboard::RegSubmit() {
  std::unique_ptr<Connection> con;
  Recordset rs;
  RunPage(
      [&] {
        RecordVisit("注册");
        const Settings& s = S();
        const Request& request = Request_();
        RegistrationFacts facts = ReadRegistration(request, s);
        if (auto refusal = RegistrationRefusal(facts)) Refuse(*refusal);

        con = OpenConnection_();
        if (s.EMailCheck) {
          facts.email_taken = !con->Execute("select username from register where email='" +
                                            SqlQuote(Variant(facts.email)) + "'")
                                   ->Eof();
        }
        rs.Open("select * from register where username='" + SqlQuote(Variant(facts.user)) + "'",
                *con, adOpenKeyset, adLockOptimistic);
        facts.name_taken = !rs.Eof();
        if (auto refusal = RegistrationRefusal(facts)) Refuse(*refusal);

        const std::string& user = facts.user;
        std::string password = facts.password;
        if (s.EMailRegister) {
          password = RandomText(6, *Env().random);
          std::string error;
          if (!SendMail(s, *Env().clock, s.BBName, s.BBEMail, user, facts.email, "您的用户名和口令",
                        PasswordMailBody(s, user, password), error)) {
            // The component's text may repeat the typed address: shown as text.
            Refuse(Variant(
                "对不起，" + user +
                "，由于如下错误，你不能成功的注册:" + Server_().HTMLEncode(error) +
                ",请注意检查您的email地址！按浏览器的后退按钮可重新处理！或同<a href=mailto:" +
                s.BBEMail + ">我们联系</a>！"));
          }
        }
        const Registered member{facts, password, LeftChars(request("Signature").Str(), 255)};
        AddMember(rs, request, member);
        SetMemberCookies(Response_(), s, request, member, Now());
        if (s.EMailRegister) {
          ErrorForm(Variant(user + " 您好，您已经成功在 " + s.BBName +
                            " 注册！请按电子邮件中的您的用户信息登陆 " + s.BBName +
                            " ，我们强烈建议你通过“编辑个人资料“功能改变你的缺省口令。如果你没有能"
                            "够收到我们的电子邮件，"
                            "请和<a href=mailto:" +
                            s.BBEMail +
                            ">我们</a>取得联系！谢谢您的注册！<a href=default.asp>进入" + s.BBName +
                            "</a>"));
          return;
        }
        WriteRegistered(Response_(), s, Server_(), request, member);
      },
      [] {});
  CloseQuietly(&rs, con.get());
}

}  // namespace cb
