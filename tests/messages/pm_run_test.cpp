// PM.Run: sign-in state, the dispatch on "action", and the connection it opens and releases.
#include <functional>

#include "messages/pm.h"
#include "pm_fixture.h"
#include "store/connection.h"
#include "support/page_test.h"

namespace cb {
namespace {

class ExposedPM : public PM {
 public:
  using PM::SignInCheck;
};

// One visitor on a fresh board, so that Run and a direct call of the method it should choose
// can be compared page for page.
struct Visit : test::Mailbox {
  Visit(const std::string& user, const std::string& password) { SignIn(user, password); }
};

// Each request against what Run must amount to: the method with one shared connection opened
// around it (or none), and no connection left afterwards. Without both session values a GET
// shows the sign-in form and a POST is a sign-in.
TEST(PmRunTest, EachRequestReachesItsPageWithOneConnectionAtMost) {
  using Method = std::function<void(ExposedPM&)>;
  const struct {
    const char* action;
    Method method;
    int connections = 1;
    const char *user = "alice", *password = "alicepw";
    bool post = false;
  } cases[] = {
      {"addtoignorelist", &PM::AddToIgnoreList},
      {"inbox", &PM::inbox},
      {"deleteoutbox", &PM::DeleteOutbox},
      {"outbox", &PM::outbox},
      {"ignorelist", &PM::IgnoreList},
      {"deleteignorelist", &PM::DeleteIgnoreList},
      {"postpm", &PM::PostPM},
      {"replypm", &PM::ReplyPM},
      {"viewpm", [](ExposedPM& pm) { pm.ViewPM("inbox"); }},
      {"deletepm", &PM::DeletePM},
      {"viewoutbox", [](ExposedPM& pm) { pm.ViewPM("outbox"); }},
      {"OutBox", &PM::outbox},  // the action is compared lower-cased
      {"", &PM::inbox},
      {"nosuchaction", &PM::inbox},
      {"newpm", &PM::newpm, 0},
      {"inbox", &PM::Login, 0, "", ""},
      {"inbox", &PM::Login, 0, "alice", ""},
      {"inbox", &PM::Login, 0, "", "alicepw"},
      {"inbox", &ExposedPM::SignInCheck, 1, "", "", true},
      {"inbox", &ExposedPM::SignInCheck, 1, "alice", "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.action) + " as '" + c.user + "'/'" + c.password + "'");
    const auto request = [&](Visit& v) {
      const std::string url = std::string("/pm.asp?action=") + c.action;
      if (c.post) {
        v.host.PostForm(url, {{"username", "alice"}, {"password", "alicepw"}});
      } else {
        v.host.Get(url);
      }
    };
    Visit run(c.user, c.password), direct(c.user, c.password);
    request(run);
    int created = -1;
    bool left = true;
    const std::string body = run.host.RunWith<ExposedPM>([&](ExposedPM& pm) {
      pm.Run();
      created = pm.connections_created();
      left = pm.connection() != nullptr;
    });
    request(direct);
    EXPECT_EQ(body, direct.host.RunWith<ExposedPM>([&](ExposedPM& pm) {
      if (c.connections) pm.OpenConnection();
      c.method(pm);
      if (c.connections) pm.CloseConnection();
    }));
    EXPECT_EQ(created, c.connections);
    EXPECT_FALSE(left);
  }
}

TEST(PmRunTest, OpenConnectionKeepsAnOpenConnectionAndReopensAClosedOne) {
  Visit v("alice", "alicepw");
  v.host.RunWith<PM>([](PM& pm) {
    EXPECT_EQ(pm.OpenConnection(), "");
    Connection* first = pm.connection();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(pm.OpenConnection(), "");
    EXPECT_EQ(pm.connection(), first);
    first->Close();
    EXPECT_EQ(pm.OpenConnection(), "");
    EXPECT_EQ(pm.connection(), first);
    EXPECT_EQ(first->State(), adStateOpen);
    EXPECT_EQ(pm.connections_created(), 1);

    pm.CloseConnection();
    EXPECT_EQ(pm.connection(), nullptr);
    pm.CloseConnection();  // nothing to close: no error
    EXPECT_EQ(pm.OpenConnection(), "");
    EXPECT_EQ(pm.connections_created(), 2);
  });
  v.host.Configure({{"DSN", "NoSuchBoard"}});
  v.host.RunWith<PM>([](PM& pm) {
    EXPECT_NE(pm.OpenConnection(), "");
    EXPECT_EQ(pm.connections_created(), 1);
  });
}

}  // namespace
}  // namespace cb
