// The page's own connection: the connection-string property picks the database of one page.
// (A database error inside a framed page is a ScriptError like any other: page_frame_test.)
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
};

TEST_F(PageConnectionTest, ConnectionStringPropertyChoosesTheDatabaseOfThisPage) {
  const std::string board_string = board_.connection_string();
  host_.Configure({{"DSN", "NoSuchBoard"}});
  host_.RunWith<ConnectedPage>([&](ConnectedPage& page) {
    page.SetConnectionString(board_string);
    EXPECT_EQ(page.settings().ConnectionString, board_string);
    auto con = page.OpenConnection_();
    EXPECT_EQ(con->State(), adStateOpen);
  });
  // The next page is back on the board's own.
  host_.RunWith<ConnectedPage>([&](ConnectedPage& page) {
    try {
      page.OpenConnection_();
      ADD_FAILURE() << "opened the unregistered data source";
    } catch (const ScriptError& e) {
      EXPECT_EQ(e.number(), err::kDatabaseOpen);
    }
    EXPECT_EQ(page.settings().ConnectionString,
              "Provider=MSDASQL.1;USER ID=sa;PASSWORD=;DATA SOURCE=NoSuchBoard");
  });
}

}  // namespace
}  // namespace cb
