// Registration: the rules and the form in both password modes, the mailed password (captured in
// an outbox folder), the typed password, every refusal, and what is stored and set in cookies.
// The pages are golden files.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "frame/corkboard.h"
#include "mail/mail.h"
#include "support/fake_host.h"
#include "support/golden.h"
#include "support/page_text.h"
#include "support/test_board.h"

namespace cb {
namespace {

using test::FakeHost;
using test::FormFields;
using test::Has;
using test::TestBoard;

struct Registration : ::testing::Test {
  FakeHost host;
  TestBoard board{host};
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

TEST_F(Registration, RulesAndFormInBothPasswordModes) {
  host.Configure({{"BBRules", "<ol><li>友好交流</li></ol>"}, {"DaysPruneDefault", "30"}});
  host.Get("/signup.asp");
  std::string pages = test::GoldenCase("rules", host.Run(&Corkboard::Agree));
  for (const char* mailed : {"true", "false"}) {
    host.Configure({{"EMailRegister", mailed}});
    host.Get("/signup.asp");
    pages += test::GoldenCase(std::string("form, EMailRegister=") + mailed,
                              host.Run(&Corkboard::Signup));
  }
  EXPECT_GOLDEN("members/signup", pages);
}

TEST_F(Registration, MailsAGeneratedPasswordAndStoresTheMember) {
  const std::string page = Submit(Form({{"URL", "http://"}, {"Signature", std::string(300, 'x')}}));
  const std::vector<OutboxMail> mails = ReadOutbox(outbox);
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].recipients, std::vector<std::string>{"xm@example.com"});
  EXPECT_EQ(mails[0].subject, "您的用户名和口令");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(mails[0].body, m, std::regex("口令：([0-9A-Za-z]{6})<br>")))
      << mails[0].body;
  const std::string password = m[1].str();
  std::string body = mails[0].body;
  body.replace(m.position(1), password.size(), "******");
  EXPECT_GOLDEN("members/registration_mailed",
                test::GoldenCase("page", page) + test::GoldenCase("mail", body));

  EXPECT_EQ(Stored("password").Str(), password);
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

TEST_F(Registration, TypedPasswordIsStoredAndShownBack) {
  TypedPasswords();
  EXPECT_GOLDEN("members/registration_typed", Submit(Form({{"UserName", "  小明abc "},
                                                           {"Location", "<script>x</script>"},
                                                           {"NameStorage", "yes"}})));
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

// Which names pass is CheckUserName's (procedures_test); here the page applies it with its limit.
TEST_F(Registration, RefusesWithThePagesMessages) {
  TypedPasswords();
  board.AddMember("taken", "pw", {.email = "taken@example.com"});
  // The golden file's cases are the changed fields, "name=value " each.
  test::ExpectGoldenCases("members/registration_refused", [&](const std::string& changes) {
    const std::string page = Submit(Form(test::FieldsOf(changes, " ")));
    EXPECT_EQ(Members(), 1);
    EXPECT_TRUE(host.response().cookies().empty());
    return page;
  });
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
