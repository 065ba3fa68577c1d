// The environment pages reach the outside world through: a mail transport installed there takes
// every mail of the board, the random source makes the generated password, and a relative upload
// folder lies in the data folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "frame/corkboard.h"
#include "frame/procedures.h"
#include "mail/mail.h"
#include "support/fake_host.h"
#include "support/test_board.h"

namespace cb {
namespace {

using test::FakeHost;
using test::TestBoard;

// Keeps what it is given, or refuses everything with reason.
struct RecordingTransport : MailTransport {
  struct Delivery {
    std::string from;
    std::vector<std::string> recipients;
    std::string message;
  };
  std::vector<Delivery> deliveries;
  std::string reason;  // non-empty: every delivery fails with it

  Outcome Deliver(const std::string& from, const std::vector<std::string>& recipients,
                  const std::string& message) override {
    if (!reason.empty()) return Outcome::Failure(reason);
    deliveries.push_back({from, recipients, message});
    return {};
  }
};

struct OutsideWorld : ::testing::Test {
  FakeHost host;
  TestBoard board{host};
  std::shared_ptr<RecordingTransport> transport = std::make_shared<RecordingTransport>();
  std::string outbox = host.services().data_dir + "/outbox";

  void SetUp() override {
    host.Configure({{"SmtpServer", "dir:" + outbox}, {"BBEMail", "bb@example.com"}});
    host.services().mail_transport = transport;
  }
  std::string Register() {
    host.PostForm("/signup.asp", {{"action", "RegSubmit"},
                                  {"UserName", "小明"},
                                  {"Email", "xm@example.com"},
                                  {"NameStorage", "no"},
                                  {"DaysPrune", "10"}});
    return host.Run(&Corkboard::RegSubmit);
  }
};

TEST_F(OutsideWorld, InstalledTransportTakesTheMailInsteadOfTheServerSetting) {
  Register();
  ASSERT_EQ(transport->deliveries.size(), 1u);
  EXPECT_EQ(transport->deliveries[0].from, "bb@example.com");
  EXPECT_EQ(transport->deliveries[0].recipients, std::vector<std::string>{"xm@example.com"});
  EXPECT_NE(transport->deliveries[0].message.find("\r\nContent-Type: text/html; charset=gb2312"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(outbox));
  // The password comes from the environment's random source: the host's seeded one.
  SeededRandom same;
  EXPECT_EQ(board.Scalar("select password from register where username='小明'").Str(),
            RandomText(6, same));
}

// A failed mail leaves no member and sets no cookie; the same name can try again.
TEST_F(OutsideWorld, TransportFailureIsTheMailComponentsErrorText) {
  transport->reason = "队列已满";
  const std::string page = Register();
  EXPECT_NE(page.find("<b>对不起，小明，由于如下错误，你不能成功的注册:队列已满,请注意检查您的email"
                      "地址！"),
            std::string::npos)
      << page;
  EXPECT_EQ(board.Scalar("select count(*) from register").CLng(), 0);
  EXPECT_TRUE(host.response().cookies().empty());
  transport->reason = "";
  EXPECT_NE(Register().find("您好，您已经成功在"), std::string::npos);
  EXPECT_EQ(board.Scalar("select count(*) from register").CLng(), 1);
}

TEST_F(OutsideWorld, RelativeUploadFolderLiesInTheDataFolder) {
  const struct {
    const char* setting;  // nullptr: the default
    std::string folder;
  } cases[] = {
      {nullptr, host.services().data_dir + "/upload"},
      {"files/up", host.services().data_dir + "/files/up"},
      {"/srv/upload", "/srv/upload"},
  };
  for (const auto& c : cases) {
    if (c.setting) host.Configure({{"UploadBaseDir", c.setting}});
    host.RunWith<Corkboard>(
        [&](Corkboard& page) { EXPECT_EQ(page.settings().UploadBaseDir, c.folder); });
  }
}

}  // namespace
}  // namespace cb
