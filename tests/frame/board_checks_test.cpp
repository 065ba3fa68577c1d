// Procedures and page plumbing against a seeded board: moderator links, the moderator and posting
// checks, the page's own connection and a database error inside a framed page.
#include <gtest/gtest.h>

#include <string>

#include "frame/corkboard.h"
#include "frame/procedures.h"
#include "store/connection.h"
#include "store/recordset.h"
#include "support/fake_host.h"
#include "support/test_board.h"

namespace cb {
namespace {

class BoardChecksTest : public ::testing::Test {
 protected:
  BoardChecksTest() : board_(host_) {
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

TEST_F(BoardChecksTest, ModeratorLinks) {
  EXPECT_EQ(ModeratorLinks("Web", board_.con()), "<a href=mailto:alice@example.org>alice</a>, bob");
  EXPECT_EQ(ModeratorLinks("Bob's", board_.con()), "bob");
  board_.AddCatalogForum("General", "Empty");
  EXPECT_EQ(ModeratorLinks("Empty", board_.con()), "诚征版主");
  EXPECT_EQ(ModeratorLinks("Missing", board_.con()), "诚征版主");
}

TEST_F(BoardChecksTest, ModeratorLinksKeepAMembersAddressInsideTheLink) {
  board_.Exec("update register set email='a@b.c onmouseover=alert(1)>' where username='alice'");
  EXPECT_EQ(ModeratorLinks("Web", board_.con()),
            "<a href=mailto:a@b.c%20onmouseover=alert(1)%3E>alice</a>, bob");
}

TEST_F(BoardChecksTest, CheckModerator) {
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

TEST_F(BoardChecksTest, AdministratorIsRecognisedWithoutTheModeratorTable) {
  board_.ExecRaw("DROP TABLE moderated");
  std::string name = "root", password = "rootpw";
  EXPECT_EQ(CheckModerator(name, password, "Web", board_.con()), 1);
  name = "carol";
  password = "carolpw";
  EXPECT_THROW(CheckModerator(name, password, "Web", board_.con()), ScriptError);
}

TEST_F(BoardChecksTest, CanPost) {
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

TEST_F(BoardChecksTest, BlankNamesAreRefusedWithoutQuerying) {
  Connection never_opened;  // any query on it would raise
  std::string name = "  ", password = "pw";
  bool may_post = true;
  EXPECT_FALSE(CanPost(name, password, never_opened, may_post));
  EXPECT_TRUE(may_post);
  EXPECT_EQ(CheckModerator(name, password, "Web", never_opened), -1);
}

class ConnectedPage : public Corkboard {
 public:
  using PageBase::OpenConnection_;
  using PageBase::RunFramedPage;
};

TEST_F(BoardChecksTest, ConnectionStringPropertyChoosesTheDatabaseOfThisPage) {
  const std::string board_string = board_.connection_string();
  host_.Configure({{"DSN", "NoSuchBoard"}});
  host_.RunWith<ConnectedPage>([&](ConnectedPage& page) {
    page.SetConnectionString(board_string);
    auto con = page.OpenConnection_();
    EXPECT_EQ(con->State(), adStateOpen);
  });
  host_.RunWith<ConnectedPage>([&](ConnectedPage& page) {
    try {
      page.OpenConnection_();
      ADD_FAILURE() << "opened the unregistered data source";
    } catch (const ScriptError& e) {
      EXPECT_EQ(e.number(), err::kDatabaseOpen);
    }
  });
}

TEST_F(BoardChecksTest, DatabaseErrorInAFramedPageGivesTheErrorPageThenTheTail) {
  host_.Configure({{"Copyright", "<p>footer</p>"}});
  const std::string body = host_.RunWith<ConnectedPage>([&](ConnectedPage& page) {
    page.RunFramedPage({.title = "t", .heading = "h"}, [&] {
      auto con = page.OpenConnection_();
      host_.response().Write("<p>rows so far");
      con->Execute("select * from nosuchtable");
    });
  });
  EXPECT_EQ(body.find("rows so far"), std::string::npos);
  EXPECT_NE(body.find("<p><b>错误号：" + std::to_string(err::kDatabase) + "<br>错误描述："),
            std::string::npos)
      << body;
  EXPECT_TRUE(body.ends_with("</b></td></tr></table><p>footer</p></body></html>")) << body;
}

}  // namespace
}  // namespace cb
