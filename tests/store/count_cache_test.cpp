// The remembered row counts and pages of paged record sets, until any write to the database.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "store/connection.h"
#include "store/data_sources.h"
#include "store/recordset.h"
#include "support/test_env.h"

namespace cb {
namespace {

namespace fs = std::filesystem;

constexpr const char* kName = "CountCacheBoard";
constexpr const char* kCs = "Provider=MSDASQL.1;USER ID=sa;PASSWORD=;DATA SOURCE=CountCacheBoard";
constexpr const char* kInsert =
    "insert into post(forumname,username,subject,message) values('f','u','s','m')";

class CountCache : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_ / "corkboard.db";
    RegisterDataSource(kName, ParseDataSourceSpec("sqlite:" + path_));
    a_.Open(kCs);
    b_.Open(kCs);  // open at once with a: a pooled connection of its own
  }
  void TearDown() override {
    a_.Close();
    b_.Close();
    UnregisterDataSource(kName);
  }

  static long Count(Connection& con) {
    Recordset rs;
    rs.Open("select * from post where forumname='f' order by postid", con, adOpenStatic,
            adLockReadOnly);
    return rs.RecordCount();
  }

  // The subject of the first row of the paged statement's first page.
  static std::string FirstSubject(Connection& con) {
    Recordset rs;
    rs.SetPageSize(20);
    rs.Open("select * from post where forumname='f' order by postid", con, adOpenStatic,
            adLockReadOnly);
    rs.SetAbsolutePage(1);
    return rs.Eof() ? "" : rs.Fields("subject").Str();
  }

  // A write through a handle the board's pool knows nothing of, then as long as the caches may
  // take to notice it.
  void WriteOutside(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
    std::this_thread::sleep_for(kWatchInterval * 2);
  }

  test::ScratchDir dir_{"corkboard-count"};
  std::string path_;
  Connection a_, b_;
};

TEST_F(CountCache, HitsUntilAnyConnectionWrites) {
  struct Step {
    const char* what;
    std::function<void()> before;
    std::function<long()> count;
    long expected;
    bool hit;
  };
  const auto none = [] {};
  const auto on_a = [this] { return Count(a_); };
  const auto on_b = [this] { return Count(b_); };
  const auto on_new = [] {
    Connection c;
    c.Open(kCs);
    return Count(c);
  };
  const Step steps[] = {
      {"first count", none, on_a, 0, false},
      {"the same count on another connection", none, on_b, 0, true},
      {"on a connection taken from the pool later", none, on_new, 0, true},
      {"after an insert through b, on a", [this] { b_.Execute(kInsert); }, on_a, 1, false},
      {"again on b", none, on_b, 1, true},
      {"after a transaction on a, on b",
       [this] {
         a_.BeginTrans();
         a_.Execute(kInsert);
         a_.CommitTrans();
       },
       on_b, 2, false},
      {"after another process's insert", [this] { WriteOutside(kInsert); }, on_a, 3, false},
      {"again, on the other connection", none, on_b, 3, true},
      {"after another process's delete", [this] { WriteOutside("delete from post"); }, on_new, 0,
       false},
      {"after another process wrote another table",
       [this] { WriteOutside("insert into register(username) values('x')"); }, on_a, 0, false},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.before();
    const CountCacheStats before = CountCacheStatsOf(kName);
    EXPECT_EQ(step.count(), step.expected);
    const CountCacheStats after = CountCacheStatsOf(kName);
    EXPECT_EQ(after.hits - before.hits, step.hit ? 1u : 0u);
    EXPECT_EQ(after.misses - before.misses, step.hit ? 0u : 1u);
  }
}

TEST_F(CountCache, KeptPageGivesWayToAnyWrite) {
  b_.Execute(kInsert);
  EXPECT_EQ(FirstSubject(a_), "s");
  EXPECT_EQ(FirstSubject(b_), "s");
  WriteOutside("update post set subject='t'");
  EXPECT_EQ(FirstSubject(b_), "t");
  a_.Execute("update post set subject='u'");
  EXPECT_EQ(FirstSubject(b_), "u");
}

TEST_F(CountCache, NotUsedInsideATransaction) {
  EXPECT_EQ(Count(a_), 0);
  a_.BeginTrans();
  a_.Execute(kInsert);
  const CountCacheStats before = CountCacheStatsOf(kName);
  EXPECT_EQ(Count(a_), 1) << "the transaction's own row counts";
  EXPECT_EQ(CountCacheStatsOf(kName).hits, before.hits);
  a_.RollbackTrans();
  EXPECT_EQ(Count(b_), 0);
}

}  // namespace
}  // namespace cb
