// A change of identity asks the host for a new session id: a successful sign-in and a private
// forum's admission do, a refusal does not.
#include <gtest/gtest.h>

#include "frame/corkboard.h"
#include "support/fake_host.h"
#include "support/test_board.h"

namespace cb {
namespace {

using test::FakeHost;
using test::TestBoard;

TEST(SessionRenewal, OnlyASuccessfulSignInOrAdmissionRenewsTheId) {
  struct Case {
    const char* what;
    void (Corkboard::*method)();
    test::FormFields fields;
    bool renewed;
  };
  const Case cases[] = {
      {"sign-in",
       &Corkboard::Login,
       {{"action", "login"}, {"UserName", "member"}, {"Password", "pw"}},
       true},
      {"wrong password",
       &Corkboard::Login,
       {{"action", "login"}, {"UserName", "member"}, {"Password", "no"}},
       false},
      {"admission",
       &Corkboard::IDCheck,
       {{"action", "idcheck"}, {"UserName", "member"}, {"Password", "pw"}, {"forum", "密室"}},
       true},
      {"refused admission",
       &Corkboard::IDCheck,
       {{"action", "idcheck"}, {"UserName", "member"}, {"Password", "no"}, {"forum", "密室"}},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeHost host;
    TestBoard board(host);
    board.AddMember("member", "pw");
    board.Exec(
        "insert into forum (forumname,catalog,sequence,[restrict]) values "
        "('密室','私家',1,'private')");
    host.PostForm("/cbkmisc.asp", c.fields);
    host.Run(c.method);
    EXPECT_EQ(host.session().TakeRenewal(), c.renewed);
  }
}

}  // namespace
}  // namespace cb
