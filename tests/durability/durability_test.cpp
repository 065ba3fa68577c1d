// The board as its operator runs it for years: killed with SIGKILL while eight visitors post,
// and (on PostgreSQL) the database restarted under the same load. Afterwards every post whose
// visitor saw the success page is there, no reply lacks its topic, and every counter equals a
// recount. CORKBOARD_CRASH_SECONDS sets the posting time of the kill test (default 4; the long
// run is 60).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <set>

#include "durability/board_process.h"
#include "runtime/percent.h"
#include "store/board_setup.h"
#include "store/connection.h"
#include "store/data_sources.h"
#include "store/recordset.h"
#include "support/pg_board.h"

namespace cb::test {
namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr int kPosters = 8;
constexpr const char* kDataSource = "durability";
constexpr const char* kConnection = "DATA SOURCE=durability";

std::string FormValue(const std::string& utf8) {
  std::string out;
  for (unsigned char c : Utf8ToGbk(utf8)) AppendPercentEscape(c, out);
  return out;
}

std::string Lookup(const std::string& sql) {
  Connection con;
  con.Open(kConnection);
  auto rs = con.Execute(sql);
  return rs->Eof() ? "" : rs->Fields(0).Str();
}

// What the posters saw, for the checks afterwards.
struct Tally {
  std::mutex mu;
  std::set<std::string> acknowledged;  // subjects whose request got its success page
  int cut = 0;                         // no complete answer (the board was killed)
  int error_pages = 0;                 // the board's database error page
  std::string unexpected;              // the first answer that was neither
  int late_failures = 0;               // failures of requests sent after `healthy_since`
  std::atomic<int64_t> healthy_since{INT64_MAX};
};

// A visitor posting a topic, then replies to it, then another topic..., each request from a new
// address (the flood guard holds one address back for SubmitInterval).
void Post(int poster, const std::atomic<uint16_t>& port, const std::atomic<bool>& stop,
          const std::string& forum, Tally& tally) {
  const std::string who = "username=poster" + std::to_string(poster) + "&Password=pw";
  std::string topic = Lookup("select max(postid) from post where parentid is null");
  for (int n = 0; !stop; ++n) {
    const bool new_topic = n % 4 == 0;
    const std::string subject = "p" + std::to_string(poster) + "-" + std::to_string(n);
    const std::string form =
        new_topic ? "action=posttopic&Forum=" + FormValue(forum) + "&" + who + "&topicsubject=" +
                        subject + "&Message=text&MsgIcon=1"
                  : "action=postreply&topic=" + topic + "&" + who + "&topicsubject=" + subject +
                        "&Message=text&MsgIcon=1";
    const std::string address =
        "10." + std::to_string(poster) + "." + std::to_string(n / 250) + "." + std::to_string(n % 250);
    const int64_t sent = SteadyClock::now().time_since_epoch().count();
    auto r = PostForm(port, "/posting.asp", form, address);
    const std::string text = r ? PageText(*r) : "";
    const bool ok = r && r->status == 200 && text.ends_with("</html>") &&
                    text.find(new_topic ? "谢谢您发表新主题" : "谢谢您回复话题") != std::string::npos;
    std::lock_guard<std::mutex> lock(tally.mu);
    if (ok) {
      tally.acknowledged.insert(subject);
    } else if (!r) {
      ++tally.cut;
    } else if ((r->status == 200 || r->status == 500) && text.ends_with("</html>") &&
               text.find("错误号：") != std::string::npos) {
      // 500: the page ran, but the visitor's session could not be kept in the database.
      ++tally.error_pages;
    } else if (tally.unexpected.empty()) {
      tally.unexpected = std::to_string(r->status) + " " + text.substr(0, 600);
    }
    if (!ok && sent > tally.healthy_since) ++tally.late_failures;
    if (!ok) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } else if (new_topic) {
      try {
        topic = Lookup("select postid from post where subject='" + subject + "'");
      } catch (const std::exception&) {
        // The database is away for a moment: replies go on to the previous topic.
      }
    }
  }
}

// Lines naming every disagreement between what the visitors were told and what the board holds.
std::string Disagreements(const Tally& tally) {
  std::string out;
  Connection con;
  con.Open(kConnection);
  std::set<std::string> stored;
  for (auto rs = con.Execute("select subject from post"); !rs->Eof(); rs->MoveNext()) {
    stored.insert(rs->Fields(0).Str());
  }
  for (const std::string& s : tally.acknowledged) {
    if (!stored.count(s)) out += "acknowledged post lost: " + s + "\n";
  }
  const std::pair<const char*, const char*> checks[] = {
      {"replies without their topic",
       "select count(*) from post r where r.parentid is not null and not exists "
       "(select postid from post t where t.postid=r.parentid)"},
      {"forums whose counters differ from a recount",
       "select count(*) from forum f where isnull(f.topiccount,0)<>(select count(*) from post p "
       "where p.forumname=f.forumname and p.parentid is null) or isnull(f.replycount,0)<>(select "
       "count(*) from post p where p.forumname=f.forumname and p.parentid is not null) or "
       "f.lastposttime<>(select max(posttime) from post p where p.forumname=f.forumname)"},
      {"topics whose counters differ from a recount",
       "select count(*) from post t where t.parentid is null and (isnull(t.replycount,0)<>(select "
       "count(*) from post r where r.parentid=t.postid) or t.lastreplyposttime<>(select "
       "max(r.posttime) from post r where r.postid=t.postid or r.parentid=t.postid))"},
      {"members whose post count differs from a recount",
       "select count(*) from register m where isnull(m.postcount,0)<>(select count(*) from post p "
       "where p.username=m.username)"},
  };
  for (const auto& [what, sql] : checks) {
    const long n = con.Execute(sql)->Fields(0).CLng();
    if (n != 0) out += std::string(what) + ": " + std::to_string(n) + "\n";
  }
  return out;
}

class Durability : public ::testing::Test {
 protected:
  void SetUp() override {
    data_ = std::filesystem::temp_directory_path() /
            ("corkboard-durability-" + std::to_string(getpid()));
    std::filesystem::create_directories(data_);
  }
  void TearDown() override {
    UnregisterDataSource(kDataSource);
    if (!pg_spec_.empty()) DropPgBoard(pg_spec_);
    if (!HasFailure()) std::filesystem::remove_all(data_);
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

  std::filesystem::path data_;
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
  std::vector<std::thread> posters;
  for (int i = 0; i < kPosters; ++i) {
    posters.emplace_back(Post, i, std::cref(port), std::cref(stop), forum_, std::ref(tally));
  }
  size_t acknowledged_before_kill = 0;
  for (int k = 0; k < kills; ++k) {
    std::this_thread::sleep_for(std::chrono::milliseconds(seconds * 1000 / kills));
    board.Kill();
    {
      std::lock_guard<std::mutex> lock(tally.mu);
      acknowledged_before_kill = tally.acknowledged.size();
    }
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
  std::printf("%zu posts acknowledged, %d cut by %d kills\n", tally.acknowledged.size(),
              tally.cut, kills);
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
  std::vector<std::thread> posters;
  for (int i = 0; i < kPosters; ++i) {
    posters.emplace_back(Post, i, std::cref(port), std::cref(stop), forum_, std::ref(tally));
  }
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
