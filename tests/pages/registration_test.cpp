// Registration: the rules and the form in both password modes, the mailed password (captured in
// an outbox folder), the typed password, every refusal, and what is stored and set in cookies.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "frame/corkboard.h"
#include "mail/mail.h"
#include "pages/board_seed.h"
#include "support/fake_host.h"
#include "support/page_text.h"

namespace cb {
namespace {

using test::FakeHost;
using test::FormFields;
using test::Has;
using test::SeededBoard;

struct Registration : ::testing::Test {
  FakeHost host;
  SeededBoard board{host};
  std::string outbox = host.services().data_dir + "/outbox";

  void SetUp() override {
    host.Configure({{"SmtpServer", "dir:" + outbox},
                    {"BBName", "测试论坛"},
                    {"BBEMail", "bb@example.com"},
                    {"BBURL", "http://board.example/"}});
  }
  void TypedPasswords() { host.Configure({{"EMailRegister", "false"}}); }

  static FormFields Form(FormFields changes = {}) {
    FormFields f = {{"action", "RegSubmit"},
                    {"UserName", "小明abc"},
                    {"password", "secret1"},
                    {"password2", "secret1"},
                    {"Email", "xm@example.com"},
                    {"OICQ", "12345"},
                    {"ICQ", ""},
                    {"Location", "北京"},
                    {"Occupation", "学生"},
                    {"URL", "http://"},
                    {"Interests", "围棋"},
                    {"Signature", "签名"},
                    {"AllowMassMail", "yes"},
                    {"NameStorage", "yes"},
                    {"DaysPrune", "10"},
                    {"EmailView", "no"}};
    return test::WithChanges(f, changes);
  }
  std::string Submit(const FormFields& form) {
    host.PostForm("/signup.asp", form);
    return host.Run(&Corkboard::RegSubmit);
  }
  Variant Stored(const std::string& column, const std::string& user = "小明abc") {
    return board.Scalar("select " + column + " from register where username='" + user + "'");
  }
  long Members() { return board.Scalar("select count(*) from register").CLng(); }
};

TEST_F(Registration, RulesPageShowsTheConfiguredRules) {
  host.Configure({{"BBRules", "<ol><li>友好交流</li></ol>"}});
  host.Get("/signup.asp");
  const std::string page = host.Run(&Corkboard::Agree);
  EXPECT_TRUE(Has(page, "<form NAME=Register METHOD=POST ACTION=Signup.asp>"));
  EXPECT_TRUE(Has(page, "<ol><li>友好交流</li></ol>"));
  EXPECT_TRUE(Has(page, "<input type=hidden name=action value=Agree>"));
  EXPECT_TRUE(Has(page, "value=同意") && Has(page, "value=不同意"));
  EXPECT_TRUE(Has(page, "<title>用户注册 - 测试论坛</title>"));
}

TEST_F(Registration, FormAsksForAPasswordOnlyWhenNoneIsMailed) {
  for (const bool mailed : {true, false}) {
    SCOPED_TRACE(mailed);
    host.Configure({{"EMailRegister", mailed ? "true" : "false"}, {"DaysPruneDefault", "30"}});
    host.Get("/signup.asp");
    const std::string page = host.Run(&Corkboard::Signup);
    EXPECT_EQ(Has(page, "name=password "), !mailed);
    EXPECT_EQ(Has(page, "name=password2 "), !mailed);
    EXPECT_EQ(Has(page, "我们将根据你提供的邮件地址把注册密码发送给你"), mailed);
    EXPECT_EQ(Has(page, "为了便于其他成员和您联系"), !mailed);
    EXPECT_TRUE(Has(page, "<option value=30 selected>"));
    EXPECT_TRUE(Has(page, "<input type=hidden name=action value=RegSubmit>"));
  }
}

TEST_F(Registration, MailsAGeneratedPasswordAndStoresTheMember) {
  const std::string page = Submit(Form({{"URL", "http://"}, {"Signature", std::string(300, 'x')}}));
  EXPECT_TRUE(Has(page, "小明abc 您好，您已经成功在 测试论坛 注册！")) << page;

  const std::vector<OutboxMail> mails = ReadOutbox(outbox);
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].recipients, std::vector<std::string>{"xm@example.com"});
  EXPECT_EQ(mails[0].subject, "您的用户名和口令");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(mails[0].body, m, std::regex("口令：([0-9A-Za-z]{6})<br>")))
      << mails[0].body;
  EXPECT_TRUE(Has(mails[0].body, "这是您在测试论坛注册的用户名和口令:<br>用户名：小明abc<br>"));
  EXPECT_TRUE(Has(mails[0].body, "<a href=http://board.example/>http://board.example/</a>"));

  EXPECT_EQ(Stored("password").Str(), m[1].str());
  EXPECT_TRUE(Stored("url").IsNull());
  EXPECT_EQ(Stored("signature").Str(), std::string(255, 'x'));
  EXPECT_EQ(Stored("daysprune").CInt(), 10);
  EXPECT_FALSE(Stored("emailview").CBool());
  EXPECT_TRUE(Stored("namestorage").CBool());
  EXPECT_TRUE(Stored("allowmassmail").CBool());
  EXPECT_EQ(Stored("location").Str(), "北京");

  // The name is kept, the password is not: it was never typed here.
  EXPECT_EQ(host.ResponseCookie("NameStorage"), "yes");
  EXPECT_EQ(host.ResponseCookie("UserName"), "小明abc");
  EXPECT_EQ(host.ResponseCookie("DaysPrune"), "10");
  EXPECT_EQ(host.ResponseCookie("LastLoginDT"), "2024-05-09 10:20:30");
  const auto& password_cookie = host.response().cookies().at("Password");
  EXPECT_EQ(password_cookie.value, "");
  EXPECT_EQ(password_cookie.expires, DateTime::FromParts(2023, 5, 10));
}

TEST_F(Registration, FailedMailLeavesNoMember) {
  const std::string blocked = host.services().data_dir + "/not-a-folder";
  std::filesystem::create_directories(host.services().data_dir);
  std::ofstream(blocked) << "a file";
  host.Configure({{"SmtpServer", "dir:" + blocked + "/outbox"}});
  const std::string page = Submit(Form());
  EXPECT_TRUE(Has(page, "对不起，小明abc，由于如下错误，你不能成功的注册:")) << page;
  EXPECT_TRUE(Has(page, ",请注意检查您的email地址！"));
  EXPECT_EQ(Members(), 0);
  EXPECT_TRUE(host.response().cookies().empty());
  // The same name can try again once mail works.
  host.Configure({{"SmtpServer", "dir:" + outbox}});
  EXPECT_TRUE(Has(Submit(Form()), "您好，您已经成功在"));
  EXPECT_EQ(Members(), 1);
}

TEST_F(Registration, TypedPasswordIsStoredAndShownBack) {
  TypedPasswords();
  const std::string page = Submit(Form(
      {{"UserName", "  小明abc "}, {"Location", "<script>x</script>"}, {"NameStorage", "yes"}}));
  EXPECT_TRUE(Has(page, "<title>用户注册</title>"));
  EXPECT_TRUE(Has(page, "小明abc 您好,您已经成功在 测试论坛 注册，以下是您的注册信息！")) << page;
  EXPECT_TRUE(Has(page, "&lt;script&gt;x&lt;/script&gt;"));
  EXPECT_FALSE(Has(page, "<script>"));
  EXPECT_TRUE(page.ends_with("</body></html>"));
  EXPECT_EQ(Stored("password").Str(), "secret1");
  EXPECT_TRUE(ReadOutbox(outbox).empty());
  EXPECT_EQ(host.ResponseCookie("Password"), "secret1");
  EXPECT_EQ(host.ResponseCookie("UserName"), "小明abc");
}

TEST_F(Registration, WithoutNameStorageOnlyThePreferenceAndVisitCookiesAreSet) {
  TypedPasswords();
  Submit(Form({{"NameStorage", "no"}}));
  EXPECT_EQ(host.ResponseCookie("NameStorage"), "no");
  EXPECT_EQ(host.response().cookies().count("UserName"), 0u);
  EXPECT_EQ(host.response().cookies().count("Password"), 0u);
  EXPECT_EQ(host.response().cookies().count("DaysPrune"), 0u);
  EXPECT_EQ(host.ResponseCookie("LastLoginDT"), "2024-05-09 10:20:30");
  EXPECT_FALSE(Stored("namestorage").CBool());
}

TEST_F(Registration, RefusesWithThePagesMessages) {
  TypedPasswords();
  board.Member("taken", "pw");
  struct Case {
    FormFields changes;
    const char* message;
  };
  const char* kBadName =
      "用户名输入错误，请检查！用户名允许输入中文、英文字母、数字，最大长度为15！";
  const Case cases[] = {
      {{{"UserName", "bad_name"}}, kBadName},
      {{{"UserName", "o'neil"}}, kBadName},
      {{{"UserName", "<b>x</b>"}}, kBadName},
      {{{"UserName", "a b"}}, kBadName},
      {{{"UserName", "   "}}, kBadName},
      {{{"UserName", "abcdefghijklmnop"}}, kBadName},
      {{{"password", ""}, {"password2", ""}}, "口令不能为空，请输入您的口令！"},
      {{{"password2", "other"}}, "两口令输入不符，请重新检查您输入的口令。"},
      {{{"Email", ""}}, "你必须输入一个Email地址！"},
      {{{"Email", "xm@examplecom"}}, "你输入的Email地址不合法，请重新输入！"},
      {{{"Email", "xm.example.com"}}, "你输入的Email地址不合法，请重新输入！"},
      {{{"Email", "taken@example.com"}}, "您输入的 EMail 已经有人使用"},
      {{{"UserName", "taken"}, {"Email", "new@example.com"}},
       "用户名称同已有用户重复，请使用其它名称！"},
      {{{"UserName", "TAKEN"}, {"Email", "new@example.com"}}, "用户名称同已有用户重复"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message + std::string(" ") + c.changes[0].second);
    const std::string page = Submit(Form(c.changes));
    EXPECT_TRUE(Has(page, c.message)) << page;
    EXPECT_FALSE(Has(page, "</body></html>")) << "a refusal ends with the error page";
    EXPECT_EQ(Members(), 1);
    EXPECT_TRUE(host.response().cookies().empty());
  }
}

TEST_F(Registration, AddressesAreCheckedForBothSignsOnly) {
  TypedPasswords();
  // Any order and position of "@" and "." passes.
  EXPECT_TRUE(Has(Submit(Form({{"UserName", "a1"}, {"Email", ".x@y"}})), "成功"));
  // Without the one-address rule two members may share an address.
  host.Configure({{"EMailCheck", "false"}});
  EXPECT_TRUE(Has(Submit(Form({{"UserName", "a2"}, {"Email", ".x@y"}})), "成功"));
  EXPECT_EQ(Members(), 2);
}

}  // namespace
}  // namespace cb
