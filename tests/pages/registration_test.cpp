// Registration in both password modes: the pages, the mail, what is stored and set in cookies.
#include <filesystem>
#include <memory>

#include "frame/procedures.h"
#include "mail/mail.h"
#include "support/fake_smtp.h"
#include "support/page_test.h"

namespace cb {
namespace {

struct Registration : test::BoardTest {
  std::string outbox = test::MailIntoFolder(host);
  // Keeps what it is given, or refuses everything with reason.
  std::shared_ptr<test::FakeTransport> transport = std::make_shared<test::FakeTransport>();

  void TypedPasswords() { host.Configure({{"EMailRegister", "false"}}); }

  static FormFields Form(FormFields changes = {}) {
    const FormFields f = test::FieldsOf(
        "action=RegSubmit&UserName=小明abc&password=secret1&password2=secret1&Email=xm@example.com&"
        "OICQ=12345&ICQ=&Location=北京&Occupation=学生&URL=http://&Interests=围棋&Signature=签名&"
        "AllowMassMail=yes&NameStorage=yes&DaysPrune=10&EmailView=no",
        "&");
    return WithChanges(f, changes);
  }
  std::string Register() { return Submit(Form({{"UserName", "小明"}, {"NameStorage", "no"}})); }
  std::string Submit(const FormFields& form) {
    return host.PostForm("/signup.asp", form).Run(&Corkboard::RegSubmit);
  }
  Variant Stored(const std::string& column, const std::string& user = "小明abc") {
    return board.Scalar("select " + column + " from register where username='" + user + "'");
  }
  // The member's stored choices and the cookies the page set.
  std::string Member(const std::string& user = "小明abc") {
    return "\n" +
           test::Rows(board,
                      "select url,signature,daysprune,emailview,namestorage,allowmassmail,"
                      "location from register where username='" +
                          user + "'") +
           test::SetCookies(host);
  }
  long Members() { return board.Scalar("select count(*) from register").CLng(); }
};

TEST_F(Registration, RulesAndFormInBothPasswordModes) {
  host.Configure({{"BBRules", "<ol><li>友好交流</li></ol>"}, {"DaysPruneDefault", "30"}});
  std::string pages = GoldenCase("rules", host.Get("/signup.asp").Run(&Corkboard::Agree));
  for (const char* mailed : {"true", "false"}) {
    host.Configure({{"EMailRegister", mailed}});
    host.Get("/signup.asp");
    pages += GoldenCase(std::string("form, EMailRegister=") + mailed, host.Run(&Corkboard::Signup));
  }
  EXPECT_GOLDEN("members/signup", pages);
}

TEST_F(Registration, MailsAGeneratedPasswordAndStoresTheMember) {
  const std::string page = Submit(Form({{"URL", "http://"}, {"Signature", std::string(300, 'x')}}));
  const std::vector<OutboxMail> mails = ReadOutbox(outbox);
  ASSERT_EQ(mails.size(), 1u);
  // The mailed password is the stored one, six letters or digits.
  const std::string password = Stored("password").Str();
  std::string body = mails[0].body;
  const size_t at = body.find("口令：" + password + "<br>");
  ASSERT_TRUE(password.size() == 6 && at != std::string::npos) << body;
  body.replace(at + std::string("口令：").size(), 6, "******");
  body = "to " + mails[0].recipients.at(0) + "\n" + mails[0].subject + "\n" + body;
  // The name is kept, the password is not: it was never typed here.
  EXPECT_TRUE(Stored("url").IsNull());
  EXPECT_GOLDEN("members/registration_mailed",
                GoldenCase("page", page) + GoldenCase("mail", body) + Member());
}

TEST_F(Registration, TypedPasswordIsStoredAndShownBack) {
  TypedPasswords();
  std::string out = Submit(Form({{"UserName", "  小明abc "}, {"Location", "<script>x</script>"}}));
  EXPECT_TRUE(ReadOutbox(outbox).empty());
  out += Member() + Stored("password").Str() + "\n";
  // Without name storage only the preference and visit cookies are set.
  Submit(Form({{"UserName", "小明2"}, {"Email", "xm2@example.com"}, {"NameStorage", "no"}}));
  EXPECT_GOLDEN("members/registration_typed", out + Member("小明2"));
}

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
  std::string pages = GoldenCase("a1", Submit(Form({{"UserName", "a1"}, {"Email", ".x@y"}})));
  // Without the one-address rule two members may share an address.
  host.Configure({{"EMailCheck", "false"}});
  pages += GoldenCase("a2", Submit(Form({{"UserName", "a2"}, {"Email", ".x@y"}})));
  EXPECT_GOLDEN("members/registration_addresses", pages);
  EXPECT_EQ(Members(), 2);
}

// The environment pages reach the outside world through: a mail transport installed there takes
// every mail of the board, and the random source makes the generated password.
TEST_F(Registration, InstalledTransportTakesTheMailInsteadOfTheServerSetting) {
  host.services().mail_transport = transport;
  Register();
  const auto mails = transport->mails();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].from, "bb@example.com");
  EXPECT_EQ(mails[0].recipients, std::vector<std::string>{"xm@example.com"});
  EXPECT_TRUE(Has(mails[0].message, "\r\nContent-Type: text/html; charset=gb2312"));
  EXPECT_FALSE(std::filesystem::exists(outbox));
  // The password comes from the environment's random source: the host's seeded one.
  SeededRandom same;
  EXPECT_EQ(board.Scalar("select password from register where username='小明'").Str(),
            RandomText(6, same));
}

// A failed mail leaves no member and sets no cookie; the same name can try again.
TEST_F(Registration, TransportFailureIsTheMailComponentsErrorText) {
  host.services().mail_transport = transport;
  transport->Fail(1, "队列已满");
  std::string pages = GoldenCase("refused", Register());
  EXPECT_EQ(Members(), 0);
  EXPECT_TRUE(host.response().cookies().empty());
  pages += GoldenCase("again", Register());
  EXPECT_GOLDEN("members/registration_mail_failed", pages);
  EXPECT_EQ(Members(), 1);
}

TEST_F(Registration, RelativeUploadFolderLiesInTheDataFolder) {
  const auto folder = [&] {
    std::string out;
    host.RunWith<Corkboard>([&](Corkboard& page) { out = page.settings().UploadBaseDir; });
    return out;
  };
  EXPECT_EQ(folder(), host.services().data_dir + "/upload");
  host.Configure({{"UploadBaseDir", "files/up"}});
  EXPECT_EQ(folder(), host.services().data_dir + "/files/up");
  host.Configure({{"UploadBaseDir", "/srv/upload"}});
  EXPECT_EQ(folder(), "/srv/upload");
}

}  // namespace
}  // namespace cb
