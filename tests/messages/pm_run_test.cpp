// PM.Run: sign-in state, the dispatch on "action", and the connection it opens and releases.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "messages/pm.h"
#include "store/connection.h"
#include "support/fake_host.h"
#include "support/test_board.h"

namespace cb {
namespace {

class ExposedPM : public PM {
 public:
  using PM::SignInCheck;
};

// One visitor on a fresh board: the same seeds and session for every run, so that Run and a
// direct call of the method it should choose can be compared page for page.
struct Visit {
  explicit Visit(bool signed_in) : board(host) {
    board.AddCatalogForum("General", "Web");
    board.AddMember("alice", "alicepw");
    board.AddMember("bob", "bobpw");
    if (signed_in) {
      host.session().Set("UserName", Variant("alice"));
      host.session().Set("Password", Variant("alicepw"));
    }
  }
  test::FakeHost host;
  test::TestBoard board;
};

struct RunResult {
  std::string body;
  int connections_created = 0;
  bool connection_left = false;
};

RunResult RunPm(Visit& v) {
  RunResult r;
  r.body = v.host.RunWith<ExposedPM>([&](ExposedPM& pm) {
    pm.Run();
    r.connections_created = pm.connections_created();
    r.connection_left = pm.connection() != nullptr;
  });
  return r;
}

std::string Direct(bool signed_in, const std::string& url, bool with_connection,
                   const std::function<void(ExposedPM&)>& method) {
  Visit v(signed_in);
  v.host.Get(url);
  return v.host.RunWith<ExposedPM>([&](ExposedPM& pm) {
    if (with_connection) pm.OpenConnection();
    method(pm);
    if (with_connection) pm.CloseConnection();
  });
}

// Every signed-in action reaches its page with one shared connection; the new-message form opens
// none.
TEST(PmRunTest, SignedInActionsReachTheirPage) {
  const struct {
    const char* action;
    std::function<void(ExposedPM&)> method;
    int connections = 1;
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
  };
  for (const auto& c : cases) {
    const std::string url = std::string("/pm.asp?action=") + c.action;
    Visit v(true);
    v.host.Get(url);
    const RunResult r = RunPm(v);
    EXPECT_EQ(r.body, Direct(true, url, c.connections == 1, c.method)) << c.action;
    EXPECT_EQ(r.connections_created, c.connections) << c.action;
    EXPECT_FALSE(r.connection_left) << c.action;
  }
}

TEST(PmRunTest, VisitorsWithoutBothSessionValuesSignInFirst) {
  const struct {
    const char* what;
    const char* user;
    const char* password;
    bool post;
    int connections;
  } cases[] = {
      {"no session, GET", "", "", false, 0},
      {"name without password, GET", "alice", "", false, 0},
      {"password without name, GET", "", "alicepw", false, 0},
      {"no session, POST", "", "", true, 1},
      {"name without password, POST", "alice", "", true, 1},
  };
  for (const auto& c : cases) {
    auto prepare = [&](Visit& v) {
      if (c.post) {
        v.host.PostForm("/pm.asp?action=inbox", {{"username", "alice"}, {"password", "alicepw"}});
      } else {
        v.host.Get("/pm.asp?action=inbox");
      }
      v.host.session().Set("UserName", Variant(c.user));
      v.host.session().Set("Password", Variant(c.password));
    };
    Visit run(false);
    prepare(run);
    const RunResult r = RunPm(run);
    Visit direct(false);
    prepare(direct);
    const std::string expected = direct.host.RunWith<ExposedPM>([&](ExposedPM& pm) {
      if (c.post) {
        pm.OpenConnection();
        pm.SignInCheck();
        pm.CloseConnection();
      } else {
        pm.Login();
      }
    });
    EXPECT_EQ(r.body, expected) << c.what;
    EXPECT_EQ(r.connections_created, c.connections) << c.what;
    EXPECT_FALSE(r.connection_left) << c.what;
  }
}

TEST(PmRunTest, OpenConnectionKeepsAnOpenConnectionAndReopensAClosedOne) {
  Visit v(true);
  v.host.RunWith<PM>([](PM& pm) {
    EXPECT_EQ(pm.OpenConnection(), "");
    Connection* first = pm.connection();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(pm.OpenConnection(), "");
    EXPECT_EQ(pm.connection(), first);
    EXPECT_EQ(pm.connections_created(), 1);

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
}

TEST(PmRunTest, FailedOpenReturnsTheErrorText) {
  Visit v(true);
  v.host.Configure({{"DSN", "NoSuchBoard"}});
  v.host.RunWith<PM>([](PM& pm) {
    EXPECT_NE(pm.OpenConnection(), "");
    EXPECT_EQ(pm.connections_created(), 1);
  });
}

}  // namespace
}  // namespace cb
