// The page's own connection: the connection-string property picks the database, and a database
// error inside a framed page gives the error page, then the tail.
#include <gtest/gtest.h>

#include <string>

#include "frame/corkboard.h"
#include "store/connection.h"
#include "store/recordset.h"
#include "support/fake_host.h"
#include "support/test_board.h"

namespace cb {
namespace {

class PageConnectionTest : public ::testing::Test {
 protected:
  PageConnectionTest() : board_(host_) {}

  test::FakeHost host_;
  test::TestBoard board_;
};

class ConnectedPage : public Corkboard {
 public:
  using PageBase::OpenConnection_;
  using PageBase::RunFramedPage;
};

TEST_F(PageConnectionTest, ConnectionStringPropertyChoosesTheDatabaseOfThisPage) {
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

TEST_F(PageConnectionTest, DatabaseErrorInAFramedPageGivesTheErrorPageThenTheTail) {
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
