// Faults a running board rides out, on the real server over a SQLite board in a folder: a write
// lock held by another connection, and a flood of cookie-less visitors.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <thread>
#include <vector>

#include "board/routes.h"
#include "host/config.h"
#include "host/net/http_server.h"
#include "host/raw_http.h"
#include "runtime/gbk.h"
#include "store/backend.h"
#include "store/board_setup.h"
#include "store/connection.h"
#include "store/data_sources.h"
#include "store/recordset.h"
#include "support/recount.h"
#include "support/test_env.h"

namespace cb {
namespace {

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;
using test::GetRequest;
using test::PostRequest;
using test::RawClient;
using test::RawResponse;

constexpr const char* kConnection = "Provider=MSDASQL.1;USER ID=;PASSWORD=;DATA SOURCE=Corkboard";

class BoardFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    cfg_ =
        ConfigFromArgs({"--listen", "127.0.0.1:0", "--data", root_.string(), "--site",
                        std::string(CORKBOARD_SOURCE_DIR) + "/site", "--workers", "4", "--quiet"});
    RegisterDataSource("Corkboard", ParseDataSourceSpec("sqlite:" + (root_ / "board.db").string()));
    forum_ = SeedNewBoard(kConnection).forum;
    AddUser(kConnection, "poster", "pw");
    FillApplication(cfg_, app_);
    Router router;
    AddBoardRoutes(router);
    server_ = std::make_unique<HttpServer>(cfg_, app_, std::move(router));
    server_->Start();
  }
  void TearDown() override {
    if (server_) server_->Stop();
    UnregisterDataSource("Corkboard");
  }

  // One request on a fresh connection, and how long its answer took.
  std::pair<RawResponse, Steady::duration> Timed(const std::string& raw) {
    const auto start = Steady::now();
    RawClient client(server_->port());
    client.Send(raw);
    std::optional<RawResponse> r = client.Read(false, 30000);
    return {r.value_or(RawResponse{}), Steady::now() - start};
  }
  // poster's topic in the board's forum; its id.
  std::string SeedTopic() {
    Connection con;
    con.Open(kConnection);
    con.Execute("insert into post (forumname,username,subject,message) values ('" + forum_ +
                "','poster','锁','第一帖')");
    return std::to_string(Number("select max(postid) from post"));
  }
  // A connection of its own, as another process would be, inside a write transaction.
  std::unique_ptr<BackendConnection> HoldWriteLock() {
    auto locker = FindBackend("sqlite")->Open((root_ / "board.db").string());
    locker->Begin();
    locker->ExecScript("update register set location='x' where username='poster'");
    return locker;
  }
  static int64_t Number(const std::string& sql) {
    Connection con;
    con.Open(kConnection);
    return con.Execute(sql)->Fields(0).CLng();
  }
  static std::string CounterDisagreements() {
    Connection con;
    con.Open(kConnection);
    return test::CounterDisagreements(con);
  }

  test::ScratchDir dir_{"cbfault"};
  const fs::path root_ = dir_.path();
  HostConfig cfg_;
  Application app_;
  std::string forum_;
  std::unique_ptr<HttpServer> server_;
};

TEST_F(BoardFaults, LockedDatabaseStallsOnlyTheWriteWhichLandsOnceTheLockIsGone) {
  const std::string forum = UrlEncode(forum_);
  const std::string member = "&UserName=poster&Password=pw&MsgIcon=1";
  const std::string topic = SeedTopic();

  // Another process's writer: it holds the write lock for four seconds.
  std::unique_ptr<BackendConnection> locker = HoldWriteLock();
  const auto locked_at = Steady::now();
  auto reply = std::async(std::launch::async, [&] {
    return Timed(PostRequest("/posting.asp", "action=postreply&topic=" + topic + member +
                                                 "&topicsubject=Re&Message=" + UrlEncode("等锁")));
  });

  const std::string reads[] = {"default.asp", "list.asp?GroupName=" + forum,
                               "newsdetail.asp?id=" + topic, "DEFAULT.CSS", "images/lock.gif"};
  int answered = 0;
  while (Steady::now() - locked_at < std::chrono::milliseconds(3500)) {
    for (const std::string& target : reads) {
      SCOPED_TRACE(target);
      const auto [r, took] = Timed(GetRequest("/" + target));
      EXPECT_EQ(r.status, 200);
      EXPECT_LT(took, std::chrono::milliseconds(1500));
      ++answered;
    }
  }
  EXPECT_GE(answered, 10);
  EXPECT_EQ(reply.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
  locker->Commit();
  locker.reset();

  const auto [answer, took] = reply.get();
  EXPECT_EQ(answer.status, 200);
  EXPECT_NE(GbkToUtf8(answer.body).find("谢谢您回复话题"), std::string::npos);
  EXPECT_GE(took, std::chrono::milliseconds(3000));
  EXPECT_EQ(Number("select count(*) from post where parentid=" + topic), 1);
  EXPECT_EQ(CounterDisagreements(), "");  // the counters the write touched among them
}

// A lock held past the ten seconds a write waits for it: the write ends on the page's error form,
// nothing of it is stored, and the board answers other visitors meanwhile.
TEST_F(BoardFaults, WriteLockedPastItsWaitEndsOnTheErrorPageAndStoresNothing) {
  const std::string topic = SeedTopic();
  std::unique_ptr<BackendConnection> locker = HoldWriteLock();
  auto reply = std::async(std::launch::async, [&] {
    return Timed(PostRequest("/posting.asp", "action=postreply&topic=" + topic +
                                                 "&UserName=poster&Password=pw&MsgIcon=1"
                                                 "&topicsubject=Re&Message=" +
                                                 UrlEncode("等不到锁")));
  });
  std::this_thread::sleep_for(std::chrono::seconds(5));
  const auto [read, read_took] = Timed(GetRequest("/newsdetail.asp?id=" + topic));
  EXPECT_EQ(read.status, 200);
  EXPECT_LT(read_took, std::chrono::milliseconds(1500));

  const auto [answer, took] = reply.get();
  locker->Rollback();
  locker.reset();
  const std::string page = GbkToUtf8(answer.body);
  EXPECT_EQ(answer.status, 200);
  EXPECT_NE(page.find("错误号："), std::string::npos) << page;
  EXPECT_NE(page.find("</html>"), std::string::npos);
  EXPECT_EQ(page.find("谢谢您回复话题"), std::string::npos);
  EXPECT_GE(took, std::chrono::milliseconds(9500));
  EXPECT_EQ(Number("select count(*) from post where parentid=" + topic), 0);
  EXPECT_EQ(CounterDisagreements(), "");
}

TEST_F(BoardFaults, CookielessFloodKeepsSessionsBoundedAndOtherVisitorsAnswered) {
  // A visitor with a session, who keeps coming back during the flood.
  RawClient first(server_->port());
  first.Send(GetRequest("/default.asp"));
  const std::optional<RawResponse> welcome = first.Read();
  ASSERT_TRUE(welcome);
  std::string cookie;
  for (auto [it, end] = welcome->headers.equal_range("set-cookie"); it != end; ++it) {
    cookie += (cookie.empty() ? "" : "; ") + it->second.substr(0, it->second.find(';'));
  }
  ASSERT_FALSE(cookie.empty());

  std::atomic<bool> flooding{true};
  std::atomic<int> flood_answers{0};
  std::vector<std::thread> flood;
  for (int t = 0; t < 6; ++t) {
    flood.emplace_back([&] {
      RawClient c(server_->port());
      for (int i = 0; i < 400 && flooding; ++i) {
        if (!c.Send(GetRequest("/default.asp")) || !c.Read()) return;
        ++flood_answers;
      }
    });
  }
  Steady::duration worst{};
  int visits = 0;
  for (; visits < 20; ++visits) {
    const auto [r, took] = Timed(GetRequest("/default.asp", "Cookie: " + cookie + "\r\n"));
    EXPECT_EQ(r.status, 200);
    worst = std::max(worst, took);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  flooding = false;
  for (std::thread& t : flood) t.join();
  EXPECT_GE(flood_answers, 100);
  EXPECT_LT(worst, std::chrono::milliseconds(1500));
  // The flood's visits leave trial sessions, a bounded number of them; the visitor keeps its own.
  EXPECT_LE(server_->sessions().size(), cfg_.sessions_per_address + 1);
  EXPECT_LE(server_->sessions().trial_size(), cfg_.sessions_per_address);
}

}  // namespace
}  // namespace cb
