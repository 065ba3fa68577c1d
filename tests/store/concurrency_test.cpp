// Pages writing one board at once through two data sources, as two processes would; and the
// first start's seeding.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "store/board_setup.h"
#include "store/connection.h"
#include "store/data_sources.h"
#include "store/recordset.h"
#include "support/pg_board.h"
#include "support/recount.h"
#include "support/test_env.h"

namespace cb {
namespace {

namespace fs = std::filesystem;

class FileBoard : public ::testing::Test {
 protected:
  void SetUp() override {
    spec_ = test::OnPostgres() ? test::CreatePgBoard() : "sqlite:" + (dir_ / "corkboard.db");
    RegisterDataSource(kName, ParseDataSourceSpec(spec_));
    RegisterDataSource(kOther, ParseDataSourceSpec(spec_));
  }
  void TearDown() override {
    UnregisterDataSource(kName);
    UnregisterDataSource(kOther);
    if (test::OnPostgres()) test::DropPgBoard(spec_);
  }

  static long Scalar(Connection& con, const std::string& sql) {
    return con.Execute(sql)->Fields(0).CLng();
  }

  static constexpr const char* kName = "FileBoard";
  static constexpr const char* kOther = "OtherProcess";  // a pool of its own on the same board
  const std::string cs_ = "Provider=MSDASQL.1;USER ID=sa;PASSWORD=;DATA SOURCE=fileboard";
  const std::string other_cs_ = "Provider=MSDASQL.1;USER ID=sa;PASSWORD=;DATA SOURCE=otherprocess";
  test::ScratchDir dir_{"corkboard-store"};
  std::string spec_;
};

TEST_F(FileBoard, ConcurrentWritersLoseNothing) {
  SeedResult seed = SeedNewBoard(cs_);
  ASSERT_TRUE(seed.created);
  constexpr int kThreads = 4;
  constexpr int kTopicsEach = 40;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int w = 0; w < kThreads; ++w) {
    threads.emplace_back([&, w] {
      try {
        for (int i = 0; i < kTopicsEach; ++i) {
          Connection con;  // one page: its own pooled connection, from either "process"
          con.Open(w % 2 ? other_cs_ : cs_);
          Recordset rs;
          rs.Open("Select * from post where 1<>0", con, adOpenStatic, adLockOptimistic);
          rs.AddNew();
          rs.Set("forumname", seed.forum);
          rs.Set("username", seed.admin_name);
          rs.Set("subject", "w" + std::to_string(w) + "-" + std::to_string(i));
          rs.Update();
          rs.Close();
          long topic = con.Execute("select @@identity")->Fields(0).CLng();
          con.Execute("insert into post (forumname,username,subject,parentid) values ('" +
                      seed.forum + "','admin','re'," + std::to_string(topic) + ")");
          con.Execute("Update Post set hits=isnull(hits,0)+1 where postid=" +
                      std::to_string(topic) + " or parentid=" + std::to_string(topic));
          Recordset list;  // a reader among the writers
          list.Open(
              "select postid from post where parentid is null order by lastreplyposttime "
              "desc",
              con, adOpenStatic, adLockReadOnly);
          if (list.RecordCount() < 1) ++failures;
          con.Close();
        }
      } catch (const std::exception& e) {
        ADD_FAILURE() << e.what();
        ++failures;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  Connection con;
  con.Open(cs_);
  const long topics = kThreads * kTopicsEach;
  EXPECT_EQ(Scalar(con, "select count(*) from post where parentid is null"), topics);
  EXPECT_EQ(Scalar(con, "select count(*) from post where replycount=1 and hits=1"), topics);
  EXPECT_EQ(test::CounterDisagreements(con), "");
}

TEST_F(FileBoard, SeedsOnceAndAddsUsers) {
  SeedResult first = SeedNewBoard(cs_);
  ASSERT_TRUE(first.created);
  EXPECT_EQ(first.admin_password.size(), 10u);
  EXPECT_FALSE(SeedNewBoard(cs_).created);  // a second start leaves the board alone
  Connection con;
  con.Open(cs_);
  // The one member and the one forum, their fields separated by "|".
  const auto row = [&](const char* sql) { return con.Execute(sql)->GetString("|", ""); };
  EXPECT_EQ(row("select username,password,status,canpost from register"),
            first.admin_name + "|" + first.admin_password + "|administrator|True");
  EXPECT_EQ(row("select forumname,catalog from forum"), first.forum + "|" + first.catalog);
  AddUser(cs_, "mod", "pw", "Moderater");
  AddUser(cs_, "小明", "pw");
  EXPECT_THROW(AddUser(cs_, "MOD", "x"), ScriptError);  // names ignore letter case
  EXPECT_THROW(AddUser(cs_, "x", "pw", "king"), ScriptError);
  EXPECT_EQ(Scalar(con, "select count(*) from register where lower(status)='moderater'"), 1);
  EXPECT_EQ(Scalar(con, "select count(*) from register where username='小明' and status is null"),
            1);
  EXPECT_NE(RandomPassword(10), RandomPassword(10));
}

}  // namespace
}  // namespace cb
