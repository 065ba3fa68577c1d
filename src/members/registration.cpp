// Registration: Agree (the board's rules), Signup (the form) and RegSubmit, which checks the form,
// mails a generated password when the board says so, creates the member and sets its cookies.
#include <memory>
#include <utility>
#include <vector>

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

}  // namespace

void Corkboard::Agree() {
  std::string listed;
  UpdateOnline(Request_().ServerVariables("Remote_addr").Str(), "用户注册", listed);
  const Settings& s = S();
  Response& out = Response_();
  out << WritePageHead(s, "用户注册 - " + s.BBName) << "<center>" << RegistrationTop(s)
      << "<form NAME=Register METHOD=POST ACTION=Signup.asp>"
      << "<table cellpadding=4 cellspacing=1 border=0 width=" << s.TableWidth << " align=center>"
      << "<tr " << s.TableColorStrip << "><td align=center><font color=" << s.TableStripTextColor
      << "><b>论坛规则及用户协议</b></font></td></tr>"
      << "<tr " << s.AltColumnColor1 << "><td>"
      << "在此论坛注册是完全免费的！但你必须首先同意遵守以下的规则，请仔细阅读下列条款，单击“我同意"
         "“"
         "按钮，进行注册，如果你不同意，按“不同意”按钮退出."
      << "</td></tr>"
      // The rules are the operator's HTML, written as stored.
      << "<tr " << s.AltColumnColor2 << "><td>" << Application_().Get("BBRules").Str()
      << "</td></tr>"
      << "</table>"
      << "<input type=hidden name=action value=Agree>"
      << "<p><input type=submit name=Submit value=同意 class=buttonface>&nbsp;&nbsp;"
      << "<input type=submit name=Submit value=不同意 class=buttonface></p>"
      << "</form></center>" << s.Copyright << "</body></html>";
}

void Corkboard::Signup() {
  std::string listed;
  UpdateOnline(Request_().ServerVariables("Remote_addr").Str(), "用户注册", listed);
  const Settings& s = S();
  Response& out = Response_();
  Rows rows(s);
  out << WritePageHead(s, "用户注册 - " + s.BBName) << "<center>" << RegistrationTop(s)
      << "<form NAME=Register METHOD=POST ACTION=Signup.asp>" << s.TableBorderStart
      << "<table cellpadding=4 cellspacing=1 border=0 width=" << s.InnerTableWidth << ">"
      << rows.Next()
      << "<td colspan=2><b>要发表贴子，你首先要注册.</b><br>"
         "用户名最长15个字符，只能使用中文、英文字母和数字。<br>"
         "除了密码以外，你填写的资料将对其他成员公开。</td></tr>"
      << rows.Field("用户名*", TextInput("UserName", 25, 15));
  if (!s.EMailRegister) {
    out << rows.Field("密码*",
                      "<input type=password name=password size=13 maxlength=13 class=smallinput>")
        << rows.Field("重复密码*",
                      "<input type=password name=password2 size=13 maxlength=13 class=smallinput>");
  }
  out << rows.Next() << "<td colspan=2>"
      << (s.EMailRegister ? "重要信息：我们将根据你提供的邮件地址把注册密码发送给你。因此，错误的电"
                            "子邮件地址将导致"
                            "你无法发表信息。"
                          : "重要信息：为了便于其他成员和您联系，请输入您正确的电子邮件地址！")
      << "</td></tr>" << rows.Field("Email*", TextInput("Email", 30, 50))
      << rows.Field("OICQ(有的话还是输入它吧)", TextInput("OICQ", 10, 10))
      << rows.Field("ICQ(我们的论坛允许别人在Web页发消息给您)", TextInput("ICQ", 10, 10))
      << rows.Field("所在市, 省, 国", TextInput("Location", 30, 50))
      << rows.Field("职业", TextInput("Occupation", 30, 50))
      << rows.Field("主页", TextInput("URL", 30, 100, "http://"))
      << rows.Field("兴趣", TextInput("Interests", 30, 200))
      << rows.Field("签名<br><font class=smallFont>(最多255个字符)</font>",
                    "<textarea name=Signature rows=3 cols=25></textarea>")
      << rows.Field("是否允许版主和主持人发送 Email通知给你？", YesNo("AllowMassMail"))
      << "</table>" << s.TableBorderEnd << "<br>" << s.TableBorderStart
      << "<table cellpadding=4 cellspacing=1 border=0 width=" << s.InnerTableWidth << ">"
      << "<tr " << s.TableColorStrip << "><td colspan=2><font color=" << s.TableStripTextColor
      << "><b>设置个人选项:</b></font></td></tr>";
  Rows options(s);
  out << options.Next()
      << "<td colspan=2>以下选项使用 cookie 保存在你的浏览器中，请不要在浏览器中关闭 cookie。</td>"
         "</tr>"
      << options.Field("在浏览器中保存用户名和密码一年？", YesNo("NameStorage"))
      << options.Field("缺省显示多少天内的话题？", DaysPruneSelect(s.DaysPruneDefault))
      << options.Field("在贴子中显示你的Email地址？", YesNo("EmailView")) << "</table>"
      << s.TableBorderEnd << "<input type=hidden name=action value=RegSubmit>"
      << "<p><input type=submit name=Submit value=提交 class=buttonface>&nbsp;&nbsp;"
      << "<input type=reset name=Reset value=重置 class=buttonface></p>"
      << "</form></center>" << s.Copyright << "</body></html>";
}

void Corkboard::RegSubmit() {
  std::unique_ptr<Connection> con;
  Recordset rs;
  RunPage(
      [&] {
        std::string listed;
        UpdateOnline(Request_().ServerVariables("Remote_addr").Str(), "注册", listed);
        const Settings& s = S();
        const Request& request = Request_();

        std::string checked = request("UserName").Str();
        if (!CheckUserName(checked, 15)) {
          Refuse(Variant(
              "用户名输入错误，请检查！用户名允许输入中文、英文字母、数字，最大长度为15！"));
        }
        std::string password;
        if (!s.EMailRegister) {
          password = request("Password").Str();
          if (password.empty()) Refuse(Variant("口令不能为空，请输入您的口令！"));
          if (password != request("Password2").Str()) {
            Refuse(Variant("两口令输入不符，请重新检查您输入的口令。"));
          }
        }

        const std::string user = Trim(request("UserName").Str());
        const std::string email = request("Email").Str();
        const std::string url = request("URL").Str();
        std::string signature = request("Signature").Str();
        if (!signature.empty()) signature = LeftChars(signature, 255);
        if (user.empty()) Refuse(Variant("你必须输入用户名！按浏览器的后退按钮可重新处理！"));
        if (const char* refusal = EmailRefusal(email)) Refuse(Variant(refusal));

        // Messenger numbers end up inside a script address of the thread view: digits only.
        const std::string oicq = Trim(request("OICQ").Str());
        const std::string icq = Trim(request("ICQ").Str());
        if (!CheckMessengerNumber(oicq) || !CheckMessengerNumber(icq)) {
          Refuse(Variant(kMessengerNumberMessage));
        }

        con = OpenConnection_();
        if (s.EMailCheck) {
          auto same_mail = con->Execute("select username from register where email='" +
                                        SqlQuote(Variant(email)) + "'");
          if (!same_mail->Eof()) Refuse(Variant(kEmailTaken));
        }
        rs.Open("select * from register where username='" + SqlQuote(Variant(user)) + "'", *con,
                adOpenKeyset, adLockOptimistic);
        if (!rs.Eof()) {
          Refuse(Variant("用户名称同已有用户重复，请使用其它名称！按浏览器的后退按钮可重新处理！"));
        }

        if (s.EMailRegister) {
          password = RandomText(6);
          const std::string body = "这是您在" + s.BBName + "注册的用户名和口令:<br>" + "用户名：" +
                                   user + "<br>" + "口令：" + password + "<br>" +
                                   "你可通过如下地址:<a href=" + s.BBURL + ">" + s.BBURL +
                                   "</a>更改您的缺省口令！";
          std::string error;
          if (!SendMail(s, *Context().services().clock, s.BBName, s.BBEMail, user, email,
                        "您的用户名和口令", body, error)) {
            // The component's text may repeat the typed address: shown as text.
            Refuse(Variant(
                "对不起，" + user +
                "，由于如下错误，你不能成功的注册:" + Server_().HTMLEncode(error) +
                ",请注意检查您的email地址！按浏览器的后退按钮可重新处理！或同<a href=mailto:" +
                s.BBEMail + ">我们联系</a>！"));
          }
        }

        const bool name_storage = request("NameStorage").Str() == "yes";
        const int16_t days_prune = request("DaysPrune").CInt();
        rs.AddNew();
        rs.Set("username", Variant(user));
        rs.Set("email", Variant(email));
        rs.Set("location", request("Location"));
        rs.Set("Occupation", request("Occupation"));
        rs.Set("Interests", request("Interests"));
        // An absent or blank number is stored as the form sent it (usually no value at all).
        rs.Set("OICQ", oicq.empty() ? request("OICQ") : Variant(oicq));
        rs.Set("icq", icq.empty() ? request("ICQ") : Variant(icq));
        if (url != "http://" && url != "http:///") rs.Set("URL", Variant(url));
        rs.Set("Signature", Variant(signature));
        rs.Set("NameStorage", Variant(static_cast<int16_t>(name_storage ? 1 : 0)));
        rs.Set("DaysPrune", Variant(days_prune));
        rs.Set("EmailView",
               Variant(static_cast<int16_t>(request("EmailView").Str() == "yes" ? 1 : 0)));
        rs.Set("Password", Variant(password));
        rs.Set("allowmassmail", Variant(request("allowmassmail").Str() == "yes"));
        rs.Update();

        const DateTime now = Now();
        const DateTime expires = now.DateOnly().AddDays(365);
        Response& out = Response_();
        auto cookie = [&](const char* name, const std::string& value, DateTime until) {
          out.SetCookie(name, value);
          out.SetCookieExpires(name, until);
        };
        if (name_storage) {
          cookie("NameStorage", "yes", expires);
          cookie("UserName", user, expires);
          if (!s.EMailRegister) {
            cookie("Password", password, expires);
          } else {
            cookie("Password", "", now.DateOnly().AddDays(-365));
          }
          cookie("DaysPrune", std::to_string(days_prune), expires);
        } else {
          cookie("NameStorage", "no", expires);
        }
        cookie(kLastVisitCookie, now.GeneralText(), expires);

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
        // What the visitor typed is shown back as text.
        const Server& server = Server_();
        Rows rows(s);
        out << WritePageHead(s, "用户注册") << user << " 您好,您已经成功在 " << s.BBName
            << " 注册，以下是您的注册信息！"
            << "<table cellspacing=1 cellpadding=4 border=0 width=" << s.TableWidth << ">";
        const std::pair<const char*, std::string> shown[] = {
            {"注册名", user},
            {"口令", password},
            {"电子邮件", email},
            {"OICQ", oicq},
            {"ICQ", icq},
            {"主页", url},
            {"来自", request("Location").Str()},
            {"职业", request("Occupation").Str()},
            {"兴趣", request("Interests").Str()},
            {"签名", signature},
        };
        for (const auto& [caption, value] : shown) {
          out << rows.Next() << "<td width=20%>" << caption << "</td><td>"
              << server.HTMLEncode(value) << "</td></tr>";
        }
        out << "</table>"
            << "按<a href=default.asp>此进入 " << s.BBName << "</a>"
            << "</body>"
            << "</html>";
      },
      [] {});
  CloseQuietly(&rs, con.get());
}

}  // namespace cb
