// Copying a SQLite board into PostgreSQL, backups of a serving board, a dropped connection.
#include "store/board_copy.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "store/connection.h"
#include "store/data_sources.h"
#include "store/recordset.h"
#include "store/store_error.h"
#include "support/pg_board.h"
#include "support/test_board.h"
#include "support/test_env.h"

namespace cb {
namespace {

namespace fs = std::filesystem;

std::string ConnectionTo(const std::string& dsn) {
  return "Provider=MSDASQL.1;USER ID=;PASSWORD=;DATA SOURCE=" + dsn;
}

long Scalar(Connection& con, const std::string& sql) { return con.Execute(sql)->Fields(0).CLng(); }

class BoardCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sqlite_spec_ = "sqlite:" + (dir_ / "corkboard.db");
    RegisterDataSource("copysource", ParseDataSourceSpec(sqlite_spec_));
  }
  void TearDown() override {
    UnregisterDataSource("copysource");
    UnregisterDataSource("copytarget");
    if (!pg_spec_.empty()) test::DropPgBoard(pg_spec_);
  }

  // A SQLite board with two topics, a reply, a member, and a deleted topic whose number is
  // never to be given again.
  void SeedSource() {
    Connection con;
    con.Open(ConnectionTo("copysource"));
    con.Execute("insert into forum (forumname,catalog,sequence) values ('F','C',1)");
    con.Execute("insert into register (username,password,email) values ('Ann','Pw','a@x')");
    for (const char* s : {"one", "two", "gone"}) {
      con.Execute(std::string("insert into post (forumname,username,subject,posttime) values "
                              "('F','Ann','") +
                  s + "','2001-05-09 08:03:07')");
    }
    con.Execute(
        "insert into post (forumname,username,subject,parentid,posttime) values "
        "('F','Ann','re',1,'2001-06-01 12:00:00')");
    con.Execute("delete from post where subject='gone'");
    con.Execute("insert into pm (recipient,sender,subject,message) values ('ann','bob','hi','m')");
  }

  test::ScratchDir dir_{"corkboard-copy"};
  std::string sqlite_spec_;
  std::string pg_spec_;
};

TEST_F(BoardCopyTest, CopiesEveryRowIdentityAndCounterIntoPostgresql) {
  if (!test::OnPostgres()) GTEST_SKIP() << "runs on the PostgreSQL test cluster";
  SeedSource();
  pg_spec_ = test::CreatePgBoard();
  std::vector<TableCount> counts =
      CopyBoard(ParseDataSourceSpec(sqlite_spec_), ParseDataSourceSpec(pg_spec_));
  ASSERT_EQ(counts.size(), 13u);
  EXPECT_EQ(counts[0].table, "post");
  EXPECT_EQ(counts[0].rows, 3);
  RegisterDataSource("copytarget", ParseDataSourceSpec(pg_spec_));
  Connection con;
  con.Open(ConnectionTo("copytarget"));
  const std::pair<std::string, long> checks[] = {
      {"select topiccount from forum where forumname='f'", 2},
      {"select replycount from forum", 1},
      {"select postcount from register where username='ann'", 3},  // as the source kept it
      {"select replycount from post where postid=1", 1},
      {"select datepart(mm,lastreplyposttime) from post where postid=1", 6},
      {"select postid from post where subject='two'", 2},
      {"select count(*) from pm where isnew=1", 1},
  };
  for (const auto& [sql, value] : checks) EXPECT_EQ(Scalar(con, sql), value) << sql;
  // The next post takes the number after the deleted one, and is counted again.
  con.Execute("insert into post (forumname,username,subject) values ('F','Ann','new')");
  EXPECT_EQ(Scalar(con, "select @@identity"), 5);
  EXPECT_EQ(Scalar(con, "select topiccount from forum"), 3);
  // A second copy into a board that has rows is refused, and changes nothing.
  EXPECT_THROW(CopyBoard(ParseDataSourceSpec(sqlite_spec_), ParseDataSourceSpec(pg_spec_)),
               ScriptError);
  EXPECT_EQ(Scalar(con, "select count(*) from post"), 4);
}

TEST_F(BoardCopyTest, BacksUpASqliteBoardWhileItIsOpen) {
  SeedSource();
  Connection serving;  // the board keeps a connection open meanwhile
  serving.Open(ConnectionTo("copysource"));
  std::string dest = dir_ / "backup.db";
  BackupBoard(ParseDataSourceSpec(sqlite_spec_), dest);
  EXPECT_THROW(BackupBoard(ParseDataSourceSpec(sqlite_spec_), dest), ScriptError);  // no overwrite
  RegisterDataSource("copytarget", ParseDataSourceSpec("sqlite:" + dest));
  Connection con;
  con.Open(ConnectionTo("copytarget"));
  EXPECT_EQ(Scalar(con, "select count(*) from post"), 3);
  EXPECT_EQ(Scalar(con, "select topiccount from forum"), 2);
}

TEST_F(BoardCopyTest, BacksUpAPostgresqlBoardWithPgDump) {
  if (!test::OnPostgres()) GTEST_SKIP() << "runs on the PostgreSQL test cluster";
  test::TestBoard board;
  board.AddCatalogForum("c", "F");
  board.AddMember("ann", "pw");
  board.AddTopic("F", "ann", "s");
  std::string dest = dir_ / "board.dump";
  BackupBoard(ParseDataSourceSpec(board.spec()), dest);
  ASSERT_TRUE(fs::exists(dest));
  // The documented restore: pg_restore into an empty database.
  pg_spec_ = test::CreatePgBoard(/*empty=*/true);
  std::string restore = "pg_restore --no-owner --dbname='" + pg_spec_ + "' '" + dest + "'";
  ASSERT_EQ(std::system(restore.c_str()), 0) << restore;
  RegisterDataSource("copytarget", ParseDataSourceSpec(pg_spec_));
  Connection con;
  con.Open(ConnectionTo("copytarget"));
  EXPECT_EQ(Scalar(con, "select topiccount from forum"), 1);
  con.Execute("insert into post (forumname,username,subject) values ('F','ann','more')");
  EXPECT_EQ(Scalar(con, "select topiccount from forum"), 2);  // triggers restored too
}

// A connection the server dropped fails its statement (the page shows the database error) and
// is made again for the next one.
TEST(PostgresConnection, ReconnectsAfterTheServerDropsIt) {
  if (!test::OnPostgres()) GTEST_SKIP() << "runs on the PostgreSQL test cluster";
  test::TestBoard board;
  board.AddCatalogForum("c", "F");
  auto pid_of = [](Connection& con) {
    auto st = con.backend().Prepare("SELECT pg_backend_pid()", "pid");
    st->Step();
    int64_t pid = std::get<int64_t>(st->Column(0));
    st->Reset();
    return pid;
  };
  Connection victim;
  victim.Open(board.connection_string());
  int64_t pid = pid_of(victim);
  board.con().backend().ExecScript("SELECT pg_terminate_backend(" + std::to_string(pid) + ")");
  EXPECT_THROW(victim.Execute("select count(*) from forum"), DatabaseError);
  EXPECT_EQ(Scalar(victim, "select count(*) from forum"), 1);
  EXPECT_NE(pid_of(victim), pid);
}

}  // namespace
}  // namespace cb
