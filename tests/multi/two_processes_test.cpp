// Two board processes on one PostgreSQL board. Each "process" is a host of its own in this test
// program with what a second process has of its own (application values, session store, shared
// state connections and notice listener); only the store's connection pool is common, and it
// keeps nothing the board's processes must agree on. Skipped on SQLite.
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
    for (const char* name : {"alice", "bob", "carol"}) board_->AddMember(name, "pw");
    board_->AddMember("boss", "pw", {.status = "administrator"});
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
  const std::string alice = a_->SignIn("alice");
  EXPECT_TRUE(b_->SignedIn(alice));
  EXPECT_FALSE(b_->SignedIn(""));
  EXPECT_FALSE(b_->SignedIn("0123456789abcdef0123456789abcdef"));

  // Signing in again through the other process gives the session a new id.
  const std::string bob = b_->SignIn("bob", alice);
  EXPECT_NE(bob, alice);
  EXPECT_FALSE(a_->SignedIn(alice));
  EXPECT_TRUE(a_->SignedIn(bob));
}

TEST_F(TwoProcesses, AForumAddedThroughOneAppearsInTheOthersMenu) {
  const std::string before = b_->Send("/list.asp?groupname=F1").html;
  ASSERT_NE(before.find("<form name=jump"), std::string::npos) << before;
  EXPECT_EQ(before.find("list.asp?GroupName=F2"), std::string::npos);
  ASSERT_FALSE(b_->app().Get("ForumAndArchiveList").Str().empty());  // kept

  Answer added = a_->Send("/admin/forum.asp",
                          "action=addnewforum&forumname=F2&catalog=Cat&TopicRestrict=all&"
                          "ReplyRestrict=all&descript=d&UserName=boss&Password=pw");
  ASSERT_NE(added.html.find("版面更新结束"), std::string::npos) << added.html;
  // The notice travels through the database: allow it a moment.
  for (int i = 0; i < 100 && !b_->app().Get("ForumAndArchiveList").Str().empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_NE(b_->Send("/list.asp?groupname=F1").html.find("list.asp?GroupName=F2"),
            std::string::npos);
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

TEST_F(TwoProcesses, ConcurrentPostingLeavesEveryCounterEqualToARecount) {
  const int64_t topic = board_->AddTopic("F1", "alice", "t");
  board_->AddCatalogForum("Cat", "F2");
  constexpr int kPosts = 12;
  auto poster = [&](BoardProcess& p, const std::string& name, int lane) {
    for (int i = 0; i < kPosts; ++i) {
      const std::string address = "10." + std::to_string(lane) + ".0." + std::to_string(i);
      const std::string form =
          i % 3 == 0 ? "action=posttopic&forum=F" + std::to_string(1 + i % 2) +
                           "&TopicSubject=s&Message=m&MsgIcon=1&UserName=" + name + "&Password=pw"
                     : "action=postreply&forum=F1&Topic=" + std::to_string(topic) +
                           "&TopicSubject=r&Message=m&MsgIcon=1&UserName=" + name + "&Password=pw";
      const Answer posted = p.Send("/posting.asp", form, "", address);
      EXPECT_NE(posted.html.find("谢谢您"), std::string::npos) << posted.html;
    }
  };
  std::thread one([&] { poster(*a_, "alice", 1); });
  std::thread two([&] { poster(*b_, "bob", 2); });
  one.join();
  two.join();

  auto scalar = [&](const std::string& sql) { return board_->Scalar(sql).CLng(); };
  EXPECT_EQ(scalar("select count(*) from post"), 1 + 2 * kPosts);
  for (const char* f : {"F1", "F2"}) {
    SCOPED_TRACE(f);
    const std::string where = std::string(" from post where forumname='") + f + "'";
    EXPECT_EQ(scalar(std::string("select topiccount from forum where forumname='") + f + "'"),
              scalar("select count(*)" + where + " and parentid is null"));
    EXPECT_EQ(scalar(std::string("select replycount from forum where forumname='") + f + "'"),
              scalar("select count(*)" + where + " and parentid is not null"));
  }
  EXPECT_EQ(scalar("select replycount from post where postid=" + std::to_string(topic)),
            scalar("select count(*) from post where parentid=" + std::to_string(topic)));
  for (const char* u : {"alice", "bob"}) {
    EXPECT_EQ(scalar(std::string("select postcount from register where username='") + u + "'"),
              scalar(std::string("select count(*) from post where username='") + u + "'"));
  }
}

TEST_F(TwoProcesses, WhenOneEndsTheOtherServesEveryMemberSignedInThroughIt) {
  std::vector<std::string> cookies;
  for (const char* name : {"alice", "bob", "carol"}) cookies.push_back(a_->SignIn(name));
  a_.reset();
  for (const std::string& cookie : cookies) EXPECT_TRUE(b_->SignedIn(cookie)) << cookie;
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
