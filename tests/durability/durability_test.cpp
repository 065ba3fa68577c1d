// The board killed while eight visitors post, and its database restarted under them: nothing
// acknowledged is lost. CORKBOARD_CRASH_SECONDS sets the kill test's posting time (default 4).
#include <gtest/gtest.h>

#include <cstdlib>

#include "durability/posting_load.h"
#include "store/board_setup.h"
#include "store/data_sources.h"
#include "support/pg_board.h"
#include "support/test_env.h"

namespace cb::test {
namespace {

class Durability : public ::testing::Test {
 protected:
  void TearDown() override {
    UnregisterDataSource(kDataSource);
    // Not reused: its shared tables hold sessions and flood-guard times of these posters.
    if (!pg_spec_.empty()) DropPgBoard(pg_spec_, /*reusable=*/false);
  }

  // A board with its forum and eight members; returns the board's --set values.
  std::vector<std::string> MakeBoard(const std::string& spec) {
    RegisterDataSource(kDataSource, ParseDataSourceSpec(spec));
    forum_ = SeedNewBoard(kConnection).forum;
    for (int i = 0; i < kPosters; ++i) AddUser(kConnection, "poster" + std::to_string(i), "pw");
    Connection con;
    con.Open(kConnection);
    con.Execute("insert into post (forumname,username,subject,message) values ('" + forum_ +
                "','poster0','first','text')");
    return {"DataSource.Corkboard=" + spec};
  }

  std::string SqliteOrPgSpec() {
    if (OnPostgres()) return pg_spec_ = CreatePgBoard();
    return "sqlite:" + (data_ / "corkboard.db").string();
  }

  ScratchDir dir_{"corkboard-durability"};
  const std::filesystem::path data_ = dir_.path();
  // kPosters posters posting to whichever port the board answers on, until stop.
  std::vector<std::thread> StartPosters(const std::atomic<uint16_t>& port,
                                        const std::atomic<bool>& stop, Tally& tally) {
    std::vector<std::thread> posters;
    for (int i = 0; i < kPosters; ++i) {
      posters.emplace_back(Post, i, std::cref(port), std::cref(stop), forum_, std::ref(tally));
    }
    return posters;
  }

  std::string pg_spec_;
  std::string forum_;
};

TEST_F(Durability, KilledWhilePostingLosesNoAcknowledgedPostAndKeepsCountersExact) {
  const char* env = std::getenv("CORKBOARD_CRASH_SECONDS");
  const int seconds = env ? std::max(2, std::atoi(env)) : 4;
  const int kills = seconds <= 8 ? 2 : seconds / 10;
  BoardProcess board(data_, MakeBoard(SqliteOrPgSpec()));
  ASSERT_TRUE(board.Start()) << "the board did not start; see " << data_ / "server.log";
  std::atomic<uint16_t> port{board.port()};
  std::atomic<bool> stop{false};
  Tally tally;
  std::vector<std::thread> posters = StartPosters(port, stop, tally);
  size_t acknowledged_before_kill = 0;
  for (int k = 0; k < kills; ++k) {
    std::this_thread::sleep_for(std::chrono::milliseconds(seconds * 1000 / kills));
    board.Kill();
    acknowledged_before_kill = tally.AcknowledgedSoFar();
    ASSERT_TRUE(board.Start()) << "no restart on the same data; see " << data_ / "server.log";
    port = board.port();
  }
  // The restarted board takes posts again.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  stop = true;
  for (std::thread& t : posters) t.join();
  EXPECT_TRUE(board.Stop());

  EXPECT_EQ(tally.unexpected, "");
  EXPECT_EQ(tally.error_pages, 0);
  EXPECT_GT(tally.acknowledged.size(), acknowledged_before_kill);
  EXPECT_EQ(Disagreements(tally), "");
  std::printf("%zu posts acknowledged, %d cut by %d kills\n", tally.acknowledged.size(), tally.cut,
              kills);
}

TEST_F(Durability, DatabaseRestartFailsOnlyRequestsInFlightAndTheBoardReconnects) {
  if (!OnPostgres()) GTEST_SKIP() << "a PostgreSQL restart";
  // A cluster of its own: restarting the shared one would fail the other tests' statements.
  const std::string script = std::string(CORKBOARD_SOURCE_DIR) + "/tests/support/pg_cluster.sh";
  const std::string cluster = (data_ / "pg").string();
  ASSERT_EQ(std::system((script + " start " + cluster + " >/dev/null").c_str()), 0);
  struct StopCluster {
    std::string command;
    ~StopCluster() { [[maybe_unused]] int rc = std::system(command.c_str()); }
  } stop_cluster{script + " stop " + cluster};
  BoardProcess board(data_, MakeBoard("postgresql://corkboard@/postgres?host=" + cluster));
  ASSERT_TRUE(board.Start()) << "the board did not start; see " << data_ / "server.log";
  std::atomic<uint16_t> port{board.port()};
  std::atomic<bool> stop{false};
  Tally tally;
  std::vector<std::thread> posters = StartPosters(port, stop, tally);
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_EQ(std::system((script + " restart " + cluster).c_str()), 0);
  tally.healthy_since = SteadyClock::now().time_since_epoch().count();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  stop = true;
  for (std::thread& t : posters) t.join();
  EXPECT_TRUE(board.Stop());

  // Every answer was whole: the success page or the database error page, never a hang or a cut.
  EXPECT_EQ(tally.unexpected, "");
  EXPECT_EQ(tally.cut, 0);
  EXPECT_EQ(tally.late_failures, 0);
  EXPECT_EQ(Disagreements(tally), "");
  std::printf("%zu posts acknowledged, %d database error pages during the restart\n",
              tally.acknowledged.size(), tally.error_pages);
}

}  // namespace
}  // namespace cb::test
