// Two board processes on one PostgreSQL board. Each "process" is a host of its own in this test
// program with what a second process has of its own (application values, session store, shared
// state connections and notice listener); only the store's connection pool is common, and it
// keeps nothing the board's processes must agree on. Skipped on SQLite. What real processes show
// (a forum's menu entry, counters under concurrent posting, one process killed) is in
// tests/durability/two_servers_test.cpp.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "board/routes.h"
#include "browse/online_share.h"
#include "host/page_host.h"
#include "runtime/gbk.h"
#include "store/data_sources.h"
#include "store/shared_state.h"
#include "support/pg_board.h"
#include "support/test_board.h"

namespace cb {
namespace {

struct Answer {
  int status = 0;
  std::string html;    // UTF-8
  std::string cookie;  // the session id it set, or ""
};

class BoardProcess {
 public:
  BoardProcess(const test::TestBoard& board, const Clock& clock) {
    app_.Set("DSN", Variant(board.dsn()));
    app_.Share(OpenSharedState(ParseDataSourceSpec(board.spec())),
               {"ForumAndArchiveList", "ArchiveList"});
    HostConfig cfg;
    cfg.data_dir = ::testing::TempDir();
    cfg.site_dir = std::string(CORKBOARD_SOURCE_DIR) + "/site";
    Router router;
    AddBoardRoutes(router);
    host_ = std::make_unique<PageHost>(cfg, app_, std::move(router), clock);
  }

  Answer Send(const std::string& target, const std::string& form = "",
              const std::string& cookie = "", const std::string& address = "10.0.0.1") {
    IncomingRequest in;
    in.method = form.empty() ? "GET" : "POST";
    in.target = target;
    in.body = form;
    in.remote_addr = address;
    in.headers.emplace_back("Content-Type", "application/x-www-form-urlencoded");
    if (!cookie.empty()) in.headers.emplace_back("Cookie", "CBSESSION=" + cookie);
    OutgoingResponse out = host_->Handle(in);
    Answer answer{out.status, GbkToUtf8(out.body), ""};
    for (const auto& [name, value] : out.headers) {
      if (name == "Set-Cookie" && value.starts_with("CBSESSION=")) {
        answer.cookie = value.substr(10, value.find(';') - 10);
      }
    }
    return answer;
  }

  std::string SignIn(const std::string& name, const std::string& cookie = "") {
    Answer a = Send("/cbkmisc.asp", "action=login&UserName=" + name + "&Password=pw", cookie);
    EXPECT_FALSE(a.cookie.empty()) << a.html;
    return a.cookie;
  }

  // Whether the page that needs a signed-in member lets the session's holder in.
  bool SignedIn(const std::string& cookie) {
    return Send("/subscibe.asp", "", cookie).html.find("必须登录") == std::string::npos;
  }

  Application& app() { return app_; }

 private:
  Application app_;
  std::unique_ptr<PageHost> host_;
};

class TwoProcesses : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::OnPostgres()) GTEST_SKIP() << "several processes share a PostgreSQL board only";
    board_ = std::make_unique<test::TestBoard>();
    board_->AddCatalogForum("Cat", "F1");
    for (const char* name : {"alice", "bob"}) board_->AddMember(name, "pw");
    a_ = std::make_unique<BoardProcess>(*board_, board_->clock());
    b_ = std::make_unique<BoardProcess>(*board_, board_->clock());
  }
  void TearDown() override {
    a_.reset();
    b_.reset();
    // The shared tables are not part of a test board's schema: the board is not reused.
    if (board_) board_->ExecRaw("DROP TABLE IF EXISTS cb_session, cb_shared_value");
  }

  std::unique_ptr<test::TestBoard> board_;
  std::unique_ptr<BoardProcess> a_, b_;
};

TEST_F(TwoProcesses, ASignInThroughOneHoldsOnTheOtherAndARenewedIdRetiresTheOldOne) {
  // Both keep the sessions they read once they watch the table's changes.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!(a_->app().shared()->WatchingSessions() && b_->app().shared()->WatchingSessions()) &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const std::string alice = a_->SignIn("alice");
  EXPECT_TRUE(b_->SignedIn(alice));
  EXPECT_TRUE(a_->SignedIn(alice));
  EXPECT_FALSE(b_->SignedIn(""));
  EXPECT_FALSE(b_->SignedIn("0123456789abcdef0123456789abcdef"));

  // Signing in again through the other process gives the session a new id; the one that had
  // read the old id learns of its end from the table's notice, within moments.
  const std::string bob = b_->SignIn("bob", alice);
  EXPECT_NE(bob, alice);
  bool retired = false;
  while (!(retired = !a_->SignedIn(alice)) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(retired);
  EXPECT_TRUE(a_->SignedIn(bob));
}

TEST_F(TwoProcesses, TheFloodGuardHoldsAnAddressBackOnBoth) {
  const std::string form =
      "action=posttopic&forum=F1&UserName=alice&Password=pw&MsgIcon=1&"
      "TopicSubject=s&Message=m";
  const Answer first = a_->Send("/posting.asp", form, "", "10.0.0.9");
  EXPECT_NE(first.html.find("谢谢您"), std::string::npos) << first.html;
  EXPECT_NE(b_->Send("/posting.asp", form, "", "10.0.0.9").html.find("重复递交"),
            std::string::npos);
  EXPECT_EQ(board_->Scalar("select count(*) from post").CLng(), 1);
}

TEST_F(TwoProcesses, EachListsTheVisitorsOfBoth) {
  a_->Send("/default.asp", "", "", "10.1.1.1");
  b_->Send("/default.asp", "", "", "10.2.2.2");
  const DateTime now = board_->clock().Now();
  for (BoardProcess* p : {a_.get(), b_.get(), a_.get()}) {
    ShareOnline(p->app(), *p->app().shared(), now, now);
  }
  EXPECT_EQ(a_->app().Get("OnlineCount").CLng(), 2);
  EXPECT_EQ(b_->app().Get("OnlineCount").CLng(), 2);
  EXPECT_EQ(b_->app().Get("GuestCount").CLng(), 2);
}

}  // namespace
}  // namespace cb
