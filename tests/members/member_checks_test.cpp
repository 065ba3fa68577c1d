// The checks against the member register on a seeded board: moderator links, the moderator and
// posting checks.
#include "members/member_checks.h"

#include <gtest/gtest.h>

#include <string>

#include "store/connection.h"
#include "support/fake_host.h"
#include "support/test_board.h"

namespace cb {
namespace {

class MemberChecksTest : public ::testing::Test {
 protected:
  MemberChecksTest() : board_(host_) {
    board_.AddCatalogForum("General", "Web");
    board_.AddCatalogForum("General", "Bob's");
    board_.AddMember("root", "rootpw", {.status = "Administrator"});
    board_.AddMember("alice", "alicepw", {.status = "Moderater", .email = "alice@example.org"});
    board_.AddMember("bob", "bobpw", {.status = "moderater"});
    board_.AddMember("carol", "carolpw");
    board_.AddMember("dave", "davepw", {.canpost = false});
    board_.AddModerator("Web", "alice");
    board_.AddModerator("Web", "bob");
    board_.AddModerator("Bob's", "bob");
  }

  test::FakeHost host_;
  test::TestBoard board_;
};

// A member's address stays inside its link.
TEST_F(MemberChecksTest, ModeratorLinks) {
  board_.AddCatalogForum("General", "Empty");
  const std::pair<const char*, const char*> cases[] = {
      {"Web", "<a href=mailto:alice@example.org>alice</a>, bob"},
      {"Bob's", "bob"},
      {"Empty", "诚征版主"},
      {"Missing", "诚征版主"},
  };
  for (const auto& [forum, links] : cases) EXPECT_EQ(ModeratorLinks(forum, board_.con()), links);
  board_.Exec("update register set email='a@b.c onmouseover=alert(1)>' where username='alice'");
  // The query has no ORDER BY: after the update a database may list the moderators either way.
  std::string links = ModeratorLinks("Web", board_.con());
  EXPECT_NE(links.find("<a href=mailto:a@b.c%20onmouseover=alert(1)%3E>alice</a>"),
            std::string::npos)
      << links;
  EXPECT_EQ(links.size(), std::string("<a href=mailto:a@b.c%20onmouseover=alert(1)%3E>alice</a>, bob").size());
}

TEST_F(MemberChecksTest, CheckModerator) {
  const struct {
    const char* name;
    const char* password;
    const char* forum;
    int code;
    const char* trimmed;
  } cases[] = {
      {"root", "rootpw", "Web", 1, "root"},
      {"root", "rootpw", "Missing", 1, "root"},
      {"alice", "alicepw", "Web", 2, "alice"},
      {"bob", "bobpw", "Bob's", 2, "bob"},
      {"alice", "alicepw", "Bob's", 0, "alice"},  // a moderator elsewhere
      {"carol", "carolpw", "Web", 0, "carol"},
      {"carol", "CAROLPW", "Web", -1, "carol"},  // passwords are compared exactly
      {"nobody", "x", "Web", -1, "nobody"},
      {"  alice  ", " alicepw ", "Web", 2, "alice"},
      {"   ", "alicepw", "Web", -1, ""},
      {"alice", "", "Web", -1, "alice"},
      {"x' or '1'='1", "x' or '1'='1", "Web", -1, "x' or '1'='1"},
  };
  for (const auto& c : cases) {
    std::string name = c.name, password = c.password;
    EXPECT_EQ(CheckModerator(name, password, c.forum, board_.con()), c.code)
        << c.name << " / " << c.forum;
    EXPECT_EQ(name, c.trimmed) << c.name;
  }
}

TEST_F(MemberChecksTest, AdministratorIsRecognisedWithoutTheModeratorTable) {
  board_.ExecRaw("DROP TABLE moderated");
  std::string name = "root", password = "rootpw";
  EXPECT_EQ(CheckModerator(name, password, "Web", board_.con()), 1);
  name = "carol";
  password = "carolpw";
  EXPECT_THROW(CheckModerator(name, password, "Web", board_.con()), ScriptError);
}

TEST_F(MemberChecksTest, CanPost) {
  const struct {
    const char* name;
    const char* password;
    bool result;
    bool flag_before;
    bool flag_after;
  } cases[] = {
      {"carol", "carolpw", true, false, true},
      {"dave", "davepw", true, true, false},
      {" dave ", "davepw ", true, true, false},
      {"carol", "wrong", false, true, true},  // flag left untouched
      {"carol", "wrong", false, false, false},
      {"nobody", "x", false, true, true},
      {"", "carolpw", false, false, false},
      {"carol", "  ", false, true, true},
  };
  for (const auto& c : cases) {
    std::string name = c.name, password = c.password;
    bool may_post = c.flag_before;
    EXPECT_EQ(CanPost(name, password, board_.con(), may_post), c.result) << c.name;
    EXPECT_EQ(may_post, c.flag_after) << c.name;
  }
}

TEST_F(MemberChecksTest, BlankNamesAreRefusedWithoutQuerying) {
  Connection never_opened;  // any query on it would raise
  std::string name = "  ", password = "pw";
  bool may_post = true;
  EXPECT_FALSE(CanPost(name, password, never_opened, may_post));
  EXPECT_TRUE(may_post);
  EXPECT_EQ(CheckModerator(name, password, "Web", never_opened), -1);
}

}  // namespace
}  // namespace cb
